#include <vector>

#include "render_util.h"
#include "vq/screen_dc.h"

namespace {

using svgtest::Body;
using svgtest::InitialGroup;
using svgtest::ReadFile;
using svgtest::ScratchDir;
using svgtest::V;

struct Extent {
    int w = 0, h = 0, descent = 0;
};

std::string I(int v) { return std::to_string(v); }

// Draws on a fresh surface; returns what follows the first style group and the
// extent the surface measured for probe (with the font in force at the end).
template <class F>
std::string Draw(F draw, const vqString& probe = vqString(), Extent* extent = nullptr) {
    ScratchDir dir;
    std::string path = dir.Path("text.svg");
    {
        vqSVGFileDC dc(V(path));
        draw(dc);
        if (extent) dc.GetTextExtent(probe, &extent->w, &extent->h, &extent->descent);
    }
    svgtest::ExpectValidDocument(path);
    std::string body = Body(ReadFile(path));
    std::string group = InitialGroup();
    EXPECT_EQ(body.compare(0, group.size(), group), 0) << body;
    return body.compare(0, group.size(), group) == 0 ? body.substr(group.size()) : body;
}

std::string TextElement(int x, int y, const std::string& style, const std::string& rotation,
                        const std::string& text) {
    return " <text x=\"" + I(x) + "\" y=\"" + I(y) + "\" " + style +
           "fill:#000000; stroke:#000000; stroke-width:0;\"  transform=\"rotate( " + rotation +
           " " + I(x) + " " + I(y) + " )  \" >" + text + "</text> \n";
}

const std::string kArial12 =
    "style=\"font-family:Arial; font-weight:normal; font-style:normal; font-size:12pt; ";

TEST(SvgTextTest, PlainTextGoldenWithMeasuredExtent) {
    Extent e;
    std::string body = Draw(
        [](vqSVGFileDC& dc) {
            dc.SetFont(vqFont(12, vqSWISS, vqNORMAL, vqNORMAL, false, vqT("Arial")));
            dc.DrawText(vqT("Hi"), 10, 20);
        },
        vqT("Hi"), &e);
    ASSERT_GT(e.h, 0);
    EXPECT_EQ(body, TextElement(10, 20 + e.h, kArial12, "-0", "Hi"));
}

TEST(SvgTextTest, BackgroundRectangleOnlyInSolidMode) {
    Extent e;
    std::string body = Draw(
        [](vqSVGFileDC& dc) {
            dc.SetFont(vqFont(12, vqSWISS, vqNORMAL, vqNORMAL, false, vqT("Arial")));
            dc.SetBackgroundMode(vqSOLID);
            dc.SetTextBackground(vqColour(128, 128, 128));
            dc.DrawText(vqT("Hi"), 10, 20);
            dc.SetBackgroundMode(vqTRANSPARENT);
            dc.DrawText(vqT("Hi"), 10, 20);
        },
        vqT("Hi"), &e);
    const int y = 20 + e.h;
    std::string rect = " <rect x=\"10\" y=\"" + I(y + e.descent - e.h) + "\" width=\"" + I(e.w) +
                       "\" height=\"" + I(e.h) +
                       "\"  style=\"fill:#808080; stroke-width:1; stroke:#808080; \" "
                       "transform=\"rotate( -0 10 " +
                       I(y) + " )  \" /> \n";
    std::string text = TextElement(10, y, kArial12, "-0", "Hi");
    EXPECT_EQ(body, rect + text + text);
}

TEST(SvgTextTest, RotationMovesTheAnchorAndKeepsItsPrecision) {
    Extent e;
    std::string body = Draw(
        [](vqSVGFileDC& dc) {
            dc.SetFont(vqFont(12, vqSWISS, vqNORMAL, vqNORMAL, false, vqT("Arial")));
            dc.DrawRotatedText(vqT("Up"), 50, 60, 90.0);
        },
        vqT("Up"), &e);
    EXPECT_EQ(body, TextElement(50 + e.h, 60, kArial12, "-90", "Up"));

    body = Draw(
        [](vqSVGFileDC& dc) {
            dc.SetBackgroundMode(vqSOLID);
            dc.DrawRotatedText(vqT("x"), 0, 0, 123.4);
        },
        vqT("x"), &e);
    EXPECT_EQ(body.find("rotate( -1.2e+02"), std::string::npos);
    // Both the rectangle and the text carry the full angle.
    size_t first = body.find("rotate( -123.4 ");
    ASSERT_NE(first, std::string::npos) << body;
    EXPECT_NE(body.find("rotate( -123.4 ", first + 1), std::string::npos) << body;
}

TEST(SvgTextTest, FontWordsForEveryWeightAndStyle) {
    struct Case {
        int weight, style;
        const char* words;
    } cases[] = {
        {vqNORMAL, vqNORMAL, "font-weight:normal; font-style:normal; "},
        {vqLIGHT, vqITALIC, "font-weight:lighter; font-style:italic; "},
        {vqBOLD, vqSLANT, "font-weight:bold; font-style:oblique; "},
        {vqNORMAL, 91, "font-weight:normal; font-style:style error; "},
        {vqNORMAL, 92, "font-weight:normal; font-style:style error; "},
        {95, 95, "font-weight:normal; font-style:normal; "},
        {0, -3, "font-weight:normal; font-style:normal; "},
        {1000, 89, "font-weight:normal; font-style:normal; "},
    };
    for (const Case& c : cases) {
        std::string body = Draw([&](vqSVGFileDC& dc) {
            dc.SetFont(vqFont(9, vqSWISS, c.style, c.weight));
            dc.DrawText(vqT("w"), 0, 0);
        });
        // An empty face name leaves the family out.
        EXPECT_NE(body.find(std::string("style=\" ") + c.words + "font-size:9pt; "),
                  std::string::npos)
            << c.weight << "/" << c.style << ": " << body;
    }
}

TEST(SvgTextTest, HostileTextAndFaceNamesAreEscaped) {
    vqString hostile = V("a<b>&c \"quoted\" 'single'\nnext line \xc3\xa9\xe2\x82\xac");
    std::string body = Draw([&](vqSVGFileDC& dc) {
        dc.SetFont(vqFont(10, vqSWISS, vqNORMAL, vqNORMAL, false, V("Evil\" Face & <Co>")));
        dc.DrawText(hostile, 5, 5);
    });
    EXPECT_NE(body.find("style=\"font-family:'Evil&quot; Face &amp; &lt;Co&gt;'; "),
              std::string::npos)
        << body;
    EXPECT_NE(body.find(">a&lt;b&gt;&amp;c \"quoted\" 'single'\nnext line \xc3\xa9\xe2\x82\xac"
                        "</text> \n"),
              std::string::npos)
        << body;
}

// The families written for the face names, in order, as they stand in the document.
std::vector<std::string> FamiliesOf(const std::vector<std::string>& faces) {
    std::string body = Draw([&](vqSVGFileDC& dc) {
        for (const std::string& face : faces) {
            dc.SetFont(vqFont(10, vqSWISS, vqNORMAL, vqNORMAL, false, V(face)));
            dc.DrawText(vqT("f"), 5, 5);
        }
    });
    std::vector<std::string> families;
    for (size_t start = body.find("font-family:"); start != std::string::npos;
         start = body.find("font-family:", start + 1)) {
        size_t end = body.find("; font-weight:", start);
        families.push_back(body.substr(start + 12, end - start - 12));
    }
    return families;
}

TEST(SvgTextTest, OrdinaryFaceNamesStayBareOthersBecomeCssStrings) {
    // Names that read as one family without quotes are written as they are.
    const std::vector<std::string> plain = {"Arial",          "DejaVu Sans", "Times New Roman",
                                            "Noto_Sans-Bold", "sans-serif",  "Caf\xC3\xA9 Script"};
    EXPECT_EQ(FamiliesOf(plain), plain);
    // Everything else is one quoted string, with CSS and XML escapes.
    EXPECT_EQ(FamiliesOf({"Evil; opacity:0", "Evil\"; font-size:99pt", "it's\\", "Arial, Helvetica",
                          "3D Font", "Two  Blanks", " Lead", "Line\nBreak\x01"}),
              (std::vector<std::string>{"'Evil; opacity:0'", "'Evil&quot;; font-size:99pt'",
                                        "'it\\'s\\\\'", "'Arial, Helvetica'", "'3D Font'",
                                        "'Two  Blanks'", "' Lead'", "'Line\\A Break\\1 '"}));
}

TEST(SvgTextTest, FaceNameCannotAddDeclarations) {
    ScratchDir dir;
    std::string path = dir.Path("inject.svg");
    {
        vqSVGFileDC dc(V(path), 320, 240);
        dc.SetBackgroundMode(vqSOLID);
        dc.SetTextBackground(vqColour(0, 0, 255));
        dc.SetFont(vqFont(20, vqSWISS, vqNORMAL, vqBOLD, false, V("Sans; opacity:0")));
        dc.DrawText(vqT("MMMM"), 40, 40);
        dc.SetBackgroundMode(vqTRANSPARENT);
        dc.SetFont(vqFont(20, vqSWISS, vqNORMAL, vqBOLD, false, V("Sans\"; opacity:0; x:\"")));
        dc.DrawText(vqT("MMMM"), 40, 140);
    }
    svgtest::ExpectValidDocument(path);
    if (!svgtest::kCanRender) GTEST_SKIP() << svgtest::kCannotRender;
    // Both texts show: the face names are only names, whatever they hold.
    svgtest::Rendered r = svgtest::Render(path, 320);
    auto inked = [&](int top) {
        int n = 0;
        for (int y = top; y < top + 40; ++y)
            for (int x = 40; x < 200; ++x) {
                vqColour c = r.Colour(x + 0.5, y + 0.5);
                if (r.Covered(x + 0.5, y + 0.5) && c.Red() < 60 && c.Blue() < 60) ++n;
            }
        return n;
    };
    EXPECT_GT(inked(40), 20);
    EXPECT_GT(inked(140), 20);
}

TEST(SvgTextTest, TextThatIsNotXmlBecomesReplacementCharacters) {
    // U+FFFE and U+FFFF are not XML characters in either build; in 8-bit builds
    // neither are bytes that do not form UTF-8 (a Latin-1 e-acute, a truncated
    // sequence, an encoded surrogate).
    std::string text =
        "a\xEF\xBF\xBE"
        "b\xEF\xBF\xBF"
        "c";
    std::string expected =
        "a\xEF\xBF\xBD"
        "b\xEF\xBF\xBD"
        "c";
#ifndef VQ_UNICODE
    text += "caf\xE9 \xE2\x82 \xED\xA0\x80.";
    expected +=
        "caf\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD "
        "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD.";
#endif
    std::string face = "Face\xEF\xBF\xBF", expectedFace = "Face\xEF\xBF\xBD";
#ifndef VQ_UNICODE
    face += "\xE9";
    expectedFace += "\xEF\xBF\xBD";
#endif
    std::string body = Draw([&](vqSVGFileDC& dc) {
        dc.SetFont(vqFont(10, vqSWISS, vqNORMAL, vqNORMAL, false, V(face)));
        dc.DrawText(V(text), 5, 5);
    });
    EXPECT_NE(body.find(">" + expected + "</text>"), std::string::npos) << body;
    EXPECT_NE(body.find("font-family:" + expectedFace + "; "), std::string::npos) << body;
}

#ifdef VQ_UNICODE
TEST(SvgTextTest, LoneSurrogateBecomesAReplacementCharacter) {
    const wchar_t text[] = {L'o', L'k', static_cast<wchar_t>(0xD800), L'!', 0};
    std::string body = Draw([&](vqSVGFileDC& dc) { dc.DrawText(vqString(text), 5, 5); });
    EXPECT_NE(body.find(">ok\xef\xbf\xbd!</text>"), std::string::npos) << body;
}
#endif

TEST(SvgTextTest, BoundingBoxFollowsTheFourPoints) {
    ScratchDir dir;
    vqSVGFileDC dc(V(dir.Path("box.svg")));
    int w = 0, h = 0;
    dc.GetTextExtent(vqT("Box"), &w, &h);
    dc.DrawText(vqT("Box"), 10, 20);
    EXPECT_EQ(dc.MinX(), 10);
    EXPECT_EQ(dc.MinY(), 20);
    EXPECT_EQ(dc.MaxX(), 10 + w);
    EXPECT_EQ(dc.MaxY(), 20 + 2 * h);
}

TEST(SvgTextTest, TextAtTheEdgeOfTheIntRangeStaysInRange) {
    ScratchDir dir;
    std::string path = dir.Path("edge.svg");
    int h = 0;
    {
        vqSVGFileDC dc(V(path));
        dc.GetTextExtent(vqT("Edge"), nullptr, &h);
        dc.SetBackgroundMode(vqSOLID);
        dc.DrawRotatedText(vqT("Edge"), INT_MAX, INT_MAX, 45.0);
        dc.DrawText(vqT("Edge"), INT_MIN, INT_MIN);
        EXPECT_EQ(dc.MaxX(), INT_MAX);
        EXPECT_EQ(dc.MinY(), INT_MIN);
    }
    std::string body = ReadFile(path);
    EXPECT_NE(body.find(" <text x=\"2147483647\" y=\"2147483647\" "), std::string::npos) << body;
    EXPECT_NE(body.find(" <text x=\"-2147483648\" y=\"" + I(INT_MIN + h) + "\" "),
              std::string::npos)
        << body;
    svgtest::ExpectValidDocument(path);
}

TEST(SvgTextTest, MeasuresOnTheScreenWithTheRightFont) {
    ScratchDir dir;
    vqSVGFileDC dc(V(dir.Path("measure.svg")));
    vqFont big(24, vqSWISS, vqNORMAL, vqBOLD);
    vqFont small(8, vqSWISS, vqNORMAL, vqNORMAL);
    dc.SetFont(small);

    vqScreenDC screen;
    int sw = 0, sh = 0, sd = 0, sl = 0;
    screen.GetTextExtent(vqT("Measure me"), &sw, &sh, &sd, &sl, &big);
    int w = 0, h = 0, d = 0, l = 0;
    dc.GetTextExtent(vqT("Measure me"), &w, &h, &d, &l, &big);
    EXPECT_EQ(w, sw);
    EXPECT_EQ(h, sh);
    EXPECT_EQ(d, sd);
    EXPECT_EQ(l, sl);
    // The font argument wins only for that call.
    EXPECT_EQ(dc.GetFont().GetPointSize(), 8);
    int smallW = 0;
    dc.GetTextExtent(vqT("Measure me"), &smallW, nullptr);
    EXPECT_LT(smallW, w);
    screen.SetFont(small);
    EXPECT_EQ(dc.GetCharHeight(), screen.GetCharHeight());
    EXPECT_EQ(dc.GetCharWidth(), screen.GetCharWidth());
    EXPECT_GT(dc.GetCharHeight(), 0);
}

TEST(SvgTextTest, RenderedTextInkLiesWhereTheAnchorSays) {
    if (!svgtest::kCanRender) GTEST_SKIP() << svgtest::kCannotRender;
    ScratchDir dir;
    std::string path = dir.Path("ink.svg");
    int w = 0, h = 0;
    {
        vqSVGFileDC dc(V(path), 320, 240);
        dc.SetFont(vqFont(20, vqSWISS, vqNORMAL, vqBOLD));
        dc.SetBackgroundMode(vqSOLID);
        dc.SetTextBackground(vqColour(0, 0, 255));
        dc.SetTextForeground(vqColour(255, 255, 0));
        dc.GetTextExtent(vqT("MMMM"), &w, &h);
        dc.DrawText(vqT("MMMM"), 40, 40);
    }
    svgtest::Rendered r = svgtest::Render(path, 320);
    // The background sits below the reference point, and nothing is drawn above it.
    EXPECT_FALSE(r.Covered(40 + w / 2, 30));
    EXPECT_TRUE(r.Covered(40 + w / 2, 40 + h - 2));
    EXPECT_FALSE(r.Covered(40 + w + 10, 40 + h / 2));
}

}  // namespace
