#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "vq/dc.h"

namespace {

// Records the lines the generic operations draw.
class LineRecorder : public vqDC {
public:
    std::vector<std::vector<int>> lines;

protected:
    void DoDrawLine(int x1, int y1, int x2, int y2) override {
        lines.push_back({x1, y1, x2, y2});
        CalcBoundingBox(x1, y1);
        CalcBoundingBox(x2, y2);
    }
};

TEST(DCBaseTest, PublicCallsReachTheVirtualOperations) {
    LineRecorder dc;
    vqPoint pts[] = {vqPoint(0, 0), vqPoint(10, 0), vqPoint(10, 10)};
    dc.DrawLines(3, pts, 1, 2);
    ASSERT_EQ(dc.lines.size(), 2u);
    EXPECT_EQ(dc.lines[1], (std::vector<int>{11, 2, 11, 12}));
    EXPECT_EQ(dc.MinX(), 1);
    EXPECT_EQ(dc.MaxY(), 12);
    dc.ResetBoundingBox();
    dc.DrawCheckMark(0, 0, 30, 30);
    EXPECT_EQ(dc.lines.size(), 4u);
    EXPECT_EQ(dc.MinX(), 0);
    EXPECT_EQ(dc.MaxX(), 30);
}

TEST(DCBaseTest, MappingRoundsAwayFromZero) {
    LineRecorder dc;
    dc.SetUserScale(1.5, 1.5);
    EXPECT_EQ(dc.LogicalToDeviceXRel(1), 2);
    EXPECT_EQ(dc.LogicalToDeviceXRel(-1), -2);
    dc.SetUserScale(0.0, 0.0);
    EXPECT_EQ(dc.DeviceToLogicalXRel(5), 0);
    dc.SetUserScale(1.0, 1.0);
    dc.SetAxisOrientation(true, true);
    dc.SetDeviceOrigin(0, 100);
    EXPECT_EQ(dc.LogicalToDeviceY(10), 90);
}

TEST(DCBaseTest, SumsAtTheEdgeOfTheIntRangeSaturate) {
    LineRecorder dc;
    dc.DrawCheckMark(INT_MAX - 1, INT_MAX - 1, 10, 10);
    ASSERT_EQ(dc.lines.size(), 2u);
    EXPECT_EQ(dc.lines[0], (std::vector<int>{INT_MAX - 1, INT_MAX, INT_MAX, INT_MAX}));
    EXPECT_EQ(dc.lines[1], (std::vector<int>{INT_MAX, INT_MAX, INT_MAX, INT_MAX - 1}));
    EXPECT_EQ(dc.MinY(), INT_MAX - 1);
    vqPoint pts[] = {vqPoint(INT_MAX, INT_MIN), vqPoint(0, 0)};
    dc.DrawLines(2, pts, 10, -10);
    EXPECT_EQ(dc.lines[2], (std::vector<int>{INT_MAX, INT_MIN, 10, -10}));

    // A flipped axis cannot negate INT_MIN: the origin saturates, and so do the mappings.
    dc.SetAxisOrientation(false, true);
    dc.SetLogicalOrigin(INT_MIN, INT_MIN);
    int x = 0, y = 0;
    dc.GetLogicalOrigin(&x, &y);
    EXPECT_EQ(x, INT_MAX);
    EXPECT_EQ(y, INT_MAX);
    EXPECT_EQ(dc.LogicalToDeviceX(INT_MIN), INT_MAX);
    EXPECT_EQ(dc.LogicalToDeviceY(INT_MAX), 0);
}

}  // namespace
