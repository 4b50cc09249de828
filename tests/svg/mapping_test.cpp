#include "svg_test_util.h"

namespace {

using svgtest::ReadFile;
using svgtest::ScratchDir;
using svgtest::V;

// Runs the setup, draws one rectangle and returns the transform of its group.
template <class F>
std::string TransformAfter(F setup, float dpi = 72) {
    ScratchDir dir;
    std::string path = dir.Path("map.svg");
    {
        vqSVGFileDC dc(V(path), 320, 240, dpi);
        setup(dc);
        dc.DrawRectangle(0, 0, 1, 1);
    }
    std::string doc = ReadFile(path);
    size_t start = doc.rfind("transform=\"");
    if (start == std::string::npos) return "";
    start += 11;
    return doc.substr(start, doc.find('"', start) - start);
}

TEST(SvgMappingTest, TransformFollowsScaleAndOrigins) {
    EXPECT_EQ(TransformAfter([](vqSVGFileDC& dc) { dc.SetUserScale(2.0, 3.0); }),
              "translate(0 0) scale(2 3)");
    EXPECT_EQ(TransformAfter([](vqSVGFileDC& dc) { dc.SetLogicalOrigin(10, 20); }),
              "translate(10 20) scale(1 1)");
    EXPECT_EQ(TransformAfter([](vqSVGFileDC& dc) {
                  dc.SetAxisOrientation(true, true);
                  dc.SetLogicalOrigin(10, 20);
              }),
              "translate(10 -20) scale(1 1)");
    EXPECT_EQ(TransformAfter([](vqSVGFileDC& dc) {
                  dc.SetLogicalScale(2.0, 2.0);
                  dc.SetLogicalOrigin(1, 1);
                  dc.SetDeviceOrigin(5, 5);
              }),
              "translate(7 7) scale(2 2)");
    // Large offsets keep their digits.
    EXPECT_EQ(TransformAfter([](vqSVGFileDC& dc) { dc.SetDeviceOrigin(1234, -5678); }),
              "translate(1234 -5678) scale(1 1)");
}

TEST(SvgMappingTest, MapModesScaleByTheResolution) {
    EXPECT_EQ(TransformAfter([](vqSVGFileDC& dc) { dc.SetMapMode(vqMM_METRIC); }),
              "translate(0 0) scale(2.83465 2.83465)");
    EXPECT_EQ(TransformAfter([](vqSVGFileDC& dc) { dc.SetMapMode(vqMM_POINTS); }),
              "translate(0 0) scale(1 1)");
    EXPECT_EQ(TransformAfter([](vqSVGFileDC& dc) { dc.SetMapMode(vqMM_LOMETRIC); }, 254),
              "translate(0 0) scale(1 1)");
    EXPECT_EQ(TransformAfter([](vqSVGFileDC& dc) { dc.SetMapMode(vqMM_TWIPS); }, 1440),
              "translate(0 0) scale(1 1)");
    for (int mode : {int(vqMM_TEXT), 3, 77}) {
        EXPECT_EQ(TransformAfter([mode](vqSVGFileDC& dc) {
                      dc.SetUserScale(2, 2);
                      dc.SetMapMode(mode);
                  }),
                  "translate(0 0) scale(2 2)")
            << mode;
    }
}

TEST(SvgMappingTest, MapModeIsReported) {
    ScratchDir dir;
    vqSVGFileDC dc(V(dir.Path("m.svg")));
    dc.SetMapMode(vqMM_METRIC);
    EXPECT_EQ(dc.GetMapMode(), vqMM_METRIC);
    double x = 0, y = 0;
    dc.SetUserScale(1.5, 2.5);
    dc.GetUserScale(&x, &y);
    EXPECT_EQ(x, 1.5);
    EXPECT_EQ(y, 2.5);
}

TEST(SvgMappingTest, ConversionsRoundAwayFromZero) {
    ScratchDir dir;
    vqSVGFileDC dc(V(dir.Path("c.svg")));
    dc.SetUserScale(2.0, 3.0);
    EXPECT_EQ(dc.LogicalToDeviceX(10), 20);
    EXPECT_EQ(dc.LogicalToDeviceY(10), 30);
    dc.SetUserScale(1.5, 1.5);
    EXPECT_EQ(dc.LogicalToDeviceXRel(1), 2);
    EXPECT_EQ(dc.LogicalToDeviceXRel(-1), -2);
    dc.SetUserScale(0.25, 0.25);
    EXPECT_EQ(dc.LogicalToDeviceXRel(2), 1);
    EXPECT_EQ(dc.LogicalToDeviceXRel(0), 0);
    EXPECT_EQ(dc.DeviceToLogicalXRel(1), 4);
    dc.SetUserScale(-1.0, 1.0);
    EXPECT_EQ(dc.LogicalToDeviceXRel(3), -2);
}

TEST(SvgMappingTest, ConversionsApplyOriginsAndAxes) {
    ScratchDir dir;
    vqSVGFileDC dc(V(dir.Path("o.svg")));
    dc.SetDeviceOrigin(100, 200);
    dc.SetLogicalOrigin(10, 20);
    dc.SetAxisOrientation(true, true);
    // The stored logical origin keeps its sign from before the orientation change.
    EXPECT_EQ(dc.LogicalToDeviceX(15), 105);
    EXPECT_EQ(dc.LogicalToDeviceY(25), 195);
    EXPECT_EQ(dc.DeviceToLogicalX(105), 15);
    EXPECT_EQ(dc.DeviceToLogicalY(195), 25);
}

TEST(SvgMappingTest, ZeroScaleNeverDivides) {
    ScratchDir dir;
    vqSVGFileDC dc(V(dir.Path("z.svg")));
    dc.SetLogicalOrigin(7, 9);
    dc.SetUserScale(0.0, 0.0);
    EXPECT_EQ(dc.DeviceToLogicalX(50), 7);
    EXPECT_EQ(dc.DeviceToLogicalY(50), 9);
    EXPECT_EQ(dc.DeviceToLogicalXRel(50), 0);
    EXPECT_EQ(dc.DeviceToLogicalYRel(-50), 0);
    EXPECT_EQ(dc.LogicalToDeviceX(50), 0);
}

TEST(SvgMappingTest, HugeValuesSaturateInsteadOfOverflowing) {
    ScratchDir dir;
    vqSVGFileDC dc(V(dir.Path("h.svg")));
    dc.SetUserScale(1e12, 1e12);
    EXPECT_EQ(dc.LogicalToDeviceXRel(5), INT_MAX);
    EXPECT_EQ(dc.LogicalToDeviceXRel(-5), INT_MIN);
    dc.SetUserScale(1, 1);
    dc.SetLogicalOrigin(-10, -10);
    EXPECT_EQ(dc.LogicalToDeviceX(INT_MAX), INT_MAX);
}

TEST(SvgMappingTest, FlippedAxesSaturateTheSmallestOrigin) {
    ScratchDir dir;
    vqSVGFileDC dc(V(dir.Path("f.svg")));
    dc.SetAxisOrientation(false, true);
    dc.SetLogicalOrigin(INT_MIN, INT_MIN);
    int x = 0, y = 0;
    dc.GetLogicalOrigin(&x, &y);
    EXPECT_EQ(x, INT_MAX);
    EXPECT_EQ(y, INT_MAX);
    dc.SetLogicalOrigin(INT_MAX, -5);
    dc.GetLogicalOrigin(&x, &y);
    EXPECT_EQ(x, -INT_MAX);
    EXPECT_EQ(y, 5);
    EXPECT_EQ(
        TransformAfter([](vqSVGFileDC& dc) {
            dc.SetAxisOrientation(false, false);
            dc.SetLogicalOrigin(INT_MIN, 0);
        }),
        "translate(" + vqString::Format(vqT("%g"), double(INT_MAX)).ToUTF8() + " 0) scale(1 1)");
}

TEST(SvgMappingTest, EverySetterStartsANewGroup) {
    ScratchDir dir;
    std::string path = dir.Path("g.svg");
    {
        vqSVGFileDC dc(V(path));
        dc.DrawPoint(0, 0);
        dc.SetUserScale(1, 1);
        dc.DrawPoint(0, 0);
        dc.SetLogicalScale(1, 1);
        dc.DrawPoint(0, 0);
        dc.SetLogicalOrigin(0, 0);
        dc.DrawPoint(0, 0);
        dc.SetDeviceOrigin(0, 0);
        dc.DrawPoint(0, 0);
        dc.SetAxisOrientation(true, false);
        dc.DrawPoint(0, 0);
        dc.SetMapMode(vqMM_TEXT);
        dc.DrawPoint(0, 0);
    }
    std::string doc = ReadFile(path);
    size_t groups = 0;
    for (size_t p = doc.find("</g>\n<g style=\"fill"); p != std::string::npos;
         p = doc.find("</g>\n<g style=\"fill", p + 1))
        ++groups;
    EXPECT_EQ(groups, 7u);
    svgtest::ExpectValidDocument(path);
}

}  // namespace
