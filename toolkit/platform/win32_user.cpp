// USER32 and KERNEL32 of the stand-in: last error, window classes, windows and their
// device contexts, and the call recorder.
#include <algorithm>
#include <cstdio>
#include <map>

#include "win32_private.h"

namespace vqw32 {

std::set<HWND> g_windows;
std::set<HDC> g_dcs;
std::set<HPALETTE> g_palettes;
std::set<HGLRC> g_contexts;

namespace {

thread_local DWORD t_lastError = 0;
bool s_recording = false;
std::vector<vqPlatformCall> s_calls;

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    bool wide = false;
    int clsExtra = 0, wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::string menuName;
    bool hasMenuName = false;
    ATOM atom = 0;
};

std::vector<WindowClass> s_classes;
ATOM s_nextAtom = 0xC000;

// Compares class names as Windows does, ignoring ASCII case.
bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

WindowClass* FindClass(const std::string& name, HINSTANCE instance, bool exactInstance) {
    for (WindowClass& c : s_classes)
        if (SameName(c.name, name) && c.instance == instance) return &c;
    if (exactInstance) return nullptr;
    for (WindowClass& c : s_classes)
        if (SameName(c.name, name)) return &c;
    return nullptr;
}

ATOM Register(WindowClass c) {
    if (c.name.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (FindClass(c.name, c.instance, true)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    c.atom = s_nextAtom++;
    s_classes.push_back(c);
    return c.atom;
}

BOOL Unregister(const std::string& name, HINSTANCE instance) {
    auto it = std::find_if(s_classes.begin(), s_classes.end(), [&](const WindowClass& c) {
        return SameName(c.name, name) && c.instance == instance;
    });
    if (it == s_classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    for (HWND wnd : g_windows) {
        const Window* w = Win(wnd);
        if (SameName(w->className, name) && w->instance == instance) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return FALSE;
        }
    }
    s_classes.erase(it);
    return TRUE;
}

template <class WC>
std::vector<std::string> ClassArgs(const WC& wc, const std::string& name) {
    char style[16];
    std::snprintf(style, sizeof style, "0x%X", wc.style);
    return {Quote(name),
            std::string("style=") + style,
            "wndproc=" + Hex(reinterpret_cast<const void*>(wc.lpfnWndProc)),
            "cbClsExtra=" + std::to_string(wc.cbClsExtra),
            "cbWndExtra=" + std::to_string(wc.cbWndExtra),
            "hInstance=" + Hex(wc.hInstance),
            "hIcon=" + Hex(wc.hIcon),
            "hCursor=" + Hex(wc.hCursor),
            "hbrBackground=" + Hex(wc.hbrBackground),
            "menu=" + (wc.lpszMenuName ? ResourceName(wc.lpszMenuName) : std::string("null"))};
}

template <class WC>
WindowClass FromWndClass(const WC& wc, const std::string& name, bool wide) {
    WindowClass c;
    c.name = name;
    c.style = wc.style;
    c.proc = wc.lpfnWndProc;
    c.wide = wide;
    c.clsExtra = wc.cbClsExtra;
    c.wndExtra = wc.cbWndExtra;
    c.instance = wc.hInstance;
    c.icon = wc.hIcon;
    c.cursor = wc.hCursor;
    c.background = wc.hbrBackground;
    return c;
}

// The arrow cursor and the other system cursors are fixed handles, as on Windows.
HCURSOR SystemCursor(std::uintptr_t id) {
    if (id < 32512 || id > 32650) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(0x10000 + id);
}

HWND Create(DWORD exStyle, const std::string& className, DWORD style, int x, int y, int width,
            int height, HWND parent, HINSTANCE instance) {
    WindowClass* c = FindClass(className, instance, false);
    if (!c) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (parent && !g_windows.count(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if ((style & WS_CHILD) && !parent) {
        SetLastError(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    Window* w = new Window;
    w->className = c->name;
    w->instance = c->instance;
    w->proc = c->proc;
    w->wideProc = c->wide;
    w->classStyle = c->style;
    w->style = style;
    w->exStyle = exStyle;
    w->parent = parent;
    w->display = vqPlatformGetDisplay();
    w->x = x, w->y = y;
    w->width = std::max(width, 0), w->height = std::max(height, 0);
    g_windows.insert(w);
    if (parent) Win(parent)->children.push_back(w);
    Dispatch(w, WM_CREATE, 0, 0);
    Dispatch(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->width, w->height));
    return w;
}

}  // namespace

bool Recording() { return s_recording; }

void Record(const char* name, std::vector<std::string> args) {
    if (s_recording) s_calls.push_back(vqPlatformCall{name, std::move(args)});
}

std::string Hex(const void* handle) {
    if (!handle) return "null";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", handle);
    return buf;
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text) {
        unsigned long c = static_cast<unsigned long>(*text);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6)), out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12)), out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18)), out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F)), out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string ResourceName(const char* name) {
    if (!name) return "null";
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<std::uintptr_t>(name));
    return Quote(name);
}

