// vqPanel: a plain window that holds controls.
#ifndef VQ_PANEL_H
#define VQ_PANEL_H

#include "vq/window.h"

class VQ_CORE_API vqPanel : public vqWindow {
    VQ_DECLARE_DYNAMIC_CLASS(vqPanel)
public:
    vqPanel() {}
    // Creates the panel at once; see Create.
    vqPanel(vqWindow* parent, int id = vqID_ANY, const vqPoint& pos = vqDefaultPosition,
            const vqSize& size = vqDefaultSize, long style = vqTAB_TRAVERSAL,
            const vqString& name = vqT("panel"));
    ~vqPanel() override;

    // Sets the panel up and attaches it to the parent (which owns it then); a
    // panel without a parent is a top-level window the caller owns.
    bool Create(vqWindow* parent, int id = vqID_ANY, const vqPoint& pos = vqDefaultPosition,
                const vqSize& size = vqDefaultSize, long style = vqTAB_TRAVERSAL,
                const vqString& name = vqT("panel"));
};

#endif
