#include "svg_test_util.h"

namespace {

using svgtest::Body;
using svgtest::InitialGroup;
using svgtest::ReadFile;
using svgtest::ScratchDir;
using svgtest::V;

struct Box {
    bool valid;
    int minX, minY, maxX, maxY;
    bool operator==(const Box& o) const {
        return valid == o.valid &&
               (!valid || (minX == o.minX && minY == o.minY && maxX == o.maxX && maxY == o.maxY));
    }
};

std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << (b.valid ? "" : "invalid ") << b.minX << "," << b.minY << " - " << b.maxX << ","
              << b.maxY;
}

// Draws one thing on a fresh surface; returns the elements written after the
// first style group, and the bounding box.
template <class F>
std::pair<std::string, Box> Draw(F draw) {
    Box box{};
    std::string body = svgtest::DrawBody([&](vqSVGFileDC& dc) {
        draw(dc);
        box = {dc.IsBoundingBoxValid(), dc.MinX(), dc.MinY(), dc.MaxX(), dc.MaxY()};
    });
    std::string group = InitialGroup();
    if (body.compare(0, group.size(), group) == 0) body = body.substr(group.size());
    return {body, box};
}

TEST(SvgShapesTest, RectanglesAndRoundedRectangles) {
    auto r = Draw([](vqSVGFileDC& dc) { dc.DrawRectangle(10, 20, 30, 40); });
    EXPECT_EQ(r.first, " <rect x=\"10\" y=\"20\" width=\"30\" height=\"40\" rx=\"0\"  /> \n");
    EXPECT_EQ(r.second, (Box{true, 10, 20, 40, 60}));

    r = Draw([](vqSVGFileDC& dc) {
        dc.DrawRoundedRectangle(0, 0, 5, 5, 100.0);
        dc.DrawRoundedRectangle(0, 0, 5, 5, 12.25);
        dc.DrawRoundedRectangle(0, 0, 5, 5, 1234.5);
    });
    EXPECT_EQ(r.first,
              " <rect x=\"0\" y=\"0\" width=\"5\" height=\"5\" rx=\"100\"  /> \n"
              " <rect x=\"0\" y=\"0\" width=\"5\" height=\"5\" rx=\"12.25\"  /> \n"
              " <rect x=\"0\" y=\"0\" width=\"5\" height=\"5\" rx=\"1234.5\"  /> \n");

    // Negative sizes are written unchanged and widen the box on the other side.
    r = Draw([](vqSVGFileDC& dc) { dc.DrawRectangle(10, 10, -20, -5); });
    EXPECT_EQ(r.first, " <rect x=\"10\" y=\"10\" width=\"-20\" height=\"-5\" rx=\"0\"  /> \n");
    EXPECT_EQ(r.second, (Box{true, -10, 5, 10, 10}));
}

TEST(SvgShapesTest, EllipsesTruncateTheirRadii) {
    auto r = Draw([](vqSVGFileDC& dc) { dc.DrawEllipse(0, 0, 5, 4); });
    EXPECT_EQ(r.first, "<ellipse cx=\"2\" cy=\"2\" rx=\"2\" ry=\"2\"  /> \n");
    EXPECT_EQ(r.second, (Box{true, 0, 0, 5, 4}));
    r = Draw([](vqSVGFileDC& dc) { dc.DrawEllipse(10, 10, -5, 101); });
    EXPECT_EQ(r.first, "<ellipse cx=\"8\" cy=\"60\" rx=\"-2\" ry=\"50\"  /> \n");
}

TEST(SvgShapesTest, PolylinesWriteOnePathPerSegment) {
    vqPoint pts[] = {vqPoint(0, 0), vqPoint(10, 5), vqPoint(20, 0)};
    auto r = Draw([&](vqSVGFileDC& dc) { dc.DrawLines(3, pts, 100, 200); });
    EXPECT_EQ(r.first, "<path d=\"M100 200 L110 205\" /> \n<path d=\"M110 205 L120 200\" /> \n");
    EXPECT_EQ(r.second, (Box{true, 100, 200, 120, 205}));
    for (int n : {0, 1}) {
        r = Draw([&](vqSVGFileDC& dc) { dc.DrawLines(n, pts); });
        EXPECT_EQ(r.first, "") << n;
        EXPECT_FALSE(r.second.valid) << n;
    }
}

