// Windows of the toolkit: the event handler base and vqWindow, a window with a
// parent, children, identifier, position, size, style, name, colours and state.
#ifndef VQ_WINDOW_H
#define VQ_WINDOW_H

#include <vector>

#include <cstdint>

#include "vq/event.h"
#include "vq/gdi.h"

// Platform handles and values as the toolkit passes them around without <windows.h>.
typedef void* vqWindowHandle;
#if defined(_WIN32)
typedef unsigned long vqWindowStyle;
#else
typedef std::uint32_t vqWindowStyle;
#endif
typedef std::intptr_t vqMessageResult;
typedef std::uintptr_t vqMessageWParam;
typedef std::intptr_t vqMessageLParam;

class vqWindow;

// Owns a platform window: destroying the holder destroys the window.
class VQ_CORE_API vqPlatformWindow {
public:
    vqPlatformWindow() {}
    ~vqPlatformWindow();
    vqPlatformWindow(const vqPlatformWindow&) = delete;
    vqPlatformWindow& operator=(const vqPlatformWindow&) = delete;
    vqWindowHandle Get() const { return m_hwnd; }
    // Takes a window for the toolkit window that owns it, destroying the one held before.
    void Reset(vqWindowHandle hwnd = nullptr, vqWindow* owner = nullptr);

private:
    vqWindowHandle m_hwnd = nullptr;
};

class VQ_CORE_API vqEvtHandler : public vqObject {
    VQ_DECLARE_DYNAMIC_CLASS(vqEvtHandler)
public:
    vqEvtHandler() {}
    ~vqEvtHandler() override;

    // Offers the event to the handlers of this object's table, then of its base
    // classes' tables; true when one handled it without skipping. A disabled handler
    // processes nothing.
    virtual bool ProcessEvent(vqEvent& event);
    void SetEvtHandlerEnabled(bool enabled) { m_evtHandlerEnabled = enabled; }
    bool GetEvtHandlerEnabled() const { return m_evtHandlerEnabled; }

    static const vqEventTableEntry sm_eventTableEntries[];
    static const vqEventTable sm_eventTable;
    static vqEventHashTable sm_eventHashTable;

protected:
    virtual const vqEventTable* GetEventTable() const;
    virtual vqEventHashTable& GetEventHashTable() const;

private:
    bool m_evtHandlerEnabled = true;
};

// Validates a control's value; the default one accepts everything.
class VQ_CORE_API vqValidator : public vqEvtHandler {
public:
    vqValidator() {}
    ~vqValidator() override;
};
extern VQ_CORE_API const vqValidator vqDefaultValidator;

enum {
    vqBORDER_NONE = 0x00200000,
    vqBORDER_SIMPLE = 0x02000000,
    vqBORDER_SUNKEN = 0x08000000,
    vqTAB_TRAVERSAL = 0x00080000,
    vqCLIP_CHILDREN = 0x00400000,
    vqFULL_REPAINT_ON_RESIZE = 0x00010000
};

#define vqDefaultPosition vqPoint(-1, -1)
#define vqDefaultSize vqSize(-1, -1)

// A window. Children are owned: destroying a window destroys its children.
class VQ_CORE_API vqWindow : public vqEvtHandler {
    VQ_DECLARE_DYNAMIC_CLASS(vqWindow)
public:
    vqWindow();
    vqWindow(vqWindow* parent, int id, const vqPoint& pos = vqDefaultPosition,
             const vqSize& size = vqDefaultSize, long style = 0,
             const vqString& name = vqT("panel"));
    ~vqWindow() override;

    // Sets up the window's fields and attaches it to the parent; false when the
    // parent is null for a window that needs one.
    bool CreateBase(vqWindow* parent, int id, const vqPoint& pos = vqDefaultPosition,
                    const vqSize& size = vqDefaultSize, long style = 0,
                    const vqString& name = vqT("panel"));
    // The same, with the validator of the window's value.
    bool CreateBase(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size, long style,
                    const vqValidator& validator, const vqString& name);
    bool Create(vqWindow* parent, int id, const vqPoint& pos = vqDefaultPosition,
                const vqSize& size = vqDefaultSize, long style = 0,
                const vqString& name = vqT("panel"));

