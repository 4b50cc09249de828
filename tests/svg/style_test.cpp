#include "svg_test_util.h"

namespace {

using svgtest::Body;
using svgtest::InitialGroup;
using svgtest::ReadFile;
using svgtest::ScratchDir;
using svgtest::V;

// Draws on a fresh surface and returns what it wrote after the header.
template <class F>
std::string Draw(F draw) {
    return svgtest::DrawBody(draw);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        ++n;
    return n;
}

const char kRect[] = " <rect x=\"0\" y=\"0\" width=\"1\" height=\"1\" rx=\"0\"  /> \n";

TEST(SvgStyleTest, GroupCarriesBrushPenAndTransform) {
    std::string body = Draw([](vqSVGFileDC& dc) {
        dc.SetBrush(vqBrush(vqColour(0, 128, 0), vqSOLID));
        vqPen pen(vqColour(0, 0, 0), 2, vqSOLID);
        pen.SetCap(vqCAP_ROUND);
        pen.SetJoin(vqJOIN_ROUND);
        dc.SetPen(pen);
        dc.DrawRectangle(0, 0, 1, 1);
    });
    EXPECT_EQ(
        body,
        "</g>\n<g style=\"fill:#008000; fill-opacity:1.0; \n  stroke:#000000; "
        "stroke-linecap:round; stroke-linejoin:round; stroke-opacity:1.0; "
        "stroke-opacity:1.0; stroke-width:2\" \n   transform=\"translate(0 0) scale(1 1)\">\n" +
            std::string(kRect));
}

TEST(SvgStyleTest, UnsupportedPenStyleIsSolidWithAComment) {
    std::string body = Draw([](vqSVGFileDC& dc) {
        dc.SetPen(vqPen(vqColour(255, 0, 0), 3, vqDOT));
        dc.DrawRectangle(0, 0, 1, 1);
    });
    EXPECT_NE(body.find("stroke-linejoin:round; stroke-width:3\" \n"), std::string::npos);
    EXPECT_NE(body.find("scale(1 1)\">\n<!--- vqSVGFileDC::SetPen Call called to set a Style "
                        "which is not available --> \n"),
              std::string::npos);
}

TEST(SvgStyleTest, CapsJoinsAndOpacities) {
    std::string body = Draw([](vqSVGFileDC& dc) {
        vqPen pen(vqColour(1, 2, 3), 1, vqTRANSPARENT);
        pen.SetCap(vqCAP_BUTT);
        pen.SetJoin(vqJOIN_BEVEL);
        dc.SetPen(pen);
        dc.SetBrush(vqBrush(vqColour(10, 20, 30), vqTRANSPARENT));
        dc.DrawPoint(1, 1);
        pen.SetCap(vqCAP_PROJECTING);
        pen.SetJoin(vqJOIN_MITER);
        dc.SetPen(pen);
        dc.SetBrush(vqBrush(vqColour(255, 255, 255), vqBDIAGONAL_HATCH));
        dc.DrawPoint(2, 2);
    });
    EXPECT_NE(body.find("fill:#0A141E; fill-opacity:0.0; \n  stroke:#010203; "
                        "stroke-linecap:butt; stroke-linejoin:bevel; "
                        "stroke-opacity:0.0; stroke-opacity:0.0; stroke-width:1"),
              std::string::npos);
    EXPECT_NE(body.find("<g style=\"fill:#FFFFFF; \n  stroke:#010203; stroke-linecap:square; "
                        "stroke-linejoin:miter; stroke-opacity:0.0;"),
              std::string::npos);
    EXPECT_EQ(Count(body, "<!---"), 0u);
}

TEST(SvgStyleTest, PenWithoutDataReadsAsNullValues) {
    std::string body = Draw([](vqSVGFileDC& dc) {
        dc.SetPen(vqPen());
        dc.DrawRectangle(0, 0, 1, 1);
    });
    EXPECT_NE(body.find("stroke:#000000; stroke-linecap:round; stroke-linejoin:round; "
                        "stroke-width:0\""),
              std::string::npos);
    EXPECT_EQ(Count(body, "Style which is not available"), 1u);
}

TEST(SvgStyleTest, OneGroupPerBatchOfPenAndBrushChanges) {
    std::string body = Draw([](vqSVGFileDC& dc) {
        dc.SetBrush(vqBrush(vqColour(1, 1, 1)));
        dc.SetBrush(vqBrush(vqColour(2, 2, 2)));
        dc.SetPen(vqPen(vqColour(3, 3, 3)));
        dc.DrawRectangle(0, 0, 1, 1);
        dc.DrawRectangle(0, 0, 1, 1);
    });
    EXPECT_EQ(Count(body, "<g style"), 1u);
    EXPECT_NE(body.find("fill:#020202;"), std::string::npos);
    EXPECT_NE(body.find("stroke:#030303;"), std::string::npos);
    EXPECT_EQ(Count(body, kRect), 2u);
}

TEST(SvgStyleTest, SettingTheHeldPenStillStartsAGroup) {
    std::string body = Draw([](vqSVGFileDC& dc) {
        dc.DrawRectangle(0, 0, 1, 1);
        dc.SetPen(dc.GetPen());
        dc.DrawRectangle(0, 0, 1, 1);
    });
    EXPECT_EQ(body, InitialGroup() + kRect + InitialGroup() + kRect);
}

TEST(SvgStyleTest, FontBackgroundAndTextColoursWriteNoGroup) {
    std::string body = Draw([](vqSVGFileDC& dc) {
        dc.DrawRectangle(0, 0, 1, 1);
        dc.SetFont(vqFont(12, vqSWISS, vqNORMAL, vqBOLD));
        dc.SetBackground(vqBrush(vqColour(9, 9, 9)));
        dc.SetBackgroundMode(vqSOLID);
        dc.SetTextForeground(vqColour(1, 0, 0));
        dc.SetTextBackground(vqColour(0, 1, 0));
        dc.DrawRectangle(0, 0, 1, 1);
    });
    EXPECT_EQ(body, InitialGroup() + kRect + kRect);
}

}  // namespace
