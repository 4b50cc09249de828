// Windows of the toolkit: the event handler base and vqWindow, a window with a
// parent, children, identifier, position, size, style, name, colours and state.
#ifndef VQ_WINDOW_H
#define VQ_WINDOW_H

#include <vector>

#include "vq/gdi.h"

class VQ_CORE_API vqEvtHandler : public vqObject {
    VQ_DECLARE_DYNAMIC_CLASS(vqEvtHandler)
public:
    vqEvtHandler() {}
    ~vqEvtHandler() override;
};

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
    bool Create(vqWindow* parent, int id, const vqPoint& pos = vqDefaultPosition,
                const vqSize& size = vqDefaultSize, long style = 0,
                const vqString& name = vqT("panel"));

    void AddChild(vqWindow* child);
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
};

#endif
