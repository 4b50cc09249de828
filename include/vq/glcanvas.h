/// \file
/// \ingroup renderpane
/// \brief The OpenGL canvas library: vqGLCanvas, a child window drawn into with OpenGL;
/// vqGLContext, a rendering context; vqGLApp, an application that can test for a
/// matching pixel format before creating a canvas.
///
/// The library calls Win32 (USER32, GDI32, OPENGL32) by name: on Windows from
/// `<windows.h>`, elsewhere from the toolkit stand-in's `vq/platform/win32.h`.
#ifndef VQ_GLCANVAS_H
#define VQ_GLCANVAS_H

#include "vq/gui_app.h"
#include "vq/platform/win32.h"
#include "vq/window.h"

/// \cond
#ifdef VQMAKING_GL
#define VQ_GL_API VQ_EXPORT
#else
#define VQ_GL_API VQ_IMPORT
#endif
/// \endcond

/// \ingroup renderpane
/// \brief Codes of an attribute list: a zero-terminated array of codes, each followed by a
/// value where the code takes one.
///
/// A list replaces the default request (RGBA, double-buffered, 16 colour bits, 16 depth
/// bits) with a colour-index, single-buffered request of 0 colour bits that its codes
/// then change, so a list names `VQ_GL_ATTR_RGBA` and `VQ_GL_ATTR_DOUBLE_BUFFER` when it
/// wants them. Values are stored in bytes (0 to 255). An unknown code is skipped alone:
/// the next element is read as a code. The list is read while the call runs, not kept.
enum {
    VQ_GL_ATTR_RGBA = 1,               ///< RGBA pixels (no value)
    VQ_GL_ATTR_COLOUR_BITS = 2,        ///< colour bits
    VQ_GL_ATTR_LAYER = 3,              ///< overlay above 0, underlay below, else main plane
    VQ_GL_ATTR_DOUBLE_BUFFER = 4,      ///< double buffering (no value)
    VQ_GL_ATTR_STEREO = 5,             ///< stereo buffers (no value)
    VQ_GL_ATTR_AUX_BUFFERS = 6,        ///< auxiliary buffers
    VQ_GL_ATTR_RED_BITS = 7,           ///< red bits, added to the colour bits
    VQ_GL_ATTR_GREEN_BITS = 8,         ///< green bits, added to the colour bits
    VQ_GL_ATTR_BLUE_BITS = 9,          ///< blue bits, added to the colour bits
    VQ_GL_ATTR_ALPHA_BITS = 10,        ///< alpha bits
    VQ_GL_ATTR_DEPTH_BITS = 11,        ///< depth bits
    VQ_GL_ATTR_STENCIL_BITS = 12,      ///< stencil bits
    VQ_GL_ATTR_ACCUM_RED_BITS = 13,    ///< red accumulation bits, added to the total
    VQ_GL_ATTR_ACCUM_GREEN_BITS = 14,  ///< green accumulation bits, added to the total
    VQ_GL_ATTR_ACCUM_BLUE_BITS = 15,   ///< blue accumulation bits, added to the total
    VQ_GL_ATTR_ACCUM_ALPHA_BITS = 16   ///< alpha accumulation bits, added to the total
};

class vqGLCanvas;

/// \ingroup renderpane
/// \brief A platform rendering context. Copies name the same platform context, which is
/// deleted once, with the last copy.
///
/// Ownership: the application owns the vqGLContext objects it makes (a canvas owns the
/// one it makes itself, see vqGLCanvas::GetContext). A context does not keep the canvas
/// it was made for; it can be made current on any canvas of the same pixel format.
///
/// Failures never throw: a context the platform refuses has a null handle (GetGLRC()),
/// and making it current then binds nothing.
class VQ_GL_API vqGLContext : public vqObject {
    VQ_DECLARE_ABSTRACT_CLASS(vqGLContext)
public:
    /// Creates a context for the canvas's pixel format, sharing display lists with
    /// another context when one is given. The context is not made current; its handle
    /// is null when the platform refuses, or when the canvas is null or has no window
    /// or pixel format. Neither argument is kept.
    vqGLContext(vqGLCanvas* canvas, const vqGLContext* other = nullptr);
    /// Names the same platform context as other.
    vqGLContext(const vqGLContext& other);
    /// Names the same platform context as other, letting go of its own (deleted when
    /// this was its last copy).
    vqGLContext& operator=(const vqGLContext& other);
    /// Deletes the platform context when this is its last copy.
    ~vqGLContext() override;

    /// Makes this context current on the canvas, for the calling thread. Does nothing
    /// when the canvas has no device context; a refusal by the platform is not reported.
    void SetCurrent(const vqGLCanvas& canvas) const;
    /// The platform context (`HGLRC`), owned by this object and its copies; null when
    /// the platform refused to create it.
    HGLRC GetGLRC() const { return m_renderContext; }

private:
    HGLRC m_renderContext;
};

