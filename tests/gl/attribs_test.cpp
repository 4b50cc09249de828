// Translation of attribute lists into pixel-format requests, and the default palette
// of a format's bit fields.
#include <gtest/gtest.h>

#include "../../src/gl/glattribs.h"

namespace {

PIXELFORMATDESCRIPTOR Apply(std::vector<int> list) {
    PIXELFORMATDESCRIPTOR request = DefaultPixelFormatRequest();
    ApplyAttributeList(&request, list.data());
    return request;
}

TEST(AttributeList, NullListGivesTheDefaultRequest) {
    PIXELFORMATDESCRIPTOR r = DefaultPixelFormatRequest();
    ApplyAttributeList(&r, nullptr);
    EXPECT_EQ(40, r.nSize);
    EXPECT_EQ(1, r.nVersion);
    EXPECT_EQ(DWORD(PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER), r.dwFlags);
    EXPECT_EQ(0x25u, r.dwFlags);
    EXPECT_EQ(PFD_TYPE_RGBA, r.iPixelType);
    EXPECT_EQ(16, r.cColorBits);
    EXPECT_EQ(16, r.cDepthBits);
    EXPECT_EQ(PFD_MAIN_PLANE, r.iLayerType);
    // Every other byte from cRedBits on, apart from depth, is zero.
    const BYTE* bytes = &r.cRedBits;
    for (const BYTE* b = bytes; b <= &r.bReserved; ++b)
        if (b != &r.cDepthBits) {
            EXPECT_EQ(0, *b) << "byte " << (b - bytes);
        }
    EXPECT_EQ(0u, r.dwLayerMask | r.dwVisibleMask | r.dwDamageMask);
}

TEST(AttributeList, AGivenListStartsColourIndexSingleBufferedWithoutColourBits) {
    PIXELFORMATDESCRIPTOR r = Apply({0});
    EXPECT_EQ(PFD_TYPE_COLORINDEX, r.iPixelType);
    EXPECT_EQ(DWORD(PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL), r.dwFlags);
    EXPECT_EQ(0, r.cColorBits);
    EXPECT_EQ(16, r.cDepthBits);
}

TEST(AttributeList, ChannelBitsAddUpInListOrder) {
    PIXELFORMATDESCRIPTOR r = Apply({1, 7, 8, 8, 8, 9, 8, 0});
    EXPECT_EQ(PFD_TYPE_RGBA, r.iPixelType);
    EXPECT_EQ(8, r.cRedBits);
    EXPECT_EQ(8, r.cGreenBits);
    EXPECT_EQ(8, r.cBlueBits);
    EXPECT_EQ(24, r.cColorBits);
    EXPECT_EQ(0u, r.dwFlags & PFD_DOUBLEBUFFER);
    EXPECT_EQ(40, Apply({2, 32, 7, 8, 0}).cColorBits);
    r = Apply({7, 8, 2, 16, 0});
    EXPECT_EQ(16, r.cColorBits);
    EXPECT_EQ(8, r.cRedBits);
    r = Apply({7, 200, 8, 100, 0});
    EXPECT_EQ(44, r.cColorBits) << "byte additions wrap";
}

TEST(AttributeList, AlphaKeepsColourBitsAndAccumulationAddsUp) {
    PIXELFORMATDESCRIPTOR r = Apply({7, 5, 10, 8, 13, 1, 14, 2, 15, 3, 16, 4, 0});
    EXPECT_EQ(5, r.cColorBits);
    EXPECT_EQ(8, r.cAlphaBits);
    EXPECT_EQ(1, r.cAccumRedBits);
    EXPECT_EQ(2, r.cAccumGreenBits);
    EXPECT_EQ(3, r.cAccumBlueBits);
    EXPECT_EQ(4, r.cAccumAlphaBits);
    EXPECT_EQ(10, r.cAccumBits);
}

TEST(AttributeList, FlagsLayersAndByteValues) {
    PIXELFORMATDESCRIPTOR r = Apply({4, 5, 6, 3, 12, 8, 0});
    EXPECT_EQ(DWORD(PFD_DOUBLEBUFFER | PFD_STEREO), r.dwFlags & (PFD_DOUBLEBUFFER | PFD_STEREO));
    EXPECT_EQ(3, r.cAuxBuffers);
    EXPECT_EQ(8, r.cStencilBits);
    EXPECT_EQ(0xFF, Apply({3, -1, 0}).iLayerType);
    EXPECT_EQ(1, Apply({3, 5, 0}).iLayerType);
    EXPECT_EQ(0, Apply({3, 0, 0}).iLayerType);
    EXPECT_EQ(0xFF, Apply({3, -256, 0}).iLayerType) << "the sign of the whole value counts";
    EXPECT_EQ(44, Apply({11, 300, 0}).cDepthBits);
}

TEST(AttributeList, UnknownCodesAreSkippedAlone) {
    // 99 is skipped; 11 is then read as a code with its value.
    PIXELFORMATDESCRIPTOR r = Apply({99, 11, 24, 0});
    EXPECT_EQ(24, r.cDepthBits);
    // 17 and -3 are unknown too; 1 after them still counts.
    r = Apply({17, -3, 1, 0});
    EXPECT_EQ(PFD_TYPE_RGBA, r.iPixelType);
}

// A palettised RGBA format of the given bit fields.
PIXELFORMATDESCRIPTOR BitFields(BYTE colour, BYTE r, BYTE rs, BYTE g, BYTE gs, BYTE b, BYTE bs) {
    PIXELFORMATDESCRIPTOR f = DefaultPixelFormatRequest();
    f.cColorBits = colour;
    f.cRedBits = r, f.cRedShift = rs;
    f.cGreenBits = g, f.cGreenShift = gs;
    f.cBlueBits = b, f.cBlueShift = bs;
    return f;
}

TEST(DefaultPalette, ThreeThreeTwoFieldsGiveEveryValueItsColour) {
    std::vector<PALETTEENTRY> e = DefaultPaletteEntries(BitFields(8, 3, 0, 3, 3, 2, 6));
    ASSERT_EQ(256u, e.size());
    auto rgb = [&](int i) { return std::vector<int>{e[i].peRed, e[i].peGreen, e[i].peBlue}; };
    EXPECT_EQ((std::vector<int>{0, 0, 0}), rgb(0));
    EXPECT_EQ((std::vector<int>{255, 255, 255}), rgb(255));
    EXPECT_EQ((std::vector<int>{182, 0, 0}), rgb(5)) << "red 5 of 7";
    EXPECT_EQ((std::vector<int>{255, 255, 0}), rgb(0x3F));
    EXPECT_EQ((std::vector<int>{72, 72, 170}), rgb(0x92)) << "2, 2 of 7 and 2 of 3";
    for (const PALETTEENTRY& entry : e) EXPECT_EQ(0, entry.peFlags);
}

TEST(DefaultPalette, FieldsWithoutBitsAreBlackAndTrueColourHasNone) {
    // Four colour bits, red in the top two, green in the low two, no blue.
    std::vector<PALETTEENTRY> e = DefaultPaletteEntries(BitFields(4, 2, 2, 2, 0, 0, 0));
    ASSERT_EQ(16u, e.size());
    EXPECT_EQ(255, e[0xC].peRed);
    EXPECT_EQ(0, e[0xC].peGreen);
    EXPECT_EQ(85, e[0x1].peGreen);
    for (const PALETTEENTRY& entry : e) EXPECT_EQ(0, entry.peBlue);
    EXPECT_EQ(2u, DefaultPaletteEntries(BitFields(1, 1, 0, 0, 0, 0, 0)).size());
    EXPECT_TRUE(DefaultPaletteEntries(BitFields(16, 5, 11, 6, 5, 5, 0)).empty());
    EXPECT_TRUE(DefaultPaletteEntries(BitFields(32, 8, 16, 8, 8, 8, 0)).empty());
}

}  // namespace
