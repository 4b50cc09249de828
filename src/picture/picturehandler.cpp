#include "vq/picturehandler.h"

#include "vq/checkcast.h"
#include "vq/static_picture.h"

VQ_IMPLEMENT_DYNAMIC_CLASS(vqStaticPictureXmlHandler, vqXmlResourceHandler)

vqStaticPictureXmlHandler::vqStaticPictureXmlHandler() { AddWindowStyles(); }

vqStaticPictureXmlHandler::~vqStaticPictureXmlHandler() {}

bool vqStaticPictureXmlHandler::CanHandle(vqXmlNode* node) {
    return IsOfClass(node, vqT("vqStaticPicture"));
}

vqObject* vqStaticPictureXmlHandler::DoCreateResource() {
    // Use the instance only when it really is a static picture.
    vqStaticPicture* control = vqStaticCast<vqStaticPicture>(m_instance);
    const bool allocated = control == nullptr;
    if (allocated) control = new vqStaticPicture;

        // NOTE: the two configurations read the parameters in different orders, which
        // shows in the order of the errors logged for a malformed node.
#ifdef VQ_DEBUG
    vqString name = GetName();
    long style = GetStyle(vqT("style"), 0);
    vqSize size = GetSize(vqT("size"));
    vqPoint pos = GetPosition(vqT("pos"));
    vqSize bitmapSize = GetSize(vqT("size"));
    vqBitmap bitmap = GetBitmap(vqT("bitmap"), vqT("vqART_OTHER_C"), bitmapSize);
    int id = GetID();
#else
    vqString name = GetName();
    vqSize bitmapSize = GetSize(vqT("size"));
    vqBitmap bitmap = GetBitmap(vqT("bitmap"), vqT("vqART_OTHER_C"), bitmapSize);
    long style = GetStyle(vqT("style"), 0);
    vqSize size = GetSize(vqT("size"));
    vqPoint pos = GetPosition(vqT("pos"));
    int id = GetID();
#endif

    if (!control->Create(m_parentAsWindow, id, bitmap, pos, size, style, name)) {
        ReportError(m_parentAsWindow ? vqT("the control was already created")
                                     : vqT("the control has no parent window"));
        if (allocated) delete control;
        return nullptr;
    }
    SetupWindow(control);
    return control;
}
