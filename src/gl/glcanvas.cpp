// The OpenGL canvas, its rendering contexts, its palette, the GL module and the GL
// application class, with the class records and event table registered at load.
#include "vq/glcanvas.h"

#include <GL/gl.h>

#include <cstdlib>
#include <vector>

#include "glattribs.h"
#include "vq/colour.h"
#include "vq/intl.h"
#include "vq/log.h"
#include "vq/module.h"
#include "vq/win32_window_class.h"
#include "vq/settings.h"

// The library's own Win32 entry points match its character width.
#ifdef VQ_UNICODE
#define VQ_GL_W32(name) name##W
typedef WNDCLASSW vqGLWndClass;
#else
#define VQ_GL_W32(name) name##A
typedef WNDCLASSA vqGLWndClass;
#endif

namespace {

const vqChar* const kCanvasClass = vqT("vqGLCanvasClass");
const vqChar* const kCanvasClassNR = vqT("vqGLCanvasClassNR");

// Both window classes are registered.
bool s_canvasClassesRegistered = false;

bool RegisterGLCanvasClasses() {
    if (s_canvasClassesRegistered) return true;
    vqGLWndClass wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    wc.lpfnWndProc = vqWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 4;
    wc.hInstance = vqhInstance;
    wc.hIcon = NULL;
    wc.hCursor = VQ_GL_W32(LoadCursor)(NULL, VQ_GL_W32(MAKEINTRESOURCE)(32512));
    wc.hbrBackground = NULL;
    wc.lpszMenuName = NULL;
    wc.lpszClassName = kCanvasClass;
    if (!VQ_GL_W32(RegisterClass)(&wc)) return false;
    wc.style &= ~(CS_HREDRAW | CS_VREDRAW);
    wc.lpszClassName = kCanvasClassNR;
    if (!VQ_GL_W32(RegisterClass)(&wc)) {
        VQ_GL_W32(UnregisterClass)(kCanvasClass, vqhInstance);
        return false;
    }
    s_canvasClassesRegistered = true;
    return true;
}

// Logs a message through the current locale's translation, when there is a locale.
void LogTranslatedError(const vqChar* message) {
    if (vqLocale* locale = vqGetLocale()) message = locale->GetString(message);
    vqLogError(vqT("%s"), message);
}

// Reads the descriptor of the device context's pixel format; false without one.
bool DescribeCurrentFormat(HDC dc, PIXELFORMATDESCRIPTOR* pfd) {
    int format = GetPixelFormat(dc);
    return format != 0 && DescribePixelFormat(dc, format, sizeof *pfd, pfd) != 0;
}

// Shares the platform context among copies of a vqGLContext; deletes it with the last.
class GLContextRefData : public vqObjectRefData {
public:
    explicit GLContextRefData(HGLRC rc) : m_rc(rc) {}
    ~GLContextRefData() override { wglDeleteContext(m_rc); }

private:
    HGLRC m_rc;
};

}  // namespace

// ---- Class records and the event table, in load order ----

class vqGLModule : public vqModule {
    VQ_DECLARE_DYNAMIC_CLASS(vqGLModule)
public:
    vqGLModule() {}
    ~vqGLModule() override {}
    bool OnInit() override { return true; }
    void OnExit() override;
};

static const bool s_buildChecked =
    (vqAppConsole::CheckBuildOptions(VQ_BUILD_OPTIONS_SIGNATURE, vqT("vqGL")), true);

VQ_IMPLEMENT_DYNAMIC_CLASS(vqGLModule, vqModule)
VQ_IMPLEMENT_ABSTRACT_CLASS(vqGLContext, vqObject)
VQ_IMPLEMENT_ABSTRACT_CLASS(vqGLCanvas, vqWindow)

VQ_BEGIN_EVENT_TABLE(vqGLCanvas, vqWindow)
VQ_EVT_SIZE(vqGLCanvas::OnSize)
VQ_EVT_PALETTE_CHANGED(vqGLCanvas::OnPaletteChanged)
VQ_EVT_QUERY_NEW_PALETTE(vqGLCanvas::OnQueryNewPalette)
VQ_END_EVENT_TABLE()

VQ_IMPLEMENT_ABSTRACT_CLASS(vqGLApp, vqApp)

