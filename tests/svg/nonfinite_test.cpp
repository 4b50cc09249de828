// Numbers that are not finite never reach the document: an element whose angle,
// radius or mapping is NaN or infinite is replaced by a comment, and a resolution
// or size that would give the page no size falls back to the default, logged.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <limits>

#include "svg_test_util.h"
#include "vq/memory_dc.h"

namespace {

using svgtest::Body;
using svgtest::ReadFile;
using svgtest::ScratchDir;
using svgtest::V;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kNotFinite[] = {kNaN, kInf, -kInf};

std::string Skipped(const std::string& call) {
    return "<!--- vqSVGFileDC::" + call + " skipped: a number is not finite --> \n";
}

size_t Count(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// Fails when the document holds "nan" or "inf" in any case, anywhere.
void ExpectNoNonFiniteText(const std::string& document) {
    std::string lower = document;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_EQ(lower.find("nan"), std::string::npos) << document;
    EXPECT_EQ(lower.find("inf"), std::string::npos) << document;
}

// Draws on a fresh surface, checks the whole document and returns its body.
std::string DrawChecked(const std::function<void(vqSVGFileDC&)>& draw) {
    ScratchDir dir;
    const std::string path = dir.Path("n.svg");
    {
        vqSVGFileDC dc(V(path));
        draw(dc);
        EXPECT_TRUE(dc.Ok());
    }
    const std::string document = ReadFile(path);
    ExpectNoNonFiniteText(document);
    svgtest::ExpectValidDocument(path);
    return Body(document);
}

// Each call with a floating-point argument that is not finite writes its comment and
// no element; the finite calls around it draw as usual.
TEST(SvgNonFiniteTest, ArgumentsThatAreNotFiniteSkipTheirElement) {
    for (double bad : kNotFinite) {
        SCOPED_TRACE(bad);
        std::string body = DrawChecked([bad](vqSVGFileDC& dc) {
            dc.SetBackgroundMode(vqSOLID);
            dc.DrawRotatedText(vqT("x"), 10, 20, bad);
            dc.DrawRoundedRectangle(1, 2, 30, 40, bad);
            dc.DrawEllipticArc(0, 0, 100, 50, bad, 90.0);
            dc.DrawEllipticArc(0, 0, 100, 50, 0.0, bad);
            dc.DrawRectangle(5, 6, 7, 8);
        });
        EXPECT_EQ(Count(body, Skipped("DoDrawRotatedText")), 1u) << body;
        EXPECT_EQ(Count(body, Skipped("DoDrawRoundedRectangle")), 1u) << body;
        EXPECT_EQ(Count(body, Skipped("DoDrawEllipticArc")), 2u) << body;
        EXPECT_EQ(Count(body, "<text"), 0u) << body;
        EXPECT_EQ(Count(body, "<path"), 0u) << body;
        EXPECT_EQ(Count(body, "<rect"), 1u) << body;
        EXPECT_NE(body.find("<rect x=\"5\" y=\"6\" width=\"7\" height=\"8\" rx=\"0\""),
                  std::string::npos)
            << body;
    }
    // Angles too large to turn into radians count as not finite as well.
    std::string body = DrawChecked([](vqSVGFileDC& dc) {
        dc.DrawRotatedText(vqT("x"), 10, 20, 1e308);
        dc.DrawEllipticArc(0, 0, 100, 50, -1e308, 0.0);
    });
    EXPECT_EQ(Count(body, "<!---"), 2u) << body;
    EXPECT_EQ(Count(body, Skipped("DoDrawRotatedText")), 1u) << body;
}

// While the scale or translation is not finite, from a scale that is not or from
// finite scales whose product overflows, every kind of element is skipped, no side
// file is made and the bounding box stays as it was; a finite mapping draws again.
TEST(SvgNonFiniteTest, AMappingThatIsNotFiniteSkipsEveryElement) {
    const std::function<void(vqSVGFileDC&)> breakings[] = {
        [](vqSVGFileDC& dc) { dc.SetUserScale(kNaN, 1.0); },
        [](vqSVGFileDC& dc) { dc.SetUserScale(1.0, kInf); },
        [](vqSVGFileDC& dc) { dc.SetLogicalScale(-kInf, 1.0); },
        [](vqSVGFileDC& dc) { dc.SetLogicalScale(1.0, kNaN); },
        [](vqSVGFileDC& dc) {
            dc.SetUserScale(1e300, 1.0);
            dc.SetLogicalScale(1e300, 1.0);
        },
        [](vqSVGFileDC& dc) {
            dc.SetLogicalScale(1e308, 1.0);
            dc.SetLogicalOrigin(1000, 0);
            dc.SetUserScale(1e-300, 1.0);
        },
    };
    vqBitmap source(4, 4);
    for (size_t i = 0; i < sizeof breakings / sizeof breakings[0]; ++i) {
        SCOPED_TRACE(i);
        ScratchDir dir;
        const std::string path = dir.Path("m.svg");
        {
            vqSVGFileDC dc(V(path));
            breakings[i](dc);
            vqPoint points[] = {vqPoint(0, 0), vqPoint(10, 0), vqPoint(5, 5)};
            dc.DrawLine(0, 0, 10, 10);
            dc.DrawPoint(3, 3);
            dc.DrawRectangle(1, 1, 5, 5);
            dc.DrawRoundedRectangle(1, 1, 5, 5, 2.0);
            dc.DrawEllipse(0, 0, 10, 6);
            dc.DrawPolygon(3, points);
            dc.DrawArc(20, 10, 10, 0, 10, 10);
            dc.DrawEllipticArc(0, 0, 100, 50, 0.0, 90.0);
            dc.DrawText(vqT("x"), 1, 1);
            dc.DrawBitmap(source, 0, 0);
            vqMemoryDC memory(source);
            EXPECT_FALSE(dc.Blit(0, 0, 4, 4, &memory, 0, 0));
            EXPECT_FALSE(dc.IsBoundingBoxValid());
            EXPECT_TRUE(dc.Ok());
            // Back to a finite mapping, elements are written again, in a new group.
            dc.SetUserScale(1.0, 1.0);
            dc.SetLogicalScale(1.0, 1.0);
            dc.SetLogicalOrigin(0, 0);
            dc.DrawLine(0, 0, 10, 10);
        }
        const std::string document = ReadFile(path), body = Body(document);
        ExpectNoNonFiniteText(document);
        for (const char* call : {"DoDrawLine", "DoDrawPoint", "DoDrawRoundedRectangle",
                                 "DoDrawEllipse", "DoDrawPolygon", "DoDrawArc", "DoDrawEllipticArc",
                                 "DoDrawRotatedText", "DoDrawBitmap", "DoBlit"})
            EXPECT_GE(Count(body, Skipped(call)), 1u) << call << "\n" << body;
        // The rectangle and the rounded one both come through DoDrawRoundedRectangle.
        EXPECT_EQ(Count(body, "<!---"), 11u) << body;
        EXPECT_EQ(Count(body, "<g"), 1u) << body;
        EXPECT_EQ(body.substr(body.find("</g>")),
                  svgtest::InitialGroup() + "<path d=\"M0 0 L10 10\" /> \n")
            << body;
        EXPECT_FALSE(svgtest::FileExists(dir.Path("m_image0.png")));
        svgtest::ExpectValidDocument(path);
    }
}

// A resolution that is not positive and finite would make the page "nancm", "infcm"
// or negative: the surface logs one error naming the file and uses 72 dpi, giving the
// same document and the same metric scale as the default.
TEST(SvgNonFiniteTest, AResolutionThatIsNotPositiveAndFiniteFallsBackToTheDefault) {
    ScratchDir dir;
    auto draw = [](const std::string& path, int width, int height, float dpi) {
        vqSVGFileDC dc(V(path), width, height, dpi);
        dc.SetMapMode(vqMM_METRIC);
        dc.DrawRectangle(0, 0, 10, 10);
    };
    svgtest::ErrorLog log;
    draw(dir.Path("default.svg"), 320, 240, 72.0f);
    ASSERT_TRUE(log.errors.empty()) << log.errors[0];
    const std::string expected = ReadFile(dir.Path("default.svg"));
    EXPECT_NE(expected.find("scale(2.83465 2.83465)"), std::string::npos) << expected;
    const float fInf = std::numeric_limits<float>::infinity();
    const float dpis[] = {0.0f, -0.0f, -300.0f, std::numeric_limits<float>::quiet_NaN(),
                          fInf, -fInf};
    for (float dpi : dpis) {
        SCOPED_TRACE(dpi);
        log.errors.clear();
        const std::string path = dir.Path("default.svg");
        draw(path, 320, 240, dpi);
        ASSERT_EQ(log.errors.size(), 1u);
        EXPECT_NE(log.errors[0].find(path), std::string::npos) << log.errors[0];
        EXPECT_NE(log.errors[0].find("not positive and finite; 72 dpi is used"), std::string::npos)
            << log.errors[0];
        EXPECT_EQ(ReadFile(path), expected);
    }
    // A negative width or height falls back to the default size, logged the same way.
    for (int side : {-1, -320}) {
        log.errors.clear();
        const std::string path = dir.Path("default.svg");
        draw(path, side, 240, 72.0f);
        draw(path, 320, side, 72.0f);
        ASSERT_EQ(log.errors.size(), 2u);
        EXPECT_NE(log.errors[0].find("is negative; 320 x 240 is used"), std::string::npos)
            << log.errors[0];
        EXPECT_EQ(ReadFile(path), expected);
    }
    // A tiny positive resolution is honoured: a huge page (too large to render here),
    // but a finite one.
    log.errors.clear();
    draw(dir.Path("tiny.svg"), 320, 240, 1e-30f);
    EXPECT_TRUE(log.errors.empty());
    const std::string tiny = ReadFile(dir.Path("tiny.svg"));
    EXPECT_NE(tiny.find("width=\"8.1e+32cm\""), std::string::npos) << tiny;
    ExpectNoNonFiniteText(tiny);
    ExpectNoNonFiniteText(expected);
    svgtest::ExpectValidDocument(dir.Path("default.svg"));
}

}  // namespace
