// The EGL backing of the stand-in: every window with a pixel format renders into
// pbuffer surfaces of its size (two for double buffering, flipped by SwapBuffers),
// and every rendering context is an EGL context for desktop OpenGL.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "win32_private.h"

struct EglWindow {
    EGLConfig config = nullptr;
    EGLSurface surfaces[2] = {EGL_NO_SURFACE, EGL_NO_SURFACE};
    int back = 0;  // index of the back buffer; the other one is presented
    bool doubleBuffered = false;
};

struct EglContext {
    EGLContext context = EGL_NO_CONTEXT;
    EGLConfig config = nullptr;
};

namespace {

struct Display {
    bool tried = false;
    EGLDisplay display = EGL_NO_DISPLAY;
    std::string status = "EGL not initialised";
    std::map<std::pair<int, int>, EGLConfig> configs;  // (display kind, format) -> config
    std::map<EGLConfig, EGLContext> readers;           // contexts that read presented pixels
};

Display& Egl() {
    static Display d;
    return d;
}

// NOTE: every EGL entry point of the dispatching libEGL checks for a fork with a
// system call, so the current binding is tracked here instead of queried per frame.
thread_local EGLContext t_context = EGL_NO_CONTEXT;
thread_local EGLSurface t_draw = EGL_NO_SURFACE;
thread_local EGLSurface t_read = EGL_NO_SURFACE;

bool Bind(EGLSurface draw, EGLSurface read, EGLContext context) {
    if (!eglMakeCurrent(Egl().display, draw, read, context)) return false;
    t_context = context, t_draw = draw, t_read = read;
    return true;
}

void Terminate() {
    Display& d = Egl();
    if (d.display == EGL_NO_DISPLAY) return;
    eglMakeCurrent(d.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglTerminate(d.display);
    eglReleaseThread();
    d.display = EGL_NO_DISPLAY;
}

bool HasExtension(const char* list, const char* name) {
    if (!list) return false;
    size_t n = std::strlen(name);
    for (const char* p = std::strstr(list, name); p; p = std::strstr(p + n, name))
        if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == 0)) return true;
    return false;
}

// Opens the first EGL display that renders desktop OpenGL: Mesa's surfaceless
// platform, then the first device, then the default display.
EGLDisplay OpenDisplay(std::string* which) {
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLint major = 0, minor = 0;
    if (getPlatformDisplay && HasExtension(client, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay d =
            getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (d != EGL_NO_DISPLAY && eglInitialize(d, &major, &minor)) {
            *which = "surfaceless";
            return d;
        }
    }
    auto queryDevices =
        reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    if (getPlatformDisplay && queryDevices && HasExtension(client, "EGL_EXT_platform_device")) {
        EGLDeviceEXT devices[8];
        EGLint count = 0;
        if (queryDevices(8, devices, &count)) {
            for (EGLint i = 0; i < count; ++i) {
                EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
                if (d != EGL_NO_DISPLAY && eglInitialize(d, &major, &minor)) {
                    *which = "device " + std::to_string(i);
                    return d;
                }
            }
        }
    }
    EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (d != EGL_NO_DISPLAY && eglInitialize(d, &major, &minor)) {
        *which = "default";
        return d;
    }
    return EGL_NO_DISPLAY;
}

Display& Init() {
    Display& d = Egl();
    if (d.tried) return d;
    d.tried = true;
    if (const char* off = std::getenv("VQ_PLATFORM_NO_EGL"); off && *off && *off != '0') {
        d.status = "EGL disabled by VQ_PLATFORM_NO_EGL";
        return d;
    }
    std::string which;
    d.display = OpenDisplay(&which);
    if (d.display == EGL_NO_DISPLAY) {
        d.status = "no EGL display could be opened (surfaceless, device or default)";
        return d;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        d.status = "the EGL display does not render desktop OpenGL";
        eglTerminate(d.display);
        d.display = EGL_NO_DISPLAY;
        return d;
    }
    EGLint major = 0, minor = 0;
    eglInitialize(d.display, &major, &minor);
    const char* vendor = eglQueryString(d.display, EGL_VENDOR);
    d.status = "EGL " + std::to_string(major) + "." + std::to_string(minor) + " " + which +
               " display (" + (vendor ? vendor : "unknown vendor") + ")";
    std::atexit(Terminate);
    return d;
}

EGLint Attrib(EGLDisplay display, EGLConfig config, EGLint name) {
    EGLint value = 0;
    eglGetConfigAttrib(display, config, name, &value);
    return value;
}

// The EGL config closest to a pixel format's sizes; null for colour-index formats,
// which desktop OpenGL over EGL cannot render.
EGLConfig ConfigFor(vqPlatformDisplay kind, int format) {
    Display& d = Init();
    if (d.display == EGL_NO_DISPLAY) return nullptr;
    auto key = std::make_pair(int(kind), format);
    auto found = d.configs.find(key);
    if (found != d.configs.end()) return found->second;
    const auto& formats = vqPlatformPixelFormats(kind);
    EGLConfig best = nullptr;
    if (format >= 1 && format <= int(formats.size()) &&
        formats[format - 1].iPixelType == PFD_TYPE_RGBA) {
        const PIXELFORMATDESCRIPTOR& f = formats[format - 1];
        const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,       EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT,   EGL_COLOR_BUFFER_TYPE, EGL_RGB_BUFFER,
                                 EGL_NONE};
        EGLint count = 0;
        eglChooseConfig(d.display, wanted, nullptr, 0, &count);
        std::vector<EGLConfig> configs(count);
        eglChooseConfig(d.display, wanted, configs.data(), count, &count);
        const EGLint names[] = {EGL_RED_SIZE,   EGL_GREEN_SIZE, EGL_BLUE_SIZE,
                                EGL_ALPHA_SIZE, EGL_DEPTH_SIZE, EGL_STENCIL_SIZE};
        const int sizes[] = {f.cRedBits,   f.cGreenBits, f.cBlueBits,
                             f.cAlphaBits, f.cDepthBits, f.cStencilBits};
        long bestCost = 0;
        for (EGLint i = 0; i < count; ++i) {
            long cost = 0;
            for (int k = 0; k < 6; ++k) {
                int have = Attrib(d.display, configs[i], names[k]);
                // Fewer bits than asked is worse than more.
                cost += have >= sizes[k] ? have - sizes[k] : 64 * (sizes[k] - have);
            }
            if (!best || cost < bestCost) best = configs[i], bestCost = cost;
        }
    }
    d.configs[key] = best;
    return best;
}