void vqGLModule::OnExit() {
    if (!s_canvasClassesRegistered) return;
    VQ_GL_W32(UnregisterClass)(kCanvasClass, vqhInstance);
    VQ_GL_W32(UnregisterClass)(kCanvasClassNR, vqhInstance);
    s_canvasClassesRegistered = false;
}

// ---- vqGLContext ----

vqGLContext::vqGLContext(vqGLCanvas* canvas, const vqGLContext* other) {
    HDC dc = canvas ? static_cast<HDC>(canvas->GetHDC()) : NULL;
    m_renderContext = dc ? wglCreateContext(dc) : NULL;
    if (m_renderContext && other) wglShareLists(other->m_renderContext, m_renderContext);
    m_refData = new GLContextRefData(m_renderContext);
}

vqGLContext::vqGLContext(const vqGLContext& other)
    : vqObject(other), m_renderContext(other.m_renderContext) {}

vqGLContext& vqGLContext::operator=(const vqGLContext& other) {
    if (this != &other) {
        Ref(other);
        m_renderContext = other.m_renderContext;
    }
    return *this;
}

vqGLContext::~vqGLContext() {}

void vqGLContext::SetCurrent(const vqGLCanvas& canvas) const {
    // A canvas without a window has no device context to draw on.
    if (canvas.GetHDC()) wglMakeCurrent(static_cast<HDC>(canvas.GetHDC()), m_renderContext);
}

// ---- vqGLCanvas ----

vqGLCanvas::vqGLCanvas(vqWindow* parent, int id, int* attribList, const vqPoint& pos,
                       const vqSize& size, long style, const vqString& name,
                       const vqPalette& palette)
    : m_ownedContext(nullptr), m_windowHdc(NULL) {
    Construct(parent, id, pos, size, style, name, attribList, palette);
}

vqGLCanvas::vqGLCanvas(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size, long style,
                       const vqString& name, int* attribList, const vqPalette& palette)
    : m_ownedContext(nullptr), m_windowHdc(NULL) {
    Construct(parent, id, pos, size, style, name, attribList, palette);
    if (m_windowHdc) m_ownedContext = new vqGLContext(this, nullptr);
}

vqGLCanvas::vqGLCanvas(vqWindow* parent, const vqGLContext* shared, int id, const vqPoint& pos,
                       const vqSize& size, long style, const vqString& name, int* attribList,
                       const vqPalette& palette)
    : m_ownedContext(nullptr), m_windowHdc(NULL) {
    Construct(parent, id, pos, size, style, name, attribList, palette);
    if (m_windowHdc) m_ownedContext = new vqGLContext(this, shared);
}

vqGLCanvas::vqGLCanvas(vqWindow* parent, const vqGLCanvas* shared, int id, const vqPoint& pos,
                       const vqSize& size, long style, const vqString& name, int* attribList,
                       const vqPalette& palette)
    : m_ownedContext(nullptr), m_windowHdc(NULL) {
    Construct(parent, id, pos, size, style, name, attribList, palette);
    if (m_windowHdc)
        m_ownedContext = new vqGLContext(this, shared ? shared->m_ownedContext : nullptr);
}

void vqGLCanvas::Construct(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size,
                           long style, const vqString& name, int* attribList,
                           const vqPalette& palette) {
    // A canvas whose window could not be created stays inert: no device context,
    // pixel format, palette or context.
    if (!Create(parent, id, pos, size, style, name)) return;
    SetBackgroundColour(vqSystemSettingsNative::GetColour(vqSystemColour(15)));
    m_windowHdc = GetDC(static_cast<HWND>(GetHWND()));
    if (!m_windowHdc) return;
    SetupPixelFormat(attribList);
    SetupPalette(palette);
}

vqGLCanvas::~vqGLCanvas() {
    delete m_ownedContext;
    if (m_windowHdc) ReleaseDC(static_cast<HWND>(GetHWND()), m_windowHdc);
    m_canvasPalette = vqPalette();
}

bool vqGLCanvas::Create(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size,
                        long style, const vqString& name) {
    if (!parent) return false;
    if (!RegisterGLCanvasClasses()) {
        LogTranslatedError(vqT("Failed to register OpenGL window class."));
        return false;
    }
    if (!vqWindowBase::CreateBase(parent, id, pos, size, style, vqDefaultValidator, name))
        return false;
    parent->AddChild(this);
    vqWindowStyle exStyle = 0;
    vqWindowStyle msStyle = MSWGetStyle(style, &exStyle);
    return MSWCreate(kCanvasClass, NULL, pos, size,
                     msStyle | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, exStyle);
}

