#include <climits>

#include "render_util.h"

namespace {

using svgtest::Body;
using svgtest::InitialGroup;
using svgtest::ReadFile;
using svgtest::ScratchDir;
using svgtest::V;

// Draws on a fresh surface; returns what follows the first style group.
template <class F>
std::string Draw(F draw) {
    return svgtest::AfterInitialGroup(svgtest::DrawBody(draw));
}

const char* kRadiusComment = "<!--- vqSVGFileDC::DoDrawArc Error in getting radii of circle --> \n";

TEST(SvgArcTest, CircularArcGoldenText) {
    EXPECT_EQ(Draw([](vqSVGFileDC& dc) { dc.DrawArc(20, 10, 10, 0, 10, 10); }),
              "<path d=\"M20 10 A10 10 0.0 0 0 10 0 L10 10 z  \" /> \n");
    // Start and end points at distances 10 and 14: the comment, then the path as usual.
    EXPECT_EQ(Draw([](vqSVGFileDC& dc) { dc.DrawArc(10, 0, 0, 14, 0, 0); }),
              std::string(kRadiusComment) + "<path d=\"M10 0 A10 14 0.0 1 0 0 14 L0 0 z  \" /> \n");
    // Distances 10 and 13 are close enough.
    EXPECT_EQ(Draw([](vqSVGFileDC& dc) { dc.DrawArc(10, 0, 0, -13, 0, 0); }),
              "<path d=\"M10 0 A10 13 0.0 0 0 0 -13 L0 0 z  \" /> \n");
    // Radii keep their precision.
    EXPECT_EQ(Draw([](vqSVGFileDC& dc) { dc.DrawArc(141, 0, 0, -141, 0, 0); }),
              "<path d=\"M141 0 A141 141 0.0 0 0 0 -141 L0 0 z  \" /> \n");
    EXPECT_EQ(Draw([](vqSVGFileDC& dc) { dc.DrawArc(3, 4, 3, 4, 0, 0); }),
              "<path d=\"M3 4 A5 5 0.0 0 0 3 4 L0 0 z  \" /> \n");
}

TEST(SvgArcTest, CircularArcLargeFlagFollowsTheSweep) {
    // Exactly half a turn is not large.
    EXPECT_EQ(Draw([](vqSVGFileDC& dc) { dc.DrawArc(0, -10, 0, 10, 0, 0); }),
              "<path d=\"M0 -10 A10 10 0.0 0 0 0 10 L0 0 z  \" /> \n");
    // From the top round to the right, counter-clockwise: three quarters.
    EXPECT_EQ(Draw([](vqSVGFileDC& dc) { dc.DrawArc(0, -10, 10, 0, 0, 0); }),
              "<path d=\"M0 -10 A10 10 0.0 1 0 10 0 L0 0 z  \" /> \n");
}

TEST(SvgArcTest, ExtremeCoordinatesDoNotOverflow) {
    std::string body = Draw([](vqSVGFileDC& dc) {
        dc.DrawArc(INT_MAX, INT_MAX, INT_MIN, INT_MIN, 0, 0);
        dc.DrawArc(INT_MIN, 0, INT_MAX, 0, INT_MAX, INT_MIN);
    });
    // Radii of about 3e9 and 4.8e9 come out whole; only the second arc's radii differ.
    std::string first =
        "<path d=\"M2147483647 2147483647 A3.037e+09 3.037e+09 0.0 0 0 "
        "-2147483648 -2147483648 L0 0 z  \" /> \n";
    std::string second = std::string(kRadiusComment) +
                         "<path d=\"M-2147483648 0 A4.80192e+09 2.14748e+09 0.0 0 0 "
                         "2147483647 0 L2147483647 -2147483648 z  \" /> \n";
    EXPECT_EQ(body, first + second);
}

TEST(SvgArcTest, EllipticArcAtTheEdgeOfTheIntRangeSaturates) {
    // The centre lies beyond INT_MAX; its coordinates are written at the range's edge.
    std::string body = Draw([](vqSVGFileDC& dc) {
        dc.DrawEllipticArc(INT_MAX - 10, INT_MIN, INT_MAX, INT_MAX, 0.0, 90.0);
    });
    EXPECT_EQ(body,
              "<path d=\"M2147483647 -1073741825 A1073741823 1073741823 0.0 0 0  2147483647 "
              "-2147483648 L 2147483647 -1073741825 z  \" /> \n");
}

TEST(SvgArcTest, ArcsLeaveTheBoundingBoxAlone) {
    ScratchDir dir;
    vqSVGFileDC dc(V(dir.Path("box.svg")));
    dc.DrawArc(20, 10, 10, 0, 10, 10);
    dc.DrawEllipticArc(0, 0, 100, 50, 0.0, 90.0);
    EXPECT_FALSE(dc.IsBoundingBoxValid());
    dc.DrawRectangle(20, 10, 10, 10);
    EXPECT_TRUE(dc.IsBoundingBoxValid());
    EXPECT_EQ(dc.MinX(), 20);
}

TEST(SvgArcTest, EllipticArcGoldenText) {
    EXPECT_EQ(Draw([](vqSVGFileDC& dc) { dc.DrawEllipticArc(0, 0, 100, 50, 0.0, 90.0); }),
              "<path d=\"M100 25 A50 25 0.0 0 0  50 0 L 50 25 z  \" /> \n");
    // An odd width uses the truncated radius for the centre and the points; sin(180)
    // and cos(270) are not exactly zero, and truncation shows it.
    EXPECT_EQ(Draw([](vqSVGFileDC& dc) { dc.DrawEllipticArc(10, 0, 101, 50, 180.0, 270.0); }),
              "<path d=\"M10 24 A50 25 0.0 0 0  59 50 L 60 25 z  \" /> \n");
    // Points are truncated, not rounded: 50 - 50 sin(60) = 6.7 gives 6.
    EXPECT_EQ(Draw([](vqSVGFileDC& dc) { dc.DrawEllipticArc(0, 0, 100, 100, 0.0, 60.0); }),
              "<path d=\"M100 50 A50 50 0.0 0 0  75 6 L 50 50 z  \" /> \n");
}

TEST(SvgArcTest, EllipticArcFlagsForEveryDirection) {
    struct Case {
        double start, end;
        int large;
    } cases[] = {
        {0, 90, 0},     // a quarter, inside the simple range
        {90, 0, 1},     // three quarters the other way round
        {10, 350, 1},   // 340 degrees, angles 20 degrees apart on the screen
        {170, 190, 0},  // 20 degrees across the negative x axis
        {190, 170, 1},  // 340 degrees across it
        {-30, 200, 1},  // 230 degrees
    };
    for (const Case& c : cases) {
        std::string body =
            Draw([&](vqSVGFileDC& dc) { dc.DrawEllipticArc(0, 0, 200, 100, c.start, c.end); });
        std::string flags = " 0.0 " + std::to_string(c.large) + " 0  ";
        EXPECT_NE(body.find(flags), std::string::npos)
            << c.start << " to " << c.end << ": " << body;
    }
}

// Renders one filled pie and reports which probe points it covers.
class SvgArcRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!svgtest::kCanRender) GTEST_SKIP() << svgtest::kCannotRender;
    }
    template <class F>
    svgtest::Rendered RenderPie(F draw) {
        path = dir.Path("pie.svg");
        {
            vqSVGFileDC dc(V(path), 320, 240);
            dc.SetPen(vqPen(vqColour(0, 0, 0), 1, vqTRANSPARENT));
            dc.SetBrush(vqBrush(vqColour(200, 0, 0)));
            draw(dc);
        }
        return svgtest::Render(path, 320);
    }
    ScratchDir dir;
    std::string path;
};

