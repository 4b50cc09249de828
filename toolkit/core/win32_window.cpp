// Toolkit windows over Win32: platform window creation and ownership, the toolkit's
// window procedure, and the top-level frame.
#include <map>

#include "vq/frame.h"
#include "vq/win32_window_class.h"

namespace {

#ifndef _WIN32
// The stand-in has no modules: a tag of this library's own stands for its instance.
char s_instanceTag;
#endif
std::map<vqWindowHandle, vqWindow*>& Windows() {
    static std::map<vqWindowHandle, vqWindow*> windows;
    return windows;
}
// The window whose platform window is being created: it receives the messages sent
// before CreateWindowEx returns.
vqWindow* s_beingCreated = nullptr;

#ifdef VQ_UNICODE
#define VQ_W32(name) name##W
typedef WNDCLASSW vqWndClass;
#else
#define VQ_W32(name) name##A
typedef WNDCLASSA vqWndClass;
#endif

}  // namespace

#ifdef _WIN32
// The linker's symbol for this DLL's image base, which is its module handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;
HINSTANCE vqhInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
#else
HINSTANCE vqhInstance = reinterpret_cast<HINSTANCE>(&s_instanceTag);
#endif

vqValidator::~vqValidator() {}
const vqValidator vqDefaultValidator;

vqPlatformWindow::~vqPlatformWindow() { Reset(); }

void vqPlatformWindow::Reset(vqWindowHandle hwnd, vqWindow* owner) {
    if (m_hwnd) {
        Windows().erase(m_hwnd);
        DestroyWindow(static_cast<HWND>(m_hwnd));
    }
    m_hwnd = hwnd;
    if (hwnd && owner) Windows()[hwnd] = owner;
}

LRESULT CALLBACK vqWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto found = Windows().find(hwnd);
    vqWindow* window = found != Windows().end() ? found->second : nullptr;
    if (!window && s_beingCreated) {
        window = s_beingCreated;
        Windows()[hwnd] = window;
    }
    vqMessageResult result = 0;
    if (window && window->MSWHandleMessage(&result, message, wParam, lParam)) return result;
    return VQ_W32(DefWindowProc)(hwnd, message, wParam, lParam);
}

vqWindow* vqWindow::FindWindowByHWND(vqWindowHandle hwnd) {
    auto found = Windows().find(hwnd);
    return found != Windows().end() ? found->second : nullptr;
}

bool vqWindow::CreateBase(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size,
                          long style, const vqValidator&, const vqString& name) {
    return CreateBase(parent, id, pos, size, style, name);
}

vqWindowStyle vqWindow::MSWGetStyle(long flags, vqWindowStyle* exstyle) const {
    vqWindowStyle style = WS_CHILD | WS_VISIBLE;
    if (flags & vqCLIP_CHILDREN) style |= WS_CLIPCHILDREN;
    if (flags & vqBORDER_SIMPLE) style |= WS_BORDER;
    if (exstyle) {
        if (flags & vqBORDER_SUNKEN) *exstyle |= WS_EX_CLIENTEDGE;
        if (flags & vqTAB_TRAVERSAL) *exstyle |= WS_EX_CONTROLPARENT;
    }
    if (!m_isEnabled) style |= WS_DISABLED;
    return style;
}

bool vqWindow::MSWCreate(const vqChar* wclass, const vqChar* title, const vqPoint& pos,
                         const vqSize& size, vqWindowStyle style, vqWindowStyle exStyle) {
    int x = pos.x == -1 ? m_x : pos.x, y = pos.y == -1 ? m_y : pos.y;
    int width = size.x == -1 ? m_width : size.x, height = size.y == -1 ? m_height : size.y;
    HWND parent = m_parent ? static_cast<HWND>(m_parent->GetHWND()) : nullptr;
    vqWindow* outer = s_beingCreated;
    s_beingCreated = this;
    HWND hwnd = VQ_W32(CreateWindowEx)(exStyle, wclass, title, style, x, y, width, height, parent,
                                       nullptr, vqhInstance, nullptr);
    s_beingCreated = outer;
    if (!hwnd) {
        for (auto it = Windows().begin(); it != Windows().end();)
            it = it->second == this ? Windows().erase(it) : std::next(it);
        return false;
    }
    m_platformWindow.Reset(hwnd, this);
    m_x = x, m_y = y, m_width = width, m_height = height;
    return true;
}

bool vqWindow::MSWHandleMessage(vqMessageResult* result, unsigned int message,
                                vqMessageWParam wParam, vqMessageLParam lParam) {
    *result = 0;
    switch (message) {
        case WM_SIZE: {
            m_width = LOWORD(lParam), m_height = HIWORD(lParam);
            vqSizeEvent event(vqSize(m_width, m_height), m_windowId);
            event.SetEventObject(this);
            return ProcessEvent(event);
        }
        case WM_PALETTECHANGED: {
            vqPaletteChangedEvent event(m_windowId);
            event.SetEventObject(this);
            event.SetChangedWindow(FindWindowByHWND(reinterpret_cast<vqWindowHandle>(wParam)));
            return ProcessEvent(event);
        }
        case WM_QUERYNEWPALETTE: {
            vqQueryNewPaletteEvent event(m_windowId);
            event.SetEventObject(this);
            bool handled = ProcessEvent(event);
            *result = event.GetPaletteRealized();
            return handled;
        }
        default:
            return false;
    }
}

VQ_IMPLEMENT_DYNAMIC_CLASS(vqFrame, vqWindow)

vqFrame::vqFrame(vqWindow* parent, int id, const vqString& title, const vqPoint& pos,
                 const vqSize& size, long style, const vqString& name) {
    Create(parent, id, title, pos, size, style, name);
}

vqFrame::~vqFrame() {}

bool vqFrame::Create(vqWindow* parent, int id, const vqString& title, const vqPoint& pos,
                     const vqSize& size, long style, const vqString& name) {
    static const vqChar* const kClassName = vqT("vqFrameClass");
    vqWndClass wc = {};
    if (!VQ_W32(GetClassInfo)(vqhInstance, kClassName, &wc)) {
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = vqWndProc;
        wc.hInstance = vqhInstance;
        wc.lpszClassName = kClassName;
        if (!VQ_W32(RegisterClass)(&wc)) return false;
    }
    if (!CreateBase(parent, id, pos, size, style, name)) return false;
    DWORD platformStyle = WS_OVERLAPPED | WS_CLIPCHILDREN | WS_VISIBLE;
    return MSWCreate(kClassName, title.c_str(), pos, size, platformStyle, 0);
}