TEST(SvgShapesTest, PolygonsListOffsetPointsWithTheirFillRule) {
    vqPoint pts[] = {vqPoint(1, 2), vqPoint(3, 4), vqPoint(5, 0)};
    auto r = Draw([&](vqSVGFileDC& dc) { dc.DrawPolygon(3, pts, 10, 20, vqODDEVEN_RULE); });
    EXPECT_EQ(r.first,
              "<polygon style=\"fill-rule:evenodd; \" \npoints=\"11,22\n13,24\n15,20\n\" /> \n");
    EXPECT_EQ(r.second, (Box{true, 11, 20, 15, 24}));
    r = Draw([&](vqSVGFileDC& dc) {
        dc.DrawPolygon(1, pts, 0, 0, vqWINDING_RULE);
        dc.DrawPolygon(1, pts, 0, 0, 7);
    });
    EXPECT_EQ(r.first,
              "<polygon style=\"fill-rule:nonzero; \" \npoints=\"1,2\n\" /> \n"
              "<polygon style=\"fill-rule:nonzero; \" \npoints=\"1,2\n\" /> \n");
    r = Draw([&](vqSVGFileDC& dc) { dc.DrawPolygon(0, pts, 0, 0, vqWINDING_RULE); });
    EXPECT_EQ(r.first, "<polygon style=\"fill-rule:nonzero; \" \npoints=\"\" /> \n");
    EXPECT_FALSE(r.second.valid);
}

TEST(SvgShapesTest, PointsAreRoundCappedZeroLengthLines) {
    auto r = Draw([](vqSVGFileDC& dc) { dc.DrawPoint(3, 4); });
    EXPECT_EQ(r.first, "<g style = \"stroke-linecap:round;\" > \n<path d=\"M3 4 L3 4\" /> \n</g>");
    EXPECT_EQ(r.second, (Box{true, 3, 4, 3, 4}));
}

TEST(SvgShapesTest, CheckMarkIsDrawnWithLines) {
    auto r = Draw([](vqSVGFileDC& dc) { dc.DrawCheckMark(0, 0, 30, 30); });
    EXPECT_EQ(r.first.find("<path d=\"M"), 0u);
    EXPECT_EQ(r.second, (Box{true, 0, 0, 30, 30}));
}

TEST(SvgShapesTest, CheckMarkAtTheEdgeOfTheIntRangeSaturates) {
    auto r = Draw([](vqSVGFileDC& dc) { dc.DrawCheckMark(INT_MAX - 1, INT_MAX - 1, 10, 10); });
    const std::string max = std::to_string(INT_MAX), nearMax = std::to_string(INT_MAX - 1);
    EXPECT_EQ(r.first, "<path d=\"M" + nearMax + " " + max + " L" + max + " " + max + "\" /> \n" +
                           "<path d=\"M" + max + " " + max + " L" + max + " " + nearMax +
                           "\" /> \n");
    EXPECT_EQ(r.second, (Box{true, INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX}));
    r = Draw([](vqSVGFileDC& dc) { dc.DrawCheckMark(INT_MIN, INT_MIN, -9, -9); });
    EXPECT_EQ(r.second, (Box{true, INT_MIN, INT_MIN, INT_MIN, INT_MIN}));
}

TEST(SvgShapesTest, HugeCoordinatesStayWithinInt) {
    vqPoint pts[] = {vqPoint(INT_MAX, INT_MIN), vqPoint(0, 0)};
    auto r = Draw([&](vqSVGFileDC& dc) {
        dc.DrawRectangle(INT_MAX, INT_MIN, INT_MAX, -INT_MAX);
        dc.DrawEllipse(INT_MAX, 0, INT_MAX, 2);
        dc.DrawPolygon(2, pts, 10, -10);
        dc.DrawLines(2, pts, 10, -10);
    });
    EXPECT_NE(r.first.find("<ellipse cx=\"2147483647\""), std::string::npos);
    EXPECT_NE(r.first.find("points=\"2147483647,-2147483648\n10,-10\n"), std::string::npos);
    EXPECT_EQ(r.second, (Box{true, 10, INT_MIN, INT_MAX, 2}));
}

TEST(SvgShapesTest, LinesStopWritingAfterAFailureButStillCountInTheBox) {
    const std::string full = svgtest::FullDevice();
    if (full.empty()) GTEST_SKIP() << "Windows has no device that is always full";
    vqSVGFileDC dc(V(full));
    for (int i = 0; i < 20000 && dc.Ok(); ++i) dc.DrawRectangle(0, 0, 1, 1);
    ASSERT_FALSE(dc.Ok());
    dc.ResetBoundingBox();
    dc.DrawLine(-7, -8, 70, 80);
    EXPECT_EQ(dc.MinX(), -7);
    EXPECT_EQ(dc.MaxY(), 80);
}

TEST(SvgShapesTest, ElementsLandInsideTheGroupOpenAtTheTime) {
    auto r = Draw([](vqSVGFileDC& dc) {
        dc.DrawLine(0, 0, 1, 1);
        dc.SetPen(vqPen(vqColour(255, 0, 0), 4));
        dc.DrawLine(2, 2, 3, 3);
        dc.DrawLine(4, 4, 5, 5);
    });
    size_t group = r.first.find("<g style=");
    ASSERT_NE(group, std::string::npos);
    EXPECT_LT(r.first.find("M0 0 L1 1"), group);
    EXPECT_GT(r.first.find("M2 2 L3 3"), group);
    EXPECT_EQ(r.first.find("<g style=", group + 1), std::string::npos);
}

}  // namespace
