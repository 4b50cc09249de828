// The Win32 subset that the GL library calls (USER32, GDI32, OPENGL32). On Windows
// this is <windows.h>; elsewhere the stand-in declares the same names with the same
// types and layouts, implemented over EGL and desktop OpenGL so that rendering is
// real. The stand-in also offers tests a display choice, the presented pixels of a
// window and a recorder of the Win32 calls made.
#ifndef VQ_PLATFORM_WIN32_H
#define VQ_PLATFORM_WIN32_H

#if defined(_WIN32)
#include "vq/platform/windows_fixups.h"
#else

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The stand-in's entry points are visible from its library (VQMAKING_WIN32) and to callers.
#define VQ_WIN32_API __attribute__((visibility("default")))

#define WINAPI
#define CALLBACK

// NOTE: unixODBC's <sqltypes.h> declares a few Windows types itself when there is no
// <windows.h>: HWND and HINSTANCE as void*, BOOL as a macro, WCHAR as a 16-bit type.
// The types below agree with its declarations so that both headers can meet in one
// file in either order; WCHAR, LPWSTR and LPCWSTR are left to it, and the wide entry
// points take const wchar_t*, as they do where <windows.h> is real.
#ifndef BOOL
typedef int BOOL;
#endif
typedef unsigned char BYTE;
typedef unsigned short WORD;
#if ULONG_MAX == 0xffffffffUL
typedef unsigned long DWORD;
#else
typedef unsigned int DWORD;
#endif
typedef unsigned int UINT;
typedef std::int32_t LONG;
typedef unsigned short ATOM;
typedef std::intptr_t LONG_PTR;
typedef std::uintptr_t UINT_PTR;
typedef LONG_PTR LRESULT;
typedef LONG_PTR LPARAM;
typedef UINT_PTR WPARAM;
typedef char CHAR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef void* HANDLE;
typedef void* HGDIOBJ;
typedef void* HWND;
typedef void* HINSTANCE;

#define VQ_DECLARE_HANDLE(name) \
    struct name##__;            \
    typedef struct name##__* name
VQ_DECLARE_HANDLE(HDC);
VQ_DECLARE_HANDLE(HGLRC);
VQ_DECLARE_HANDLE(HPALETTE);
VQ_DECLARE_HANDLE(HICON);
VQ_DECLARE_HANDLE(HCURSOR);
VQ_DECLARE_HANDLE(HBRUSH);
VQ_DECLARE_HANDLE(HMENU);
#undef VQ_DECLARE_HANDLE
typedef HINSTANCE HMODULE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef NULL
#define NULL nullptr
#endif

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

#define MAKEINTRESOURCEA(i) ((LPCSTR)((std::uintptr_t)((WORD)(i))))
#define MAKEINTRESOURCEW(i) ((const wchar_t*)((std::uintptr_t)((WORD)(i))))
#define IS_INTRESOURCE(p) ((((std::uintptr_t)(p)) >> 16) == 0)
#ifdef UNICODE
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#else
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#endif
#define IDC_ARROW MAKEINTRESOURCE(32512)

// Window class styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020
#define CS_CLASSDC 0x0040
#define CS_PARENTDC 0x0080

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_BORDER 0x00800000L
#define WS_TABSTOP 0x00010000L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_CONTROLPARENT 0x00010000L

// Window messages.
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_PAINT 0x000F
#define WM_QUERYNEWPALETTE 0x030F
#define WM_PALETTECHANGED 0x0311
#define SIZE_RESTORED 0
#define LOWORD(l) ((WORD)(((UINT_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((UINT_PTR)(l)) >> 16) & 0xffff))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)((WORD)(l) | ((DWORD)((WORD)(h)) << 16)))

// Pixel format descriptor flags, pixel types and layer types.
#define PFD_DOUBLEBUFFER 0x00000001
#define PFD_STEREO 0x00000002
#define PFD_DRAW_TO_WINDOW 0x00000004
#define PFD_DRAW_TO_BITMAP 0x00000008
#define PFD_SUPPORT_GDI 0x00000010
#define PFD_SUPPORT_OPENGL 0x00000020
#define PFD_GENERIC_FORMAT 0x00000040
#define PFD_NEED_PALETTE 0x00000080
#define PFD_NEED_SYSTEM_PALETTE 0x00000100
#define PFD_SWAP_EXCHANGE 0x00000200
#define PFD_SWAP_COPY 0x00000400
#define PFD_GENERIC_ACCELERATED 0x00001000
#define PFD_DEPTH_DONTCARE 0x20000000
#define PFD_DOUBLEBUFFER_DONTCARE 0x40000000
#define PFD_STEREO_DONTCARE 0x80000000
#define PFD_TYPE_RGBA 0
#define PFD_TYPE_COLORINDEX 1
#define PFD_MAIN_PLANE 0
#define PFD_OVERLAY_PLANE 1
#define PFD_UNDERLAY_PLANE (-1)

