#include <gtest/gtest.h>

#include <cstdlib>

#include "vq/screen_dc.h"

namespace {

struct Extent {
    int w = -1, h = -1, descent = -1, leading = -1;
};

Extent Measure(const vqDC& dc, const vqString& text, const vqFont* font = nullptr) {
    Extent e;
    dc.GetTextExtent(text, &e.w, &e.h, &e.descent, &e.leading, font);
    return e;
}

TEST(ScreenDCTest, MeasuresRealGlyphs) {
    vqScreenDC dc;
    Extent narrow = Measure(dc, vqT("iiiiiiii"));
    Extent wide = Measure(dc, vqT("WWWWWWWW"));
    EXPECT_GT(narrow.w, 0);
    EXPECT_GT(wide.w, narrow.w * 2);
    // One line's height is the same whatever the text; descent lies inside it.
    EXPECT_EQ(narrow.h, wide.h);
    EXPECT_GT(narrow.h, narrow.descent);
    EXPECT_GT(narrow.descent, 0);
    EXPECT_GE(narrow.leading, 0);
    EXPECT_EQ(dc.GetCharHeight(), narrow.h);
    EXPECT_EQ(dc.GetCharWidth(), Measure(dc, vqT("x")).w);

    Extent empty = Measure(dc, vqString());
    EXPECT_EQ(empty.w, 0);
    EXPECT_EQ(empty.h, narrow.h);

    // Null outputs are allowed.
    int w = 0;
    dc.GetTextExtent(vqT("abc"), &w, nullptr);
    EXPECT_GT(w, 0);
}

TEST(ScreenDCTest, SizeWeightAndFaceSelectTheFont) {
    vqScreenDC dc;
    vqFont ten(10, vqSWISS, vqNORMAL, vqNORMAL);
    vqFont twenty(20, vqSWISS, vqNORMAL, vqNORMAL);
    Extent small = Measure(dc, vqT("Sample text"), &ten);
    Extent large = Measure(dc, vqT("Sample text"), &twenty);
    // At 96 dpi the height doubles with the point size, give or take rounding.
    EXPECT_NEAR(large.h, 2 * small.h, 3);
    EXPECT_NEAR(large.w, 2 * small.w, 4);
    // 10 pt at 96 dpi is 13.3 pixels per em: the line is a little taller than that.
    EXPECT_GE(small.h, 13);
    EXPECT_LE(small.h, 20);

    vqFont bold(10, vqSWISS, vqNORMAL, vqBOLD);
    EXPECT_GT(Measure(dc, vqT("Sample text"), &bold).w, small.w);

    // An empty face name and a face that is not installed both give the default face.
    vqFont missing(10, vqSWISS, vqNORMAL, vqNORMAL, false, vqT("No Such Face 4711"));
    Extent fallback = Measure(dc, vqT("Sample text"), &missing);
    EXPECT_EQ(fallback.w, small.w);
    EXPECT_EQ(fallback.h, small.h);
}

TEST(ScreenDCTest, FontArgumentWinsOverTheSelectedFont) {
    vqScreenDC dc;
    dc.SetFont(vqFont(30, vqSWISS, vqNORMAL, vqNORMAL));
    vqFont eight(8, vqSWISS, vqNORMAL, vqNORMAL);
    Extent withArg = Measure(dc, vqT("Hello"), &eight);
    Extent selected = Measure(dc, vqT("Hello"));
    EXPECT_LT(withArg.h, selected.h);
    EXPECT_EQ(dc.GetFont().GetPointSize(), 30);
    vqScreenDC other;
    other.SetFont(eight);
    EXPECT_EQ(Measure(other, vqT("Hello")).w, withArg.w);
}

TEST(ScreenDCTest, MeasuringAgainReadsNoFontFile) {
    vqScreenDC dc;
    vqFont fonts[] = {vqFont(9, vqSWISS, vqNORMAL, vqNORMAL), vqFont(14, vqSWISS, vqITALIC, vqBOLD),
                      vqFont(11, vqSWISS, vqNORMAL, vqNORMAL, false, vqT("DejaVu Sans Mono"))};
    for (const vqFont& f : fonts) Measure(dc, vqT("warm up"), &f);
    size_t read = vqScreenDC::GetFontFilesRead();
    EXPECT_GT(read, 0u);
    for (int i = 0; i < 200; ++i)
        for (const vqFont& f : fonts) Measure(dc, vqT("again and again"), &f);
    EXPECT_EQ(vqScreenDC::GetFontFilesRead(), read);
}

TEST(ScreenDCTest, NonAsciiAndBrokenTextMeasureWithoutFailing) {
    vqScreenDC dc;
    vqString accented = vqString::FromUTF8("\xc3\xa9t\xc3\xa9");  // "été"
    Extent e = Measure(dc, accented);
    EXPECT_GT(e.w, Measure(dc, vqT("t")).w);
    // Bytes that are not UTF-8 (ANSI build) or a lone surrogate (wide build) still measure.
#ifdef VQ_UNICODE
    const wchar_t broken[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
#else
    const char broken[] = {'a', static_cast<char>(0xFF), 'b', 0};
#endif
    Extent b = Measure(dc, vqString(broken));
    EXPECT_GT(b.w, Measure(dc, vqT("ab")).w);
    EXPECT_EQ(b.h, e.h);
}

TEST(ScreenDCTest, WidthsGrowWithTheTextAndScaleWithLargeSizes) {
    vqScreenDC dc;
    vqFont ten(10, vqSWISS, vqNORMAL, vqNORMAL);
    int previous = 0;
    vqString text;
    for (const vqChar* piece : {vqT("W"), vqT("a"), vqT("i"), vqT(" "), vqT("m"), vqT(".")}) {
        text += piece;
        const int width = Measure(dc, text, &ten).w;
        EXPECT_GT(width, previous) << text.ToUTF8();
        previous = width;
    }
    // Advances are unhinted, so a size 30 times larger measures 30 times wider, give
    // or take the rounding of the total.
    vqFont large(300, vqSWISS, vqNORMAL, vqNORMAL);
    const Extent small = Measure(dc, vqT("Sample text"), &ten);
    const Extent big = Measure(dc, vqT("Sample text"), &large);
    EXPECT_NEAR(big.w, 30 * small.w, 30);
    EXPECT_NEAR(big.h, 30 * small.h, 3 * 30);
    // A character beyond the 16-bit range (an emoji) has a width of its own.
    EXPECT_GT(Measure(dc, vqString::FromUTF8("a\xf0\x9f\x98\x80"), &ten).w,
              Measure(dc, vqT("a"), &ten).w);
}

}  // namespace