TEST_F(SvgArcRenderTest, CircularPiesCoverTheirSector) {
    // A quarter from the right to the top of a circle about (160, 120).
    svgtest::Rendered r =
        RenderPie([](vqSVGFileDC& dc) { dc.DrawArc(200, 120, 160, 80, 160, 120); });
    EXPECT_TRUE(r.Covered(175, 105));
    EXPECT_FALSE(r.Covered(145, 105));
    EXPECT_FALSE(r.Covered(145, 135));
    EXPECT_FALSE(r.Covered(175, 135));
    EXPECT_FALSE(r.Covered(195, 85));  // beyond the radius

    // From the top round to the right: everything but that quarter.
    r = RenderPie([](vqSVGFileDC& dc) { dc.DrawArc(160, 80, 200, 120, 160, 120); });
    EXPECT_FALSE(r.Covered(175, 105));
    EXPECT_TRUE(r.Covered(145, 105));
    EXPECT_TRUE(r.Covered(145, 135));
    EXPECT_TRUE(r.Covered(175, 135));
}

TEST_F(SvgArcRenderTest, EllipticPiesCoverTheirSector) {
    // Ellipse in (60, 60, 200, 120): centre (160, 120), radii 100 and 60.
    svgtest::Rendered r =
        RenderPie([](vqSVGFileDC& dc) { dc.DrawEllipticArc(60, 60, 200, 120, 170, 190); });
    EXPECT_TRUE(r.Covered(80, 120));    // on the left, inside the thin wedge
    EXPECT_FALSE(r.Covered(240, 120));  // the right side stays empty
    EXPECT_FALSE(r.Covered(160, 80));

    r = RenderPie([](vqSVGFileDC& dc) { dc.DrawEllipticArc(60, 60, 200, 120, 190, 170); });
    EXPECT_FALSE(r.Covered(80, 120));
    EXPECT_TRUE(r.Covered(240, 120));
    EXPECT_TRUE(r.Covered(160, 80));
    EXPECT_TRUE(r.Covered(160, 160));

    // From 0 to 90 degrees: the upper right quarter.
    r = RenderPie([](vqSVGFileDC& dc) { dc.DrawEllipticArc(60, 60, 200, 120, 0, 90); });
    EXPECT_TRUE(r.Covered(200, 100));
    EXPECT_FALSE(r.Covered(120, 100));
    EXPECT_FALSE(r.Covered(200, 140));
}

}  // namespace
