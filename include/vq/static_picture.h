// vqStaticPicture, of the extra-controls library: a child window that shows a bitmap.
#ifndef VQ_STATIC_PICTURE_H
#define VQ_STATIC_PICTURE_H

#include "vq/window.h"

#ifdef VQMAKING_EXTRA
#define VQ_EXTRA_API VQ_EXPORT
#else
#define VQ_EXTRA_API VQ_IMPORT
#endif

class VQ_EXTRA_API vqStaticPicture : public vqWindow {
    VQ_DECLARE_DYNAMIC_CLASS(vqStaticPicture)
public:
    // A control that is not yet a window; Create makes it one.
    vqStaticPicture();
    // Creates the control at once; see Create.
    vqStaticPicture(vqWindow* parent, int id, const vqBitmap& bitmap,
                    const vqPoint& pos = vqDefaultPosition, const vqSize& size = vqDefaultSize,
                    long style = 0, const vqString& name = vqT("staticPicture"));
    ~vqStaticPicture() override;

    // Makes the control a child of parent, which owns it from then on, showing a
    // shared copy of the bitmap. A size of -1 in either dimension takes the
    // bitmap's. False, leaving the control as it was, when parent is null or the
    // control was already created.
    bool Create(vqWindow* parent, int id, const vqBitmap& bitmap,
                const vqPoint& pos = vqDefaultPosition, const vqSize& size = vqDefaultSize,
                long style = 0, const vqString& name = vqT("staticPicture"));
    // True once Create has succeeded.
    bool IsCreated() const { return m_created; }

    // Replaces the bitmap (shared) and asks for a repaint.
    void SetBitmap(const vqBitmap& bitmap);
    const vqBitmap& GetBitmap() const { return m_bitmap; }

    // The bitmap's size, or 20 x 20 without a bitmap.
    vqSize DoGetBestSize() const override;

private:
    vqBitmap m_bitmap;
    bool m_created;
};

#endif