/// \ingroup renderpane
/// \brief A child window drawn into with OpenGL: it picks a pixel format from an
/// attribute list, keeps its device context, and owns a rendering context unless made
/// without one.
///
/// Ownership: the canvas becomes a child of its parent window, so destroying the
/// parent deletes it; the application may delete it first (it then leaves its parent),
/// or keep it on the stack after the parent. The canvas owns its device context, its
/// own context (forms 2 to 4) and its palette. Attribute lists and palettes passed in
/// are read, not kept.
///
/// Failures never throw. A canvas whose window could not be created (a null parent, or
/// the platform refused) stays inert: no device context, pixel format, palette or
/// context, and its calls do nothing. Without a matching pixel format the window keeps
/// none and contexts made on it have null handles; vqGLApp::InitGLVisual tells
/// beforehand.
class VQ_GL_API vqGLCanvas : public vqWindow {
    VQ_DECLARE_ABSTRACT_CLASS(vqGLCanvas)
public:
    /// Form 1: a canvas without a context of its own; the application makes its own
    /// vqGLContext objects current on it. A null attribute list picks the default
    /// request (RGBA, double-buffered, 16 colour bits, 16 depth bits). The palette is
    /// used when the pixel format needs one (see SetupPalette()).
    vqGLCanvas(vqWindow* parent, int id, int* attribList, const vqPoint& pos = vqDefaultPosition,
               const vqSize& size = vqDefaultSize, long style = 0,
               const vqString& name = vqT("GLCanvas"), const vqPalette& palette = vqPalette());
    /// Form 2: a canvas with a context of its own that shares with no other.
    vqGLCanvas(vqWindow* parent, int id = vqID_ANY, const vqPoint& pos = vqDefaultPosition,
               const vqSize& size = vqDefaultSize, long style = 0,
               const vqString& name = vqT("GLCanvas"), int* attribList = nullptr,
               const vqPalette& palette = vqPalette());
    /// Form 3: its own context shares display lists with the given context (if any).
    vqGLCanvas(vqWindow* parent, const vqGLContext* shared, int id = vqID_ANY,
               const vqPoint& pos = vqDefaultPosition, const vqSize& size = vqDefaultSize,
               long style = 0, const vqString& name = vqT("GLCanvas"), int* attribList = nullptr,
               const vqPalette& palette = vqPalette());
    /// Form 4: its own context shares display lists with the given canvas's own context
    /// (none when that canvas is null or has no context of its own).
    vqGLCanvas(vqWindow* parent, const vqGLCanvas* shared, int id = vqID_ANY,
               const vqPoint& pos = vqDefaultPosition, const vqSize& size = vqDefaultSize,
               long style = 0, const vqString& name = vqT("GLCanvas"), int* attribList = nullptr,
               const vqPalette& palette = vqPalette());
    /// Deletes the own context, releases the device context, drops the palette and
    /// destroys the window.
    ~vqGLCanvas() override;

    /// Registers the window classes on first use and creates the platform window;
    /// false for a null parent or when the platform refuses (a failed registration is
    /// logged, translated through the current locale). The constructors call it.
    bool Create(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size, long style,
                const vqString& name);
    /// Chooses and sets the pixel format closest to the attribute list (null: default);
    /// when the platform offers none, the window keeps none (not logged). The
    /// constructors call it.
    void SetupPixelFormat(int* attribList = nullptr);
    /// The window's device context (HDC), held for the canvas's life; null when the
    /// window could not be created.
    void* GetHDC() const { return m_windowHdc; }
    /// Handles a size event: does nothing, the application sets its viewport when it
    /// draws.
    void OnSize(vqSizeEvent& event);

    /// The context the canvas owns (forms 2 to 4), or null (form 1, or no window). The
    /// canvas deletes it; its handle is null when the platform refused it.
    vqGLContext* GetContext() const { return m_ownedContext; }
    /// Makes the own context current, if there is one.
    void SetCurrent();
    /// Makes the given context current on this canvas; the canvas does not keep it.
    void SetCurrent(const vqGLContext& context) const;
    /// Presents the back buffer (does nothing without a device context).
    void SwapBuffers();
    /// Sets the current OpenGL colour from a colour database name (`vq/colour.h`,
    /// found without regard to case); unknown names and null change nothing. Needs a
    /// current context, like any OpenGL call.
    void SetColour(const vqChar* colour);

    /// Keeps and selects a palette when the pixel format needs one: the given palette
    /// if valid, else a default palette built from the pixel format. Does nothing on a
    /// true-colour format or without a pixel format. The constructors call it.
    void SetupPalette(const vqPalette& palette);
    /// A palette mapping every pixel value of the pixel format to its colour; empty
    /// when the format has no pixel format, or more than 8 colour bits. The caller
    /// owns the result.
    vqPalette CreateDefaultPalette();
    /// The palette the canvas keeps, owned by the canvas; not valid (`Ok()` false) when
    /// the pixel format needs none.
    vqPalette* GetPalette() const { return const_cast<vqPalette*>(&m_canvasPalette); }
    /// Handles the query for a new palette: realizes the canvas's palette again and
    /// repaints, telling the event whether a palette was realized.
    void OnQueryNewPalette(vqQueryNewPaletteEvent& event);
    /// Handles another window's palette change: realizes the canvas's palette again
    /// and repaints; a change made by the canvas itself, or a canvas without a palette,
    /// changes nothing.
    void OnPaletteChanged(vqPaletteChangedEvent& event);

    VQ_DECLARE_EVENT_TABLE()

private:
    void Construct(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size, long style,
                   const vqString& name, int* attribList, const vqPalette& palette);

    vqGLContext* m_ownedContext;
    vqPalette m_canvasPalette;
    HDC m_windowHdc;
};

/// \ingroup renderpane
/// \brief An application that can test for a matching pixel format before creating a
/// canvas. Derive the program's application class from it.
class VQ_GL_API vqGLApp : public vqApp {
    VQ_DECLARE_ABSTRACT_CLASS(vqGLApp)
public:
    /// An application object with nothing of its own.
    vqGLApp();
    /// Destroys the application object.
    ~vqGLApp() override;
    /// True when the display offers a pixel format for the attribute list (null:
    /// default request); otherwise logs "Failed to initialize OpenGL" (translated
    /// through the current locale) and returns false. The list is not kept.
    bool InitGLVisual(int* attribList);
};

#endif