void vqGLCanvas::SetupPixelFormat(int* attribList) {
    PIXELFORMATDESCRIPTOR request = DefaultPixelFormatRequest();
    ApplyAttributeList(&request, attribList);
    int index = ChoosePixelFormat(m_windowHdc, &request);
    if (index == 0) return;
    SetPixelFormat(m_windowHdc, index, &request);
}

void vqGLCanvas::OnSize(vqSizeEvent&) {}

void vqGLCanvas::SetCurrent() {
    if (m_ownedContext) m_ownedContext->SetCurrent(*this);
}

void vqGLCanvas::SetCurrent(const vqGLContext& context) const { context.SetCurrent(*this); }

void vqGLCanvas::SwapBuffers() {
    if (m_windowHdc) ::SwapBuffers(m_windowHdc);
}

void vqGLCanvas::SetColour(const vqChar* colour) {
    vqString name(colour ? colour : vqT(""));
    vqColour c = vqTheColourDatabase->Find(name);
    if (!c.Ok()) return;
    const double scale = 0.00390625;  // 1/256
    glColor3f(float(c.Red() * scale), float(c.Green() * scale), float(c.Blue() * scale));
}

// ---- Palette ----

void vqGLCanvas::SetupPalette(const vqPalette& palette) {
    PIXELFORMATDESCRIPTOR pfd;
    if (!DescribeCurrentFormat(m_windowHdc, &pfd)) return;
    if (!(pfd.dwFlags & PFD_NEED_PALETTE)) return;
    m_canvasPalette = palette;
    if (!m_canvasPalette.Ok()) m_canvasPalette = CreateDefaultPalette();
    if (m_canvasPalette.Ok()) {
        SelectPalette(m_windowHdc, static_cast<HPALETTE>(m_canvasPalette.GetHPALETTE()), FALSE);
        RealizePalette(m_windowHdc);
    }
}

vqPalette vqGLCanvas::CreateDefaultPalette() {
    PIXELFORMATDESCRIPTOR pfd;
    // Without a pixel format, or with more colours than a palette holds, there is none.
    if (!DescribeCurrentFormat(m_windowHdc, &pfd)) return vqPalette();
    const std::vector<PALETTEENTRY> entries = DefaultPaletteEntries(pfd);
    if (entries.empty()) return vqPalette();
    std::vector<unsigned char> buffer(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY));
    LOGPALETTE* logPalette = reinterpret_cast<LOGPALETTE*>(buffer.data());
    logPalette->palVersion = 0x300;
    logPalette->palNumEntries = WORD(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) logPalette->palPalEntry[i] = entries[i];
    HPALETTE handle = CreatePalette(logPalette);
    vqPalette palette;
    palette.SetHPALETTE(handle);
    return palette;
}

void vqGLCanvas::OnQueryNewPalette(vqQueryNewPaletteEvent& event) {
    if (m_canvasPalette.Ok()) {
        HPALETTE handle = static_cast<HPALETTE>(m_canvasPalette.GetHPALETTE());
        UnrealizeObject(handle);
        SelectPalette(m_windowHdc, handle, FALSE);
        RealizePalette(m_windowHdc);
        Refresh(true);
        event.SetPaletteRealized(true);
    } else {
        event.SetPaletteRealized(false);
    }
}

void vqGLCanvas::OnPaletteChanged(vqPaletteChangedEvent& event) {
    if (m_canvasPalette.Ok() && event.GetChangedWindow() != this) {
        HPALETTE handle = static_cast<HPALETTE>(m_canvasPalette.GetHPALETTE());
        UnrealizeObject(handle);
        SelectPalette(m_windowHdc, handle, FALSE);
        RealizePalette(m_windowHdc);
        Refresh(true);
    }
}

// ---- vqGLApp ----

vqGLApp::vqGLApp() {}

vqGLApp::~vqGLApp() {}

bool vqGLApp::InitGLVisual(int* attribList) {
    PIXELFORMATDESCRIPTOR request = DefaultPixelFormatRequest();
    ApplyAttributeList(&request, attribList);
    HDC screen = GetDC(NULL);
    int index = ChoosePixelFormat(screen, &request);
    ReleaseDC(NULL, screen);
    if (index != 0) return true;
    LogTranslatedError(vqT("Failed to initialize OpenGL"));
    return false;
}
