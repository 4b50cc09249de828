// Translation of attribute lists into pixel-format requests.
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

}  // namespace
