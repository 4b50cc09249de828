#include "vq/panel.h"

VQ_IMPLEMENT_DYNAMIC_CLASS(vqPanel, vqWindow)

vqPanel::vqPanel(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size, long style,
                 const vqString& name) {
    Create(parent, id, pos, size, style, name);
}

vqPanel::~vqPanel() {}

bool vqPanel::Create(vqWindow* parent, int id, const vqPoint& pos, const vqSize& size, long style,
                     const vqString& name) {
    return CreateBase(parent, id, pos, size, style, name);
}