    virtual void AddChild(vqWindow* child);
    void RemoveChild(vqWindow* child);
    const std::vector<vqWindow*>& GetChildren() const { return m_children; }
    vqWindow* GetParent() const { return m_parent; }
    // Finds a descendant (or this window) by name, null when none.
    vqWindow* FindWindowByName(const vqString& name);

    int GetId() const { return m_windowId; }
    void SetId(int id) { m_windowId = id; }
    const vqString& GetName() const { return m_windowName; }
    void SetName(const vqString& name) { m_windowName = name; }
    long GetWindowStyleFlag() const { return m_windowStyle; }
    void SetWindowStyleFlag(long style) { m_windowStyle = style; }

    vqPoint GetPosition() const { return vqPoint(m_x, m_y); }
    vqSize GetSize() const { return vqSize(m_width, m_height); }
    void GetSize(int* width, int* height) const {
        if (width) *width = m_width;
        if (height) *height = m_height;
    }
    void GetClientSize(int* width, int* height) const { GetSize(width, height); }
    virtual void SetSize(int x, int y, int width, int height);
    void SetSize(const vqSize& size) { SetSize(m_x, m_y, size.x, size.y); }
    void Move(int x, int y) { SetSize(x, y, m_width, m_height); }
    // The size used when none is given: 20 x 20.
    virtual vqSize DoGetBestSize() const { return vqSize(20, 20); }

    virtual bool Enable(bool enable = true);
    bool Disable() { return Enable(false); }
    bool IsEnabled() const { return m_isEnabled; }
    virtual bool Show(bool show = true);
    bool Hide() { return Show(false); }
    bool IsShown() const { return m_isShown; }
    void SetToolTip(const vqString& tip) { m_toolTip = tip; }
    const vqString& GetToolTip() const { return m_toolTip; }
    virtual bool SetBackgroundColour(const vqColour& colour);
    virtual bool SetForegroundColour(const vqColour& colour);
    const vqColour& GetBackgroundColour() const { return m_backgroundColour; }
    const vqColour& GetForegroundColour() const { return m_foregroundColour; }
    virtual void SetFont(const vqFont& font) { m_font = font; }
    const vqFont& GetFont() const { return m_font; }
    // Asks for a repaint; counted, since nothing is on screen here.
    virtual void Refresh(bool eraseBackground = true);
    int GetRefreshCount() const { return m_refreshCount; }

    // The platform window, null until MSWCreate made one; destroyed with this window.
    vqWindowHandle GetHWND() const { return m_platformWindow.Get(); }
    // The toolkit window that owns a platform window, or null.
    static vqWindow* FindWindowByHWND(vqWindowHandle hwnd);
    // Translates toolkit style bits into platform window styles (WS_CHILD and
    // WS_VISIBLE always, WS_CLIPCHILDREN, WS_BORDER) and extended styles.
    virtual vqWindowStyle MSWGetStyle(long flags, vqWindowStyle* exstyle) const;
    // Creates the platform window of a registered class as a child of the parent's
    // platform window (or a top-level one without a parent); false when it fails.
    virtual bool MSWCreate(const vqChar* wclass, const vqChar* title, const vqPoint& pos,
                           const vqSize& size, vqWindowStyle style, vqWindowStyle exStyle);
    // Turns a platform message into a toolkit event (size, palette changed, query new
    // palette) and processes it; true when the window handled it, with its result.
    virtual bool MSWHandleMessage(vqMessageResult* result, unsigned int message,
                                  vqMessageWParam wParam, vqMessageLParam lParam);

    VQ_DECLARE_EVENT_TABLE()

protected:
    vqWindow* m_parent;
    std::vector<vqWindow*> m_children;
    int m_windowId;
    vqString m_windowName;
    long m_windowStyle;
    int m_x, m_y, m_width, m_height;
    bool m_isEnabled;
    bool m_isShown;
    vqString m_toolTip;
    vqColour m_backgroundColour;
    vqColour m_foregroundColour;
    vqFont m_font;
    int m_refreshCount;
    vqPlatformWindow m_platformWindow;
};

// The window base of the toolkit's class tree.
typedef vqWindow vqWindowBase;

#endif