#define PC_RESERVED 0x01
#define PC_EXPLICIT 0x02
#define PC_NOCOLLAPSE 0x04
#define GDI_ERROR 0xFFFFFFFFL

// Error codes left by failing calls (GetLastError).
#define ERROR_SUCCESS 0
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_NOT_SUPPORTED 50
#define ERROR_INVALID_PARAMETER 87
#define ERROR_BUSY 170
#define ERROR_INVALID_WINDOW_HANDLE 1400
#define ERROR_TLW_WITH_WSCHILD 1406
#define ERROR_CANNOT_FIND_WND_CLASS 1407
#define ERROR_CLASS_ALREADY_EXISTS 1410
#define ERROR_CLASS_DOES_NOT_EXIST 1411
#define ERROR_CLASS_HAS_WINDOWS 1412
#define ERROR_INVALID_PIXEL_FORMAT 2000

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const wchar_t* lpszMenuName;
    const wchar_t* lpszClassName;
};

struct RECT {
    LONG left, top, right, bottom;
};

struct PIXELFORMATDESCRIPTOR {
    WORD nSize;
    WORD nVersion;
    DWORD dwFlags;
    BYTE iPixelType;
    BYTE cColorBits;
    BYTE cRedBits;
    BYTE cRedShift;
    BYTE cGreenBits;
    BYTE cGreenShift;
    BYTE cBlueBits;
    BYTE cBlueShift;
    BYTE cAlphaBits;
    BYTE cAlphaShift;
    BYTE cAccumBits;
    BYTE cAccumRedBits;
    BYTE cAccumGreenBits;
    BYTE cAccumBlueBits;
    BYTE cAccumAlphaBits;
    BYTE cDepthBits;
    BYTE cStencilBits;
    BYTE cAuxBuffers;
    BYTE iLayerType;
    BYTE bReserved;
    DWORD dwLayerMask;
    DWORD dwVisibleMask;
    DWORD dwDamageMask;
};
typedef PIXELFORMATDESCRIPTOR* LPPIXELFORMATDESCRIPTOR;

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

struct LOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
};

extern "C" {
// KERNEL32: the calling thread's last error.
VQ_WIN32_API DWORD WINAPI GetLastError(void);
VQ_WIN32_API void WINAPI SetLastError(DWORD error);

// USER32: window classes, windows and their device contexts.
VQ_WIN32_API ATOM WINAPI RegisterClassA(const WNDCLASSA* wc);
VQ_WIN32_API ATOM WINAPI RegisterClassW(const WNDCLASSW* wc);
VQ_WIN32_API BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance);
VQ_WIN32_API BOOL WINAPI UnregisterClassW(const wchar_t* className, HINSTANCE instance);
VQ_WIN32_API BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA* wc);
VQ_WIN32_API BOOL WINAPI GetClassInfoW(HINSTANCE instance, const wchar_t* className, WNDCLASSW* wc);
VQ_WIN32_API HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
VQ_WIN32_API HCURSOR WINAPI LoadCursorW(HINSTANCE instance, const wchar_t* name);
VQ_WIN32_API HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style,
                                         int x, int y, int width, int height, HWND parent,
                                         HMENU menu, HINSTANCE instance, LPVOID param);
VQ_WIN32_API HWND WINAPI CreateWindowExW(DWORD exStyle, const wchar_t* className,
                                         const wchar_t* title, DWORD style, int x, int y, int width,
                                         int height, HWND parent, HMENU menu, HINSTANCE instance,
                                         LPVOID param);
VQ_WIN32_API BOOL WINAPI DestroyWindow(HWND wnd);
VQ_WIN32_API BOOL WINAPI IsWindow(HWND wnd);
VQ_WIN32_API BOOL WINAPI MoveWindow(HWND wnd, int x, int y, int width, int height, BOOL repaint);
VQ_WIN32_API BOOL WINAPI GetClientRect(HWND wnd, RECT* rect);
VQ_WIN32_API LRESULT WINAPI SendMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
VQ_WIN32_API LRESULT WINAPI SendMessageW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
VQ_WIN32_API LRESULT WINAPI DefWindowProcA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
VQ_WIN32_API LRESULT WINAPI DefWindowProcW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
VQ_WIN32_API HDC WINAPI GetDC(HWND wnd);
VQ_WIN32_API int WINAPI ReleaseDC(HWND wnd, HDC dc);
VQ_WIN32_API HWND WINAPI WindowFromDC(HDC dc);

// GDI32: pixel formats, buffer swapping and palettes.
VQ_WIN32_API int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd);
VQ_WIN32_API int WINAPI DescribePixelFormat(HDC dc, int format, UINT bytes,
                                            LPPIXELFORMATDESCRIPTOR pfd);
