#include "gl_test_util.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "vq/module.h"
#include "vq/win32_window_class.h"

std::string Wide(const std::string& name) {
#ifdef VQ_UNICODE
    return name + "W";
#else
    return name + "A";
#endif
}

void RunGLModuleExit() {
    std::unique_ptr<vqObject> object(vqClassInfo::CreateObject(vqT("vqGLModule")));
    if (vqModule* module = vqDynamicCast<vqModule>(object.get())) module->OnExit();
}

bool StartsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

std::string HandleText(const void* handle) {
    if (!handle) return "null";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", handle);
    return buf;
}

std::vector<std::string> Names(const std::vector<std::string>& lines) {
    std::vector<std::string> names;
    for (const std::string& line : lines) names.push_back(line.substr(0, line.find('(')));
    return names;
}

bool ToolkitClassInfo(const vqChar* name, TestWndClass* wc) {
#ifdef VQ_UNICODE
    return GetClassInfoW(vqhInstance, name, wc) != 0;
#else
    return GetClassInfoA(vqhInstance, name, wc) != 0;
#endif
}

#ifndef _WIN32

bool HaveRecorder() { return true; }
void StartRecording() { vqPlatformStartRecording(); }
void StopRecording() { vqPlatformStopRecording(); }
std::vector<std::string> Calls(const std::vector<std::string>& names) {
    return vqPlatformRecordedCallsNamed(names);
}
std::vector<std::string> AllCalls() {
    std::vector<std::string> lines;
    for (const vqPlatformCall& call : vqPlatformRecordedCalls()) lines.push_back(call.Text());
    return lines;
}

bool HavePaletteDisplay() { return true; }
void UsePaletteDisplay(bool palette) {
    vqPlatformSetDisplay(palette ? vqPLATFORM_DISPLAY_PALETTE_8 : vqPLATFORM_DISPLAY_TRUE_COLOUR);
}

void DispatchPendingMessages() {}

bool HaveGL() { return vqPlatformHasGL(); }
std::string GLStatus() { return vqPlatformGLStatus(); }

bool PresentAndReadFrame(vqGLCanvas& canvas, int* width, int* height,
                         std::vector<unsigned char>* rgba) {
    canvas.SwapBuffers();
    return vqPlatformReadPresentedPixels(static_cast<HWND>(canvas.GetHWND()), width, height, rgba);
}

#else  // _WIN32

bool HaveRecorder() { return false; }
void StartRecording() {}
void StopRecording() {}
std::vector<std::string> Calls(const std::vector<std::string>&) { return {}; }
std::vector<std::string> AllCalls() { return {}; }

bool HavePaletteDisplay() { return false; }
void UsePaletteDisplay(bool) {}

namespace {

struct GLProbe {
    bool ok = false;
    std::string status;
};

LRESULT CALLBACK ProbeProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

// Makes a context on a window of its own once, and draws nothing with it: tells whether
// OPENGL32 gives contexts that can be made current, and names the renderer.
GLProbe ProbeGL() {
    GLProbe probe;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = instance;
    wc.lpszClassName = "vqGLTestProbe";
    if (!RegisterClassA(&wc)) {
        probe.status = "RegisterClassA failed, error " + std::to_string(GetLastError());
        return probe;
    }
    HWND wnd = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr,
                               instance, nullptr);
    HDC dc = wnd ? GetDC(wnd) : nullptr;
    PIXELFORMATDESCRIPTOR pfd = {};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    int format = dc ? ChoosePixelFormat(dc, &pfd) : 0;
    HGLRC rc = format && SetPixelFormat(dc, format, &pfd) ? wglCreateContext(dc) : nullptr;
    if (!wnd || !dc) {
        probe.status = "no window or device context (is there a display?)";
    } else if (!rc) {
        probe.status = "no WGL context, error " + std::to_string(GetLastError());
    } else if (!wglMakeCurrent(dc, rc)) {
        probe.status = "wglMakeCurrent failed, error " + std::to_string(GetLastError());
    } else {
        const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        probe.ok = renderer != nullptr;
        probe.status = renderer ? renderer : "glGetString(GL_RENDERER) gave nothing";
        wglMakeCurrent(nullptr, nullptr);
    }
    if (rc) wglDeleteContext(rc);
    if (dc) ReleaseDC(wnd, dc);
    if (wnd) DestroyWindow(wnd);
    UnregisterClassA(wc.lpszClassName, instance);
    return probe;
}

const GLProbe& Probe() {
    static const GLProbe probe = ProbeGL();
    return probe;
}

}  // namespace

// NOTE: Wine resizes a child window's GL drawable only while the messages its resize
// posted are dispatched; Windows does at once.
void DispatchPendingMessages() {
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
        DispatchMessageA(&msg);
}

bool HaveGL() { return Probe().ok; }
std::string GLStatus() { return Probe().status; }

bool PresentAndReadFrame(vqGLCanvas& canvas, int* width, int* height,
                         std::vector<unsigned char>* rgba) {
    HWND wnd = static_cast<HWND>(canvas.GetHWND());
    RECT rect;
    if (!wnd || !wglGetCurrentContext() || !GetClientRect(wnd, &rect)) return false;
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0) return false;
    std::vector<unsigned char> bottomUp(size_t(w) * h * 4);
    // Clears errors left by earlier calls (each call reports one flag at most).
    for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
    }
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    if (glGetError() != GL_NO_ERROR) return false;
    canvas.SwapBuffers();
    // GL rows run bottom to top; the frame is given top row first.
    rgba->resize(bottomUp.size());
    const size_t row = size_t(w) * 4;
    for (int y = 0; y < h; ++y)
        std::memcpy(rgba->data() + y * row, bottomUp.data() + (h - 1 - y) * row, row);
    *width = w;
    *height = h;
    return true;
}

#endif  // _WIN32