EGLSurface MakeSurface(EGLConfig config, int width, int height) {
    const EGLint attribs[] = {EGL_WIDTH, width > 0 ? width : 1, EGL_HEIGHT, height > 0 ? height : 1,
                              EGL_NONE};
    return eglCreatePbufferSurface(Egl().display, config, attribs);
}

void DestroySurfaces(EglWindow* w) {
    for (int i = 0; i < 2; ++i) {
        EGLSurface s = w->surfaces[i];
        w->surfaces[i] = EGL_NO_SURFACE;
        if (s == EGL_NO_SURFACE || (i == 1 && s == w->surfaces[0])) continue;
        // A surface being drawn to is unbound first; the context stays current.
        if (s == t_draw || s == t_read) Bind(EGL_NO_SURFACE, EGL_NO_SURFACE, t_context);
        eglDestroySurface(Egl().display, s);
    }
}

void CreateSurfaces(HWND wnd) {
    using vqw32::Win;
    EglWindow* w = Win(wnd)->egl;
    w->surfaces[0] = MakeSurface(w->config, Win(wnd)->width, Win(wnd)->height);
    w->surfaces[1] = w->doubleBuffered ? MakeSurface(w->config, Win(wnd)->width, Win(wnd)->height)
                                       : w->surfaces[0];
    w->back = 0;
}

}  // namespace

