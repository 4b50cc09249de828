// vqStaticPictureXmlHandler: lets the XML resource loader create vqStaticPicture
// controls from resource nodes of class "vqStaticPicture".
//
// Add one to a loader with vqXmlResource::AddHandler; the loader owns it then.
// The node's parameters: "bitmap" (a PNG file relative to the resource file, or
// a stock_id attribute naming art), "size" (used both as the size the bitmap is
// scaled to and as the control's size), "pos", "style" (window style names
// joined with '|'), plus the common window parameters ("enabled", "hidden",
// "tooltip", "fg", "bg"). The object's name gives its name and identifier.
#ifndef VQ_PICTUREHANDLER_H
#define VQ_PICTUREHANDLER_H

#include "vq/xml_resource.h"

#ifdef VQMAKING_PICTURE
#define VQ_PICTURE_API VQ_EXPORT
#else
#define VQ_PICTURE_API VQ_IMPORT
#endif

class VQ_PICTURE_API vqStaticPictureXmlHandler : public vqXmlResourceHandler {
    VQ_DECLARE_DYNAMIC_CLASS(vqStaticPictureXmlHandler)
public:
    // Registers the common window style names; the handler adds none of its own.
    vqStaticPictureXmlHandler();
    vqStaticPictureXmlHandler(const vqStaticPictureXmlHandler& other) = default;
    vqStaticPictureXmlHandler& operator=(const vqStaticPictureXmlHandler& other) = default;
    ~vqStaticPictureXmlHandler() override;

    // Creates a vqStaticPicture for the current node, or fills in the instance
    // when that is one (another instance is left alone and a new control is made;
    // debug builds also assert). The new control belongs to its parent window.
    // Null, with one logged error naming the node, when creating the window fails
    // (no parent, or an instance already created); a control made here is then
    // deleted, an instance given is left to its owner.
    vqObject* DoCreateResource() override;
    // True exactly for object nodes of class "vqStaticPicture".
    bool CanHandle(vqXmlNode* node) override;
};

#endif
