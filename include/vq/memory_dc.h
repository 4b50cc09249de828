// vqMemoryDC: a device context that draws into a selected vqBitmap, pixel by
// pixel (RGBA, 8 bits a channel).
//
// Drawing calls that reach it: Clear, points, one-pixel lines, filled and outlined
// rectangles, bitmaps, icons (blended through their alpha) and Blit from another
// memory context. Positions go through the logical-to-device mapping; bitmap and
// blit sizes are in pixels. Text is measured like on the screen, but not drawn.
#ifndef VQ_MEMORY_DC_H
#define VQ_MEMORY_DC_H

#include "vq/dc.h"

// The bitmap without data; selecting it releases a memory context's bitmap.
extern VQ_CORE_API const vqBitmap vqNullBitmap;

class VQ_CORE_API vqMemoryDC : public vqDC {
public:
    // A context with no bitmap selected: drawing does nothing until one is.
    vqMemoryDC();
    // Selects bitmap at once (see SelectObject).
    explicit vqMemoryDC(vqBitmap& bitmap);
    ~vqMemoryDC() override;

    // Draws into this bitmap object from now on: the caller keeps ownership, and the
    // bitmap must outlive the selection. Copies made of it earlier keep their pixels.
    void SelectObject(vqBitmap& bitmap);
    // Selects a private copy of a bitmap the caller only lends for reading (a blit
    // source); a bitmap without data, such as vqNullBitmap, releases the selection.
    void SelectObject(const vqBitmap& bitmap);
    // The selected bitmap; one without data when none is selected.
    const vqBitmap& GetSelectedBitmap() const;

    // True while a bitmap with data is selected.
    bool IsOk() const override;
    bool Ok() const override { return IsOk(); }
    // Fills the whole bitmap with the background brush's colour, opaque.
    void Clear() override;
    int GetCharHeight() const override;
    int GetCharWidth() const override;
    bool CanDrawBitmap() const override { return true; }
    bool CanGetTextExtent() const override { return true; }
    int GetDepth() const override { return 32; }

protected:
    void DoGetSize(int* width, int* height) const override;
    bool DoGetPixel(int x, int y, vqColour* colour) const override;
    // One pixel in the pen's colour (nothing with a transparent pen).
    void DoDrawPoint(int x, int y) override;
    // A one-pixel line in the pen's colour, end points included, clipped to the bitmap.
    void DoDrawLine(int x1, int y1, int x2, int y2) override;
    // Fills with the brush (unless transparent), then outlines with the pen, its width
    // drawn inside the rectangle (unless transparent).
    void DoDrawRectangle(int x, int y, int width, int height) override;
    // Copies the bitmap's pixels; with useMask and a bitmap with alpha, blends them.
    void DoDrawBitmap(const vqBitmap& bitmap, int x, int y, bool useMask) override;
    // Blends the icon over the pixels beneath it through its alpha channel.
    void DoDrawIcon(const vqIcon& icon, int x, int y) override;
    // Copies a rectangle of another memory context (or this one); only vqCOPY is
    // supported, and useMask blends through the source's alpha. True when the
    // source is a memory context with a bitmap and the rop is vqCOPY.
    bool DoBlit(int xdest, int ydest, int width, int height, vqDC* source, int xsrc, int ysrc,
                int rop, bool useMask, int xsrcMask, int ysrcMask) override;
    void DoGetTextExtent(const vqString& string, int* width, int* height, int* descent,
                         int* externalLeading, const vqFont* font) const override;

private:
    // Copies (or blends) a width x height block of RGBA rows, clipped to the target.
    void PutPixels(const unsigned char* rgba, int srcWidth, int srcHeight, int srcX, int srcY,
                   int width, int height, int destX, int destY, bool blend);
    // Fills the device rectangle, clipped, with an opaque colour.
    void FillDeviceRect(long long x, long long y, long long width, long long height,
                        const vqColour& colour);

    vqBitmap* m_target;
    vqBitmap m_own;
};

#endif
