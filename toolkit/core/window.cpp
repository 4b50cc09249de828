#include "vq/window.h"

#include <algorithm>

VQ_IMPLEMENT_DYNAMIC_CLASS(vqEvtHandler, vqObject)
VQ_IMPLEMENT_DYNAMIC_CLASS(vqWindow, vqEvtHandler)

vqEvtHandler::~vqEvtHandler() {}

vqWindow::vqWindow()
    : m_parent(nullptr),
      m_windowId(vqID_ANY),
      m_windowStyle(0),
      m_x(0),
      m_y(0),
      m_width(0),
      m_height(0),
      m_isEnabled(true),
      m_isShown(true),
      m_refreshCount(0) {}

vqWindow::vqWindow(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size, long style,
                   const vqString& name)
    : vqWindow() {
    Create(parent, id, pos, size, style, name);
}

vqWindow::~vqWindow() {
    // Children remove themselves from m_children as they go.
    while (!m_children.empty()) delete m_children.back();
    if (m_parent) m_parent->RemoveChild(this);
}

bool vqWindow::CreateBase(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size,
                          long style, const vqString& name) {
    m_windowId = id;
    m_windowStyle = style;
    m_windowName = name;
    vqSize best = DoGetBestSize();
    m_x = pos.x == -1 ? 0 : pos.x;
    m_y = pos.y == -1 ? 0 : pos.y;
    m_width = size.x == -1 ? best.x : size.x;
    m_height = size.y == -1 ? best.y : size.y;
    if (parent) parent->AddChild(this);
    return true;
}

bool vqWindow::Create(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size, long style,
                      const vqString& name) {
    return CreateBase(parent, id, pos, size, style, name);
}

void vqWindow::AddChild(vqWindow* child) {
    if (!child || child->m_parent == this) return;
    if (child->m_parent) child->m_parent->RemoveChild(child);
    child->m_parent = this;
    m_children.push_back(child);
}

void vqWindow::RemoveChild(vqWindow* child) {
    auto it = std::find(m_children.begin(), m_children.end(), child);
    if (it != m_children.end()) m_children.erase(it);
    if (child && child->m_parent == this) child->m_parent = nullptr;
}

vqWindow* vqWindow::FindWindowByName(const vqString& name) {
    if (m_windowName == name) return this;
    for (vqWindow* child : m_children)
        if (vqWindow* found = child->FindWindowByName(name)) return found;
    return nullptr;
}

void vqWindow::SetSize(int x, int y, int width, int height) {
    m_x = x, m_y = y, m_width = width, m_height = height;
}

bool vqWindow::Enable(bool enable) {
    if (m_isEnabled == enable) return false;
    m_isEnabled = enable;
    return true;
}

bool vqWindow::Show(bool show) {
    if (m_isShown == show) return false;
    m_isShown = show;
    return true;
}

bool vqWindow::SetBackgroundColour(const vqColour& colour) {
    m_backgroundColour = colour;
    return true;
}

bool vqWindow::SetForegroundColour(const vqColour& colour) {
    m_foregroundColour = colour;
    return true;
}

void vqWindow::Refresh(bool) { ++m_refreshCount; }
