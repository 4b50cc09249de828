#include "vq/gui_app.h"

VQ_IMPLEMENT_ABSTRACT_CLASS(vqAppBase, vqEvtHandler)
VQ_IMPLEMENT_ABSTRACT_CLASS(vqApp, vqAppBase)

namespace {
vqAppBase* s_instance = nullptr;
}

vqAppBase::vqAppBase() { s_instance = this; }

vqAppBase::~vqAppBase() {
    if (s_instance == this) s_instance = nullptr;
}

vqAppBase* vqAppBase::GetInstance() { return s_instance; }

vqApp::vqApp() {}

vqApp::~vqApp() {}