namespace vqw32 {

bool EglAvailable() { return Init().display != EGL_NO_DISPLAY; }

void EglAttachWindow(HWND wnd) {
    if (Win(wnd)->egl) return;
    EGLConfig config = ConfigFor(Win(wnd)->display, Win(wnd)->pixelFormat);
    if (!config) return;
    Win(wnd)->egl = new EglWindow;
    Win(wnd)->egl->config = config;
    Win(wnd)->egl->doubleBuffered =
        (vqPlatformPixelFormats(Win(wnd)->display)[Win(wnd)->pixelFormat - 1].dwFlags &
         PFD_DOUBLEBUFFER) != 0;
    CreateSurfaces(wnd);
}

void EglResizeWindow(HWND wnd) {
    if (!Win(wnd)->egl) return;
    EGLSurface oldBack = Win(wnd)->egl->surfaces[Win(wnd)->egl->back];
    bool bound = oldBack != EGL_NO_SURFACE && t_draw == oldBack;
    EGLContext context = t_context;
    DestroySurfaces(Win(wnd)->egl);
    CreateSurfaces(wnd);
    EGLSurface back = Win(wnd)->egl->surfaces[Win(wnd)->egl->back];
    if (bound) Bind(back, back, context);
}

void EglDetachWindow(HWND wnd) {
    if (!Win(wnd)->egl) return;
    DestroySurfaces(Win(wnd)->egl);
    delete Win(wnd)->egl;
    Win(wnd)->egl = nullptr;
}

bool EglCreateContext(HGLRC rc, HGLRC shareWith) {
    EGLConfig config = ConfigFor(rc->display, rc->pixelFormat);
    if (!config) return false;
    EGLContext share = shareWith && shareWith->egl ? shareWith->egl->context : EGL_NO_CONTEXT;
    EGLContext context = eglCreateContext(Egl().display, config, share, nullptr);
    if (context == EGL_NO_CONTEXT) return false;
    rc->egl = new EglContext;
    rc->egl->context = context;
    rc->egl->config = config;
    return true;
}

void EglDestroyContext(HGLRC rc) {
    if (!rc->egl) return;
    if (t_context == rc->egl->context) Bind(EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(Egl().display, rc->egl->context);
    delete rc->egl;
    rc->egl = nullptr;
}

bool EglMakeCurrent(HWND wnd, HGLRC rc) {
    if (!rc->egl || !Win(wnd)->egl) return false;
    EGLSurface back = Win(wnd)->egl->surfaces[Win(wnd)->egl->back];
    if (t_context == rc->egl->context && t_draw == back) return true;
    return Bind(back, back, rc->egl->context);
}

void EglReleaseCurrent() {
    if (Egl().display != EGL_NO_DISPLAY && t_context != EGL_NO_CONTEXT)
        Bind(EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void EglSwap(HWND wnd, HGLRC current) {
    EglWindow* w = Win(wnd)->egl;
    if (!w) return;
    EGLSurface back = w->surfaces[w->back];
    bool bound = current && current->egl && t_context == current->egl->context && t_draw == back;
    if (bound) {
        glFlush();
        Win(wnd)->presenter = current;
    }
    if (!w->doubleBuffered) return;
    w->back ^= 1;
    if (bound) Bind(w->surfaces[w->back], w->surfaces[w->back], current->egl->context);
}

bool EglReadPresented(HWND wnd, int* width, int* height, std::vector<unsigned char>* rgba) {
    EglWindow* w = Win(wnd)->egl;
    if (!w) return false;
    Display& d = Egl();
    EGLSurface front = w->surfaces[w->doubleBuffered ? w->back ^ 1 : 0];
    // The context that presented reads the frame, so the read waits for its drawing;
    // a reader of the surface's config stands in when it is gone or busy elsewhere.
    HGLRC presenter = Win(wnd)->presenter;
    EGLContext reader = EGL_NO_CONTEXT;
    if (presenter && g_contexts.count(presenter) && presenter->egl &&
        (!presenter->currentThread || presenter == wglGetCurrentContext()))
        reader = presenter->egl->context;
    if (reader == EGL_NO_CONTEXT) {
        EGLContext& spare = d.readers[w->config];
        if (spare == EGL_NO_CONTEXT)
            spare = eglCreateContext(d.display, w->config, EGL_NO_CONTEXT, nullptr);
        reader = spare;
    }
    if (reader == EGL_NO_CONTEXT) return false;
    EGLContext savedContext = t_context;
    EGLSurface savedDraw = t_draw, savedRead = t_read;
    if (!Bind(front, front, reader)) return false;
    glFinish();
    GLint alignment = 4, readBuffer = GL_BACK;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    int wdt = Win(wnd)->width > 0 ? Win(wnd)->width : 1,
        hgt = Win(wnd)->height > 0 ? Win(wnd)->height : 1;
    std::vector<unsigned char> pixels(size_t(wdt) * hgt * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, wdt, hgt, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    glReadBuffer(GLenum(readBuffer));
    Bind(savedDraw, savedRead, savedContext);
    // GL rows run bottom to top; callers get the top row first.
    rgba->resize(pixels.size());
    size_t row = size_t(wdt) * 4;
    for (int y = 0; y < hgt; ++y)
        std::memcpy(rgba->data() + size_t(y) * row, pixels.data() + size_t(hgt - 1 - y) * row, row);
    *width = wdt, *height = hgt;
    return true;
}

}  // namespace vqw32

bool vqPlatformHasGL() { return vqw32::EglAvailable(); }

const char* vqPlatformGLStatus() { return Init().status.c_str(); }

bool vqPlatformReadPresentedPixels(HWND wnd, int* width, int* height,
                                   std::vector<unsigned char>* rgba) {
    if (!vqw32::g_windows.count(wnd) || !width || !height || !rgba) return false;
    if (!vqw32::EglReadPresented(wnd, width, height, rgba)) return false;
    // On the palette-managed display the screen shows each 3-3-2 pixel value through
    // the palette selected into the window's device context.
    HDC dc = vqw32::Win(wnd)->ownDC;
    if (vqw32::Win(wnd)->display == vqPLATFORM_DISPLAY_PALETTE_8 && dc && dc->palette &&
        dc->palette->entries.size() >= 256) {
        for (size_t i = 0; i + 3 < rgba->size(); i += 4) {
            unsigned char* p = rgba->data() + i;
            int index = (p[0] >> 5) | ((p[1] >> 5) << 3) | ((p[2] >> 6) << 6);
            const PALETTEENTRY& e = dc->palette->entries[index];
            p[0] = e.peRed, p[1] = e.peGreen, p[2] = e.peBlue;
        }
    }
    return true;
}
