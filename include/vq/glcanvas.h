// The OpenGL canvas library: vqGLCanvas, a child window drawn into with OpenGL;
// vqGLContext, a rendering context; vqGLApp, an application that can test for a
// matching pixel format before creating a canvas.
#ifndef VQ_GLCANVAS_H
#define VQ_GLCANVAS_H

#include "vq/gui_app.h"
#include "vq/platform/win32.h"
#include "vq/window.h"

#ifdef VQMAKING_GL
#define VQ_GL_API VQ_EXPORT
#else
#define VQ_GL_API VQ_IMPORT
#endif

// Codes of an attribute list: a zero-terminated array of codes, each followed by a
// value where the code takes one.
enum {
    VQ_GL_ATTR_RGBA = 1,             // RGBA pixels (no value)
    VQ_GL_ATTR_COLOUR_BITS = 2,      // colour bits
    VQ_GL_ATTR_LAYER = 3,            // > 0 overlay, < 0 underlay, 0 main plane
    VQ_GL_ATTR_DOUBLE_BUFFER = 4,    // double buffering (no value)
    VQ_GL_ATTR_STEREO = 5,           // stereo buffers (no value)
    VQ_GL_ATTR_AUX_BUFFERS = 6,      // auxiliary buffers
    VQ_GL_ATTR_RED_BITS = 7,         // red bits, added to the colour bits
    VQ_GL_ATTR_GREEN_BITS = 8,       // green bits, added to the colour bits
    VQ_GL_ATTR_BLUE_BITS = 9,        // blue bits, added to the colour bits
    VQ_GL_ATTR_ALPHA_BITS = 10,      // alpha bits
    VQ_GL_ATTR_DEPTH_BITS = 11,      // depth bits
    VQ_GL_ATTR_STENCIL_BITS = 12,    // stencil bits
    VQ_GL_ATTR_ACCUM_RED_BITS = 13,  // accumulation bits, each added to the total
    VQ_GL_ATTR_ACCUM_GREEN_BITS = 14,
    VQ_GL_ATTR_ACCUM_BLUE_BITS = 15,
    VQ_GL_ATTR_ACCUM_ALPHA_BITS = 16
};

class vqGLCanvas;

// A platform rendering context. Copies name the same platform context, which is
// deleted once, with the last copy.
class VQ_GL_API vqGLContext : public vqObject {
    VQ_DECLARE_ABSTRACT_CLASS(vqGLContext)
public:
    // Creates a context for the canvas's pixel format, sharing display lists with
    // another context when one is given. The context is not made current; its handle
    // is null when the platform refuses.
    vqGLContext(vqGLCanvas* canvas, const vqGLContext* other = nullptr);
    vqGLContext(const vqGLContext& other);
    vqGLContext& operator=(const vqGLContext& other);
    ~vqGLContext() override;

    // Makes this context current on the canvas, for the calling thread.
    void SetCurrent(const vqGLCanvas& canvas) const;
    HGLRC GetGLRC() const { return m_renderContext; }

private:
    HGLRC m_renderContext;
};

class VQ_GL_API vqGLCanvas : public vqWindow {
    VQ_DECLARE_ABSTRACT_CLASS(vqGLCanvas)
public:
    // Form 1: a canvas without a context of its own; the application makes its own
    // vqGLContext objects current on it. A null attribute list picks the default
    // request (RGBA, double-buffered, 16 colour bits, 16 depth bits).
    vqGLCanvas(vqWindow* parent, int id, int* attribList, const vqPoint& pos = vqDefaultPosition,
               const vqSize& size = vqDefaultSize, long style = 0,
               const vqString& name = vqT("GLCanvas"), const vqPalette& palette = vqPalette());
    // Form 2: a canvas with a context of its own that shares with no other.
    vqGLCanvas(vqWindow* parent, int id = vqID_ANY, const vqPoint& pos = vqDefaultPosition,
               const vqSize& size = vqDefaultSize, long style = 0,
               const vqString& name = vqT("GLCanvas"), int* attribList = nullptr,
               const vqPalette& palette = vqPalette());
    // Form 3: its own context shares display lists with the given context (if any).
    vqGLCanvas(vqWindow* parent, const vqGLContext* shared, int id = vqID_ANY,
               const vqPoint& pos = vqDefaultPosition, const vqSize& size = vqDefaultSize,
               long style = 0, const vqString& name = vqT("GLCanvas"), int* attribList = nullptr,
               const vqPalette& palette = vqPalette());
    // Form 4: its own context shares display lists with the given canvas's own context.
    vqGLCanvas(vqWindow* parent, const vqGLCanvas* shared, int id = vqID_ANY,
               const vqPoint& pos = vqDefaultPosition, const vqSize& size = vqDefaultSize,
               long style = 0, const vqString& name = vqT("GLCanvas"), int* attribList = nullptr,
               const vqPalette& palette = vqPalette());
    // Deletes the own context, releases the device context, drops the palette and
    // destroys the window.
    ~vqGLCanvas() override;

    // Registers the window classes on first use and creates the platform window;
    // false for a null parent or when the platform refuses.
    bool Create(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size, long style,
                const vqString& name);
    // Chooses and sets the pixel format closest to the attribute list (null: default).
    void SetupPixelFormat(int* attribList = nullptr);
    // The window's device context (HDC), held for the canvas's life; null when the
    // window could not be created.
    void* GetHDC() const { return m_windowHdc; }
    void OnSize(vqSizeEvent& event);

    // The context the canvas owns (forms 2 to 4), or null.
    vqGLContext* GetContext() const { return m_ownedContext; }
    // Makes the own context current, if there is one.
    void SetCurrent();
    // Makes the given context current on this canvas.
    void SetCurrent(const vqGLContext& context) const;
    // Presents the back buffer.
    void SwapBuffers();
    // Sets the current OpenGL colour from a colour database name; unknown names and
    // null change nothing.
    void SetColour(const vqChar* colour);

    // Keeps and selects a palette when the pixel format needs one: the given palette
    // if valid, else a default palette built from the pixel format.
    void SetupPalette(const vqPalette& palette);
    // A palette mapping every pixel value of the pixel format to its colour; empty
    // when the format has no pixel format, or more than 8 colour bits.
    vqPalette CreateDefaultPalette();
    vqPalette* GetPalette() const { return const_cast<vqPalette*>(&m_canvasPalette); }
    void OnQueryNewPalette(vqQueryNewPaletteEvent& event);
    void OnPaletteChanged(vqPaletteChangedEvent& event);

    VQ_DECLARE_EVENT_TABLE()

private:
    void Construct(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size, long style,
                   const vqString& name, int* attribList, const vqPalette& palette);

    vqGLContext* m_ownedContext;
    vqPalette m_canvasPalette;
    HDC m_windowHdc;
};

class VQ_GL_API vqGLApp : public vqApp {
    VQ_DECLARE_ABSTRACT_CLASS(vqGLApp)
public:
    vqGLApp();
    ~vqGLApp() override;
    // True when the display offers a pixel format for the attribute list (null:
    // default request); otherwise logs "Failed to initialize OpenGL".
    bool InitGLVisual(int* attribList);
};

#endif
