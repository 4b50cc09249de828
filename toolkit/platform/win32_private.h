// Shared state of the Win32 stand-in: windows, classes, device contexts, palettes
// and rendering contexts, and the EGL backing they render through.
#ifndef VQ_WIN32_PRIVATE_H
#define VQ_WIN32_PRIVATE_H

#include <set>
#include <string>
#include <vector>

#include "vq/platform/win32.h"

struct EglWindow;

namespace vqw32 {
// A window of the stand-in; its HWND is the address of this record.
struct Window {
    std::string className;  // UTF-8, as registered
    HINSTANCE instance = nullptr;
    WNDPROC proc = nullptr;
    bool wideProc = false;
    UINT classStyle = 0;
    DWORD style = 0, exStyle = 0;
    HWND parent = nullptr;
    std::vector<HWND> children;
    int x = 0, y = 0, width = 0, height = 0;
    vqPlatformDisplay display = vqPLATFORM_DISPLAY_TRUE_COLOUR;  // at creation
    int pixelFormat = 0;
    HDC ownDC = nullptr;
    ::EglWindow* egl = nullptr;  // rendering surfaces, once a pixel format is set
    HGLRC presenter = nullptr;   // the context that last presented a frame
};

// NOTE: HWND is void* (as unixODBC declares it), so handles carry no type of their own.
inline Window* Win(HWND wnd) { return static_cast<Window*>(wnd); }
}  // namespace vqw32

struct HDC__ {
    HWND wnd = nullptr;  // null for the screen
    bool classOwned = false;
    HPALETTE palette = nullptr;
};

struct HPALETTE__ {
    std::vector<PALETTEENTRY> entries;
    bool realized = false;
};

struct HGLRC__ {
    vqPlatformDisplay display = vqPLATFORM_DISPLAY_TRUE_COLOUR;
    int pixelFormat = 0;
    bool used = false;  // made current at least once: lists can no longer be shared
    struct EglContext* egl = nullptr;
    HDC currentDC = nullptr;
    const void* currentThread = nullptr;
};

namespace vqw32 {

// Live handles; every call checks its handles against these.
extern std::set<HWND> g_windows;
extern std::set<HDC> g_dcs;
extern std::set<HPALETTE> g_palettes;
extern std::set<HGLRC> g_contexts;

// Records a call when recording is on.
bool Recording();
void Record(const char* name, std::vector<std::string> args);
std::string Hex(const void* handle);
std::string Quote(const std::string& text);
std::string Narrow(const wchar_t* text);
std::string ResourceName(const char* name);
std::string ResourceName(const wchar_t* name);

// The display a device context describes: its window's, or the current one for the screen.
vqPlatformDisplay DisplayOf(HDC dc);
// Sends a message to a window's procedure; 0 when it has none.
LRESULT Dispatch(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- EGL backing (egl_backend.cpp) ----
bool EglAvailable();
// Creates or resizes the rendering surfaces of a window with a pixel format.
void EglAttachWindow(HWND wnd);
void EglResizeWindow(HWND wnd);
void EglDetachWindow(HWND wnd);
// Creates the EGL context of a rendering context; false when none can be made.
bool EglCreateContext(HGLRC rc, HGLRC shareWith);
void EglDestroyContext(HGLRC rc);
bool EglMakeCurrent(HWND wnd, HGLRC rc);
void EglReleaseCurrent();
// Presents the back buffer of a window whose context is current on this thread.
void EglSwap(HWND wnd, HGLRC current);
bool EglReadPresented(HWND wnd, int* width, int* height, std::vector<unsigned char>* rgba);

}  // namespace vqw32

#endif