VQ_WIN32_API int WINAPI GetPixelFormat(HDC dc);
VQ_WIN32_API BOOL WINAPI SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* pfd);
VQ_WIN32_API BOOL WINAPI SwapBuffers(HDC dc);
VQ_WIN32_API HPALETTE WINAPI CreatePalette(const LOGPALETTE* logPalette);
VQ_WIN32_API UINT WINAPI GetPaletteEntries(HPALETTE palette, UINT start, UINT count,
                                           PALETTEENTRY* entries);
VQ_WIN32_API HPALETTE WINAPI SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
VQ_WIN32_API UINT WINAPI RealizePalette(HDC dc);
VQ_WIN32_API BOOL WINAPI UnrealizeObject(HGDIOBJ object);
VQ_WIN32_API BOOL WINAPI DeleteObject(HGDIOBJ object);

// OPENGL32: rendering contexts.
VQ_WIN32_API HGLRC WINAPI wglCreateContext(HDC dc);
VQ_WIN32_API BOOL WINAPI wglDeleteContext(HGLRC rc);
VQ_WIN32_API BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC rc);
VQ_WIN32_API BOOL WINAPI wglShareLists(HGLRC source, HGLRC target);
VQ_WIN32_API HGLRC WINAPI wglGetCurrentContext(void);
VQ_WIN32_API HDC WINAPI wglGetCurrentDC(void);
}

#ifdef UNICODE
#define WNDCLASS WNDCLASSW
#define RegisterClass RegisterClassW
#define UnregisterClass UnregisterClassW
#define LoadCursor LoadCursorW
#define CreateWindowEx CreateWindowExW
#else
#define WNDCLASS WNDCLASSA
#define RegisterClass RegisterClassA
#define UnregisterClass UnregisterClassA
#define LoadCursor LoadCursorA
#define CreateWindowEx CreateWindowExA
#endif

// ---- Stand-in extras for tests and tools (not part of Win32) ----

// The display that windows and the screen device context describe.
enum vqPlatformDisplay {
    // 32-bit true colour: RGBA formats with and without double buffering, depth, stencil.
    vqPLATFORM_DISPLAY_TRUE_COLOUR = 0,
    // 8-bit palette-managed: 3-3-2 RGB formats needing a palette, and colour-index formats.
    vqPLATFORM_DISPLAY_PALETTE_8 = 1
};

// Selects the display; affects device contexts and pixel formats described afterwards,
// so select it before creating windows.
VQ_WIN32_API void vqPlatformSetDisplay(vqPlatformDisplay display);
VQ_WIN32_API vqPlatformDisplay vqPlatformGetDisplay();

// The pixel formats a display offers, in enumeration order (index 0 is format 1).
VQ_WIN32_API const std::vector<PIXELFORMATDESCRIPTOR>& vqPlatformPixelFormats(
    vqPlatformDisplay display);

// Picks the format closest to the request among count formats: 1-based index, 0 when
// none fits. Flags that the request sets must be offered, double buffering and stereo
// must match unless marked don't-care, and the pixel type must match; among those the
// colour, alpha, depth, stencil, accumulation and auxiliary sizes are scored, and the
// first of equal scores wins. Pure: touches no device.
VQ_WIN32_API int vqPlatformChoosePixelFormat(const PIXELFORMATDESCRIPTOR* formats, int count,
                                             const PIXELFORMATDESCRIPTOR& request);

// True when an EGL display for OpenGL rendering was found; the text says which one,
// or why none could be opened.
VQ_WIN32_API bool vqPlatformHasGL();
VQ_WIN32_API const char* vqPlatformGLStatus();

// Copies the pixels a window last presented (after SwapBuffers, or what a
// single-buffered window holds) as RGBA rows, top row first. False when the window
// has no rendering surface.
VQ_WIN32_API bool vqPlatformReadPresentedPixels(HWND wnd, int* width, int* height,
                                                std::vector<unsigned char>* rgba);

// One recorded Win32 call: its name and its arguments as text.
struct VQ_WIN32_API vqPlatformCall {
    std::string name;
    std::vector<std::string> args;
    // The call as one line: name(arg, arg, ...).
    std::string Text() const;
};

// Starts recording Win32 calls (clearing earlier records), stops, and reads them.
VQ_WIN32_API void vqPlatformStartRecording();
VQ_WIN32_API void vqPlatformStopRecording();
VQ_WIN32_API std::vector<vqPlatformCall> vqPlatformRecordedCalls();
// The recorded calls whose name is one of the given, in order, as text lines.
VQ_WIN32_API std::vector<std::string> vqPlatformRecordedCallsNamed(
    const std::vector<std::string>& names);

#endif  // !_WIN32
#endif
