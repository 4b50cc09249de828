// vqArtProvider: bitmaps by art identifier, from pushed providers first and
// then from the toolkit's built-in art, drawn at the size asked for.
#ifndef VQ_ART_PROVIDER_H
#define VQ_ART_PROVIDER_H

#include <vector>

#include "vq/gdi.h"

// Built-in art identifiers.
#define vqART_ERROR vqT("vqART_ERROR")
#define vqART_WARNING vqT("vqART_WARNING")
#define vqART_INFORMATION vqT("vqART_INFORMATION")
#define vqART_MISSING_IMAGE vqT("vqART_MISSING_IMAGE")

// Clients: where the art is shown, which sets the default size.
#define vqART_TOOLBAR_C vqT("vqART_TOOLBAR_C")
#define vqART_MENU_C vqT("vqART_MENU_C")
#define vqART_BUTTON_C vqT("vqART_BUTTON_C")
#define vqART_MESSAGE_BOX_C vqT("vqART_MESSAGE_BOX_C")
#define vqART_OTHER_C vqT("vqART_OTHER_C")

class VQ_CORE_API vqArtProvider : public vqObject {
public:
    ~vqArtProvider() override;

    // Puts a provider on top of the stack, asked before all others; the stack owns it.
    static void Push(vqArtProvider* provider);
    // Takes a provider off the stack and deletes it; false when it is not on the stack.
    static bool Delete(vqArtProvider* provider);

    // The bitmap for an art id: pushed providers are asked first, newest first,
    // then the built-in art. A size of -1 in either dimension takes the client's
    // default (32 x 32 for message boxes, 16 x 16 otherwise). Unknown ids, and
    // sizes beyond 4096 pixels a side, give a bitmap without data.
    static vqBitmap GetBitmap(const vqString& id, const vqString& client = vqART_OTHER_C,
                              const vqSize& size = vqSize(-1, -1));
    // The default size of a client's art.
    static vqSize GetSizeHint(const vqString& client);
    // True for the identifiers the built-in art draws.
    static bool IsBuiltIn(const vqString& id);

protected:
    // Returns the art for an id at the given size, or a bitmap without data to pass.
    virtual vqBitmap CreateBitmap(const vqString& id, const vqString& client,
                                  const vqSize& size) = 0;
};

#endif
