#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "vq/gdi.h"
#include "test_support.h"

namespace {

class Shape : public vqObject {
    VQ_DECLARE_DYNAMIC_CLASS(Shape)
};
VQ_IMPLEMENT_DYNAMIC_CLASS(Shape, vqObject)

class Circle : public Shape {
    VQ_DECLARE_DYNAMIC_CLASS(Circle)
};
VQ_IMPLEMENT_DYNAMIC_CLASS(Circle, Shape)

TEST(ClassInfoTest, RegistryFindsAndCreatesByName) {
    vqClassInfo* info = vqClassInfo::FindClass(vqT("Circle"));
    ASSERT_EQ(info, &Circle::ms_classInfo);
    EXPECT_TRUE(info->IsKindOf(&Shape::ms_classInfo));
    EXPECT_FALSE(Shape::ms_classInfo.IsKindOf(&Circle::ms_classInfo));
    vqObject* object = vqClassInfo::CreateObject(vqT("Circle"));
    ASSERT_NE(object, nullptr);
    EXPECT_NE(vqDynamicCast<Shape>(object), nullptr);
    delete object;
    EXPECT_EQ(vqClassInfo::CreateObject(vqT("NoSuchClass")), nullptr);
}

TEST(ClassInfoTest, RecordsAreLinkedAtTheHeadOfTheChain) {
    bool seenCircle = false;
    for (const vqClassInfo* info = vqClassInfo::GetFirst(); info; info = info->GetNext())
        if (info == &Circle::ms_classInfo) seenCircle = true;
    EXPECT_TRUE(seenCircle);
}

TEST(GdiTest, CopiesShareDataUntilWritten) {
    vqPen a(vqColour(1, 2, 3), 4, vqDOT);
    vqPen b = a;
    EXPECT_EQ(a.GetRefData(), b.GetRefData());
    EXPECT_EQ(a.GetRefData()->GetRefCount(), 2);
    b.SetWidth(9);
    EXPECT_NE(a.GetRefData(), b.GetRefData());
    EXPECT_EQ(a.GetWidth(), 4);
    EXPECT_EQ(b.GetWidth(), 9);
    EXPECT_EQ(b.GetStyle(), vqDOT);
    EXPECT_EQ(a.GetRefData()->GetRefCount(), 1);
    EXPECT_EQ(b.GetRefData()->GetRefCount(), 1);
}

TEST(GdiTest, ObjectsWithoutDataAnswerNeutralValues) {
    vqPen pen;
    EXPECT_FALSE(pen.Ok());
    EXPECT_EQ(pen.GetWidth(), 0);
    EXPECT_EQ(pen.GetStyle(), 0);
    EXPECT_EQ(pen.GetColour(), vqNullColour);
    vqBrush brush;
    EXPECT_EQ(brush.GetStyle(), 0);
    EXPECT_FALSE(vqNullColour.Ok());
}

TEST(GdiTest, StockObjectsHaveTheirNumbers) {
    EXPECT_EQ(vqStockGDI::GetBrush(vqStockGDI::BRUSH_TRANSPARENT).GetStyle(), vqTRANSPARENT);
    EXPECT_EQ(vqStockGDI::GetBrush(vqStockGDI::BRUSH_WHITE).GetColour(), vqColour(255, 255, 255));
    EXPECT_EQ(vqStockGDI::GetColour(vqStockGDI::COLOUR_BLACK), vqColour(0, 0, 0));
    EXPECT_EQ(vqStockGDI::GetColour(vqStockGDI::COLOUR_WHITE), vqColour(255, 255, 255));
    EXPECT_EQ(vqStockGDI::GetPen(vqStockGDI::PEN_BLACK).GetColour(), vqColour(0, 0, 0));
    EXPECT_EQ(vqStockGDI::GetPen(vqStockGDI::PEN_BLACK).GetStyle(), vqSOLID);
    EXPECT_TRUE(vqStockGDI::GetFont(vqStockGDI::FONT_NORMAL).Ok());
}

TEST(GdiTest, BitmapPixelsAreReal) {
    vqBitmap bmp(3, 2);
    vqColour c;
    ASSERT_TRUE(bmp.GetPixel(2, 1, &c));
    EXPECT_EQ(c, vqColour(0, 0, 0));
    vqBitmap copy = bmp;
    copy.SetPixel(2, 1, vqColour(10, 20, 30));
    ASSERT_TRUE(copy.GetPixel(2, 1, &c));
    EXPECT_EQ(c, vqColour(10, 20, 30));
    ASSERT_TRUE(bmp.GetPixel(2, 1, &c));
    EXPECT_EQ(c, vqColour(0, 0, 0));
    EXPECT_FALSE(bmp.GetPixel(3, 0, &c));
    EXPECT_FALSE(vqBitmap(0, 5).Ok());
}

TEST(GdiTest, BitmapsBeyondTheBoundHaveNoDataAndNeverThrow) {
    vqtest::ErrorLog log;
    EXPECT_FALSE(vqBitmap(INT_MAX, INT_MAX).Ok());
    EXPECT_FALSE(vqBitmap(1 << 16, (1 << 12) + 1).Ok());
    ASSERT_EQ(log.errors.size(), 2u);
    EXPECT_NE(log.errors[0].find("2147483647 x 2147483647"), std::string::npos) << log.errors[0];
    vqBitmap edge(1 << 14, 1);
    EXPECT_TRUE(edge.Ok());
    EXPECT_EQ(log.errors.size(), 2u);
}

}  // namespace