std::string ResourceName(const wchar_t* name) {
    if (!name) return "null";
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<std::uintptr_t>(name));
    return Quote(Narrow(name));
}

LRESULT Dispatch(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return wnd && Win(wnd)->proc ? Win(wnd)->proc(wnd, msg, wParam, lParam) : 0;
}

}  // namespace vqw32

using namespace vqw32;

std::string vqPlatformCall::Text() const {
    std::string text = name + "(";
    for (size_t i = 0; i < args.size(); ++i) text += (i ? ", " : "") + args[i];
    return text + ")";
}

void vqPlatformStartRecording() {
    s_calls.clear();
    s_recording = true;
}

void vqPlatformStopRecording() { s_recording = false; }

std::vector<vqPlatformCall> vqPlatformRecordedCalls() { return s_calls; }

std::vector<std::string> vqPlatformRecordedCallsNamed(const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const vqPlatformCall& call : s_calls)
        if (std::find(names.begin(), names.end(), call.name) != names.end())
            out.push_back(call.Text());
    return out;
}

DWORD WINAPI GetLastError(void) { return t_lastError; }
void WINAPI SetLastError(DWORD error) { t_lastError = error; }

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (!wc || !wc->lpszClassName) {
        Record("RegisterClassA", {"null"});
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name = IS_INTRESOURCE(wc->lpszClassName) ? "" : wc->lpszClassName;
    Record("RegisterClassA", ClassArgs(*wc, name));
    return Register(FromWndClass(*wc, name, false));
}

