#include <gtest/gtest.h>

#include <climits>

#include "vq/memory_dc.h"

namespace {

vqColour PixelAt(const vqBitmap& bmp, int x, int y, unsigned char* alpha = nullptr) {
    vqColour c;
    EXPECT_TRUE(bmp.GetPixel(x, y, &c, alpha)) << x << "," << y;
    return c;
}

TEST(MemoryDCTest, ClearAndRectanglesPaintTheSelectedBitmap) {
    vqBitmap bmp(20, 10);
    {
        vqMemoryDC dc(bmp);
        ASSERT_TRUE(dc.IsOk());
        EXPECT_EQ(dc.GetSize(), vqSize(20, 10));
        dc.SetBackground(vqBrush(vqColour(10, 20, 30)));
        dc.Clear();
        dc.SetBrush(vqBrush(vqColour(0, 200, 0)));
        dc.SetPen(vqPen(vqColour(200, 0, 0), 2));
        dc.DrawRectangle(2, 2, 8, 6);
        dc.SetPen(vqPen(vqColour(0, 0, 0), 1, vqTRANSPARENT));
        dc.SetBrush(vqBrush(vqColour(0, 0, 255)));
        dc.DrawRectangle(18, 8, 100, 100);  // runs off the bitmap
        dc.SelectObject(vqNullBitmap);
        EXPECT_FALSE(dc.IsOk());
        dc.Clear();  // nothing selected: no effect
    }
    EXPECT_EQ(PixelAt(bmp, 0, 0), vqColour(10, 20, 30));
    EXPECT_EQ(PixelAt(bmp, 2, 2), vqColour(200, 0, 0));  // outline, two pixels wide
    EXPECT_EQ(PixelAt(bmp, 3, 3), vqColour(200, 0, 0));
    EXPECT_EQ(PixelAt(bmp, 4, 4), vqColour(0, 200, 0));  // fill
    EXPECT_EQ(PixelAt(bmp, 9, 7), vqColour(200, 0, 0));  // last pixel inside 2+8, 2+6
    EXPECT_EQ(PixelAt(bmp, 10, 8), vqColour(10, 20, 30));
    EXPECT_EQ(PixelAt(bmp, 19, 9), vqColour(0, 0, 255));
    EXPECT_EQ(PixelAt(bmp, 17, 9), vqColour(10, 20, 30));
}

TEST(MemoryDCTest, CopiesMadeBeforeDrawingKeepTheirPixels) {
    vqBitmap bmp(4, 4);
    vqBitmap before = bmp;
    vqMemoryDC dc(bmp);
    dc.SetBackground(vqBrush(vqColour(255, 255, 255)));
    dc.Clear();
    EXPECT_EQ(PixelAt(bmp, 1, 1), vqColour(255, 255, 255));
    EXPECT_EQ(PixelAt(before, 1, 1), vqColour(0, 0, 0));
    // A bitmap lent read-only is drawn into a private copy.
    const vqBitmap lent = before;
    dc.SelectObject(lent);
    dc.Clear();
    EXPECT_EQ(PixelAt(dc.GetSelectedBitmap(), 0, 0), vqColour(255, 255, 255));
    EXPECT_EQ(PixelAt(lent, 0, 0), vqColour(0, 0, 0));
}

TEST(MemoryDCTest, BitmapsAndIconsAreCopiedAndBlended) {
    vqBitmap target(10, 10);
    vqMemoryDC dc(target);
    dc.SetBackground(vqBrush(vqColour(255, 255, 255)));
    dc.Clear();

    vqBitmap red(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) red.SetPixel(x, y, vqColour(255, 0, 0));
    dc.DrawBitmap(red, -1, 8);  // clipped on two sides
    EXPECT_EQ(PixelAt(target, 0, 8), vqColour(255, 0, 0));
    EXPECT_EQ(PixelAt(target, 1, 9), vqColour(255, 0, 0));
    EXPECT_EQ(PixelAt(target, 2, 9), vqColour(255, 255, 255));

    vqIcon icon(2, 2);
    icon.SetPixel(0, 0, vqColour(0, 0, 0), 255);
    icon.SetPixel(1, 0, vqColour(0, 0, 0), 0);
    icon.SetPixel(0, 1, vqColour(0, 0, 0), 128);
    icon.SetPixel(1, 1, vqColour(0, 0, 255), 255);
    dc.DrawIcon(icon, 4, 4);
    EXPECT_EQ(PixelAt(target, 4, 4), vqColour(0, 0, 0));
    EXPECT_EQ(PixelAt(target, 5, 4), vqColour(255, 255, 255));
    vqColour half = PixelAt(target, 4, 5);
    EXPECT_NEAR(half.Red(), 127, 1);
    EXPECT_EQ(half.Red(), half.Blue());
    EXPECT_EQ(PixelAt(target, 5, 5), vqColour(0, 0, 255));

    // Huge positions clip away instead of overflowing.
    dc.DrawBitmap(red, INT_MAX - 1, INT_MIN + 1);
    dc.DrawLine(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
}

TEST(MemoryDCTest, BlitCopiesFromAnotherMemoryContext) {
    vqBitmap src(8, 8);
    vqMemoryDC from(src);
    from.SetBackground(vqBrush(vqColour(0, 0, 0)));
    from.Clear();
    from.SetPen(vqPen(vqColour(0, 0, 0), 1, vqTRANSPARENT));
    from.SetBrush(vqBrush(vqColour(0, 128, 255)));
    from.DrawRectangle(4, 4, 4, 4);
    from.SetPen(vqPen(vqColour(255, 255, 0)));
    from.DrawLine(0, 0, 3, 3);

    vqBitmap dest(6, 6);
    vqMemoryDC to(dest);
    EXPECT_TRUE(to.Blit(1, 1, 5, 5, &from, 3, 3));
    EXPECT_EQ(PixelAt(dest, 1, 1), vqColour(255, 255, 0));  // source (3,3): end of the line
    EXPECT_EQ(PixelAt(dest, 2, 2), vqColour(0, 128, 255));  // source (4,4)
    EXPECT_EQ(PixelAt(dest, 5, 5), vqColour(0, 128, 255));  // source (7,7), clipped after
    EXPECT_EQ(PixelAt(dest, 0, 0), vqColour(0, 0, 0));

    // Only copying is supported, and only from a memory context.
    EXPECT_FALSE(to.Blit(0, 0, 2, 2, &from, 0, 0, vqXOR));
    EXPECT_FALSE(to.Blit(0, 0, 2, 2, nullptr, 0, 0));
    vqMemoryDC empty;
    EXPECT_FALSE(to.Blit(0, 0, 2, 2, &empty, 0, 0));

    // A blit within one bitmap reads the pixels as they were before it.
    EXPECT_TRUE(from.Blit(1, 1, 7, 7, &from, 0, 0));
    EXPECT_EQ(PixelAt(src, 1, 1), vqColour(255, 255, 0));
    EXPECT_EQ(PixelAt(src, 2, 2), vqColour(255, 255, 0));
    EXPECT_EQ(PixelAt(src, 5, 5), vqColour(0, 128, 255));
}

TEST(MemoryDCTest, MeasuresTextLikeTheScreen) {
    vqMemoryDC dc;
    int w = 0, h = 0;
    dc.GetTextExtent(vqT("Text"), &w, &h);
    EXPECT_GT(w, 0);
    EXPECT_EQ(h, dc.GetCharHeight());
}

}  // namespace
