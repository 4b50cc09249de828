// A top-level window with a platform window of the toolkit's own class, to parent
// platform child windows such as canvases.
#ifndef VQ_FRAME_H
#define VQ_FRAME_H

#include "vq/window.h"

class VQ_CORE_API vqFrame : public vqWindow {
    VQ_DECLARE_DYNAMIC_CLASS(vqFrame)
public:
    vqFrame() {}
    vqFrame(vqWindow* parent, int id, const vqString& title, const vqPoint& pos = vqDefaultPosition,
            const vqSize& size = vqSize(400, 300), long style = 0,
            const vqString& name = vqT("frame"));
    ~vqFrame() override;
    // Creates the platform window; false when the platform refuses.
    bool Create(vqWindow* parent, int id, const vqString& title,
                const vqPoint& pos = vqDefaultPosition, const vqSize& size = vqSize(400, 300),
                long style = 0, const vqString& name = vqT("frame"));
};

#endif