ATOM WINAPI RegisterClassW(const WNDCLASSW* wc) {
    if (!wc || !wc->lpszClassName) {
        Record("RegisterClassW", {"null"});
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name = IS_INTRESOURCE(wc->lpszClassName) ? "" : Narrow(wc->lpszClassName);
    Record("RegisterClassW", ClassArgs(*wc, name));
    return Register(FromWndClass(*wc, name, true));
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    Record("UnregisterClassA", {ResourceName(className), Hex(instance)});
    if (!className || IS_INTRESOURCE(className)) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    return Unregister(className, instance);
}

BOOL WINAPI UnregisterClassW(const wchar_t* className, HINSTANCE instance) {
    Record("UnregisterClassW", {ResourceName(className), Hex(instance)});
    if (!className || IS_INTRESOURCE(className)) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    return Unregister(Narrow(className), instance);
}

BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA* wc) {
    WindowClass* c =
        className && !IS_INTRESOURCE(className) ? FindClass(className, instance, true) : nullptr;
    if (!c || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *wc = WNDCLASSA{c->style, c->proc,   c->clsExtra,   c->wndExtra, c->instance,
                    c->icon,  c->cursor, c->background, nullptr,     className};
    return TRUE;
}

BOOL WINAPI GetClassInfoW(HINSTANCE instance, const wchar_t* className, WNDCLASSW* wc) {
    WindowClass* c = className && !IS_INTRESOURCE(className)
                         ? FindClass(Narrow(className), instance, true)
                         : nullptr;
    if (!c || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *wc = WNDCLASSW{c->style, c->proc,   c->clsExtra,   c->wndExtra, c->instance,
                    c->icon,  c->cursor, c->background, nullptr,     className};
    return TRUE;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    Record("LoadCursorA", {Hex(instance), ResourceName(name)});
    if (instance || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return SystemCursor(reinterpret_cast<std::uintptr_t>(name));
}

HCURSOR WINAPI LoadCursorW(HINSTANCE instance, const wchar_t* name) {
    Record("LoadCursorW", {Hex(instance), ResourceName(name)});
    if (instance || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return SystemCursor(reinterpret_cast<std::uintptr_t>(name));
}

static std::vector<std::string> CreateArgs(DWORD exStyle, const std::string& cls,
                                           const std::string& title, DWORD style, int x, int y,
                                           int w, int h, HWND parent, HINSTANCE instance) {
    char ex[16], st[16];
    std::snprintf(ex, sizeof ex, "0x%X", exStyle);
    std::snprintf(st, sizeof st, "0x%X", style);
    return {ex,
            cls,
            title,
            st,
            std::to_string(x),
            std::to_string(y),
            std::to_string(w),
            std::to_string(h),
            Hex(parent),
            Hex(instance)};
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU, HINSTANCE instance,
                            LPVOID) {
    Record("CreateWindowExA",
           CreateArgs(exStyle, ResourceName(className), title ? Quote(title) : "null", style, x, y,
                      width, height, parent, instance));
    if (!className || IS_INTRESOURCE(className)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    return Create(exStyle, className, style, x, y, width, height, parent, instance);
}

HWND WINAPI CreateWindowExW(DWORD exStyle, const wchar_t* className, const wchar_t* title,
                            DWORD style, int x, int y, int width, int height, HWND parent, HMENU,
                            HINSTANCE instance, LPVOID) {
    Record("CreateWindowExW",
           CreateArgs(exStyle, ResourceName(className), title ? Quote(Narrow(title)) : "null",
                      style, x, y, width, height, parent, instance));
    if (!className || IS_INTRESOURCE(className)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    return Create(exStyle, Narrow(className), style, x, y, width, height, parent, instance);
}

BOOL WINAPI DestroyWindow(HWND wnd) {
    Record("DestroyWindow", {Hex(wnd)});
    if (!g_windows.count(wnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // Children go first, as on Windows.
    while (!Win(wnd)->children.empty()) DestroyWindow(Win(wnd)->children.back());
    Dispatch(wnd, WM_DESTROY, 0, 0);
    if (Win(wnd)->parent) {
        auto& siblings = Win(Win(wnd)->parent)->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), wnd), siblings.end());
    }
    EglDetachWindow(wnd);
    // Device contexts of the window stop working; a class-owned one is freed with it.
    for (auto it = g_dcs.begin(); it != g_dcs.end();) {
        if ((*it)->wnd == wnd) {
            HDC dc = *it;
            it = g_dcs.erase(it);
            delete dc;
        } else {
            ++it;
        }
    }
    g_windows.erase(wnd);
    delete Win(wnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND wnd) { return g_windows.count(wnd) ? TRUE : FALSE; }

BOOL WINAPI MoveWindow(HWND wnd, int x, int y, int width, int height, BOOL) {
    Record("MoveWindow", {Hex(wnd), std::to_string(x), std::to_string(y), std::to_string(width),
                          std::to_string(height)});
    if (!g_windows.count(wnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool resized = Win(wnd)->width != std::max(width, 0) || Win(wnd)->height != std::max(height, 0);
    Win(wnd)->x = x, Win(wnd)->y = y;
    Win(wnd)->width = std::max(width, 0), Win(wnd)->height = std::max(height, 0);
    if (resized) {
        EglResizeWindow(wnd);
        Dispatch(wnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(Win(wnd)->width, Win(wnd)->height));
    }
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND wnd, RECT* rect) {
    if (!g_windows.count(wnd) || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = RECT{0, 0, Win(wnd)->width, Win(wnd)->height};
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!g_windows.count(wnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return Dispatch(wnd, msg, wParam, lParam);
}

LRESULT WINAPI SendMessageW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(wnd, msg, wParam, lParam);
}

LRESULT WINAPI DefWindowProcA(HWND, UINT, WPARAM, LPARAM) { return 0; }
LRESULT WINAPI DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }

HDC WINAPI GetDC(HWND wnd) {
    HDC dc = nullptr;
    if (wnd && !g_windows.count(wnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    } else if (wnd && (Win(wnd)->classStyle & CS_OWNDC)) {
        // A class-owned DC lives as long as the window: the same handle every time.
        if (!Win(wnd)->ownDC) {
            Win(wnd)->ownDC = new HDC__;
            Win(wnd)->ownDC->wnd = wnd;
            Win(wnd)->ownDC->classOwned = true;
            g_dcs.insert(Win(wnd)->ownDC);
        }
        dc = Win(wnd)->ownDC;
    } else {
        dc = new HDC__;
        dc->wnd = wnd;
        g_dcs.insert(dc);
    }
    Record("GetDC", {Hex(wnd), Hex(dc)});
    return dc;
}

int WINAPI ReleaseDC(HWND wnd, HDC dc) {
    Record("ReleaseDC", {Hex(wnd), Hex(dc)});
    if (!g_dcs.count(dc) || dc->wnd != wnd) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (dc->classOwned) return 1;
    g_dcs.erase(dc);
    delete dc;
    return 1;
}

HWND WINAPI WindowFromDC(HDC dc) { return g_dcs.count(dc) ? dc->wnd : nullptr; }
