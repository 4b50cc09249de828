#include "vq/static_picture.h"

VQ_IMPLEMENT_DYNAMIC_CLASS(vqStaticPicture, vqWindow)

vqStaticPicture::vqStaticPicture() : m_created(false) {}

vqStaticPicture::vqStaticPicture(vqWindow* parent, int id, const vqBitmap& bitmap,
                                 const vqPoint& pos, const vqSize& size, long style,
                                 const vqString& name)
    : m_created(false) {
    Create(parent, id, bitmap, pos, size, style, name);
}

vqStaticPicture::~vqStaticPicture() {}

bool vqStaticPicture::Create(vqWindow* parent, int id, const vqBitmap& bitmap, const vqPoint& pos,
                             const vqSize& size, long style, const vqString& name) {
    if (!parent || m_created) return false;
    // Set the bitmap first so that a default size takes the bitmap's.
    m_bitmap = bitmap;
    if (!CreateBase(parent, id, pos, size, style, name)) return false;
    m_created = true;
    return true;
}

void vqStaticPicture::SetBitmap(const vqBitmap& bitmap) {
    m_bitmap = bitmap;
    Refresh();
}

vqSize vqStaticPicture::DoGetBestSize() const {
    return m_bitmap.Ok() ? m_bitmap.GetSize() : vqWindow::DoGetBestSize();
}
