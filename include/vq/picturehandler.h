/// \file
/// \ingroup pictureloader
/// \brief vqStaticPictureXmlHandler: lets the XML resource loader create vqStaticPicture
/// controls from resource nodes of class "vqStaticPicture".
///
/// Add one to a loader with vqXmlResource::AddHandler; the loader owns it then.
/// The node's parameters: "bitmap" (a PNG file relative to the resource file, or
/// a stock_id attribute naming art), "size" (used both as the size the bitmap is
/// scaled to and as the control's size), "pos", "style" (window style names
/// joined with '|'), plus the common window parameters ("enabled", "hidden",
/// "tooltip", "fg", "bg"). The object's name gives its name and identifier.
#ifndef VQ_PICTUREHANDLER_H
#define VQ_PICTUREHANDLER_H

#include "vq/xml_resource.h"

/// \cond
#ifdef VQMAKING_PICTURE
#define VQ_PICTURE_API VQ_EXPORT
#else
#define VQ_PICTURE_API VQ_IMPORT
#endif
/// \endcond

/// \ingroup pictureloader
/// \brief The resource handler that creates vqStaticPicture controls (`vq/static_picture.h`)
/// from `<object class="vqStaticPicture">` nodes.
///
/// Ownership: add a handler made with `new` to a loader (vqXmlResource::AddHandler,
/// `vq/xml_resource.h`), which deletes it with itself. A control the handler creates
/// belongs to its parent window.
///
/// Failures never throw. A malformed parameter logs one error naming the resource file,
/// line, object and parameter, and falls back to its default; a bitmap that cannot be
/// read, or lies beyond the loader's bounds, logs one error and the control shows no
/// bitmap. Only a control that cannot be created at all makes the object null.
class VQ_PICTURE_API vqStaticPictureXmlHandler : public vqXmlResourceHandler {
    VQ_DECLARE_DYNAMIC_CLASS(vqStaticPictureXmlHandler)
public:
    /// Registers the common window style names; the handler adds none of its own.
    vqStaticPictureXmlHandler();
    /// Copies the handler's style names and state, the loader it was added to included;
    /// the copy belongs to whoever made it, not to that loader.
    vqStaticPictureXmlHandler(const vqStaticPictureXmlHandler& other) = default;
    /// Takes the other handler's style names and state.
    vqStaticPictureXmlHandler& operator=(const vqStaticPictureXmlHandler& other) = default;
    /// Destroys the handler; the controls it created stay with their parents.
    ~vqStaticPictureXmlHandler() override;

    /// Creates a vqStaticPicture for the current node, or fills in the instance
    /// when that is one (another instance is left alone and a new control is made;
    /// debug builds also assert). The new control belongs to its parent window.
    /// Null, with one logged error naming the node, when creating the window fails
    /// (no parent, or an instance already created); a control made here is then
    /// deleted, an instance given is left to its owner. The loader calls it; an
    /// application does not.
    vqObject* DoCreateResource() override;
    /// True exactly for object nodes of class "vqStaticPicture".
    bool CanHandle(vqXmlNode* node) override;
};

#endif
