#include "rotatelabel.h"

#include <gtest/gtest.h>

#include <cmath>

namespace install {
namespace {

using forms::Free;
using forms::New;

TEST(LabelStyle, StartsRaisedWithAGreyShadeUpAndRight) {
  TLabelStyle style;
  EXPECT_EQ(style.AStyle3D(), A3dRaised);
  EXPECT_EQ(style.Angle(), 0);
  EXPECT_EQ(style.AHShadeOffSet(), 5);
  EXPECT_EQ(style.AVShadeOffSet(), -5);
  EXPECT_EQ(style.AShadeRightBottom(), clGray);
  EXPECT_EQ(style.AShadeLeftTop(), clWhite);
  EXPECT_FALSE(style.AShadeLTSet());
}

TEST(LabelStyle, AnglesOutsideTheCircleBecomeZero) {
  TLabelStyle style;
  int changes = 0;
  style.SetOnChange([&] { ++changes; });
  for (int angle : {360, -1, 720}) {
    style.SetAngle(45);
    style.SetAngle(angle);
    EXPECT_EQ(style.Angle(), 0) << angle;
  }
  style.SetAngle(359);
  EXPECT_EQ(style.Angle(), 359);
  int before = changes;
  style.SetAngle(359);
  EXPECT_EQ(changes, before) << "an unchanged angle tells nobody";
}

TEST(LabelStyle, TheLeftTopShadeIsHeldWhiteWhileSet) {
  TLabelStyle style;
  style.SetAShadeLeftTop(0x0000FF);
  style.SetAShadeLTSet(true);
  EXPECT_EQ(style.AShadeLeftTop(), clWhite);
  style.SetAShadeLeftTop(0x00FF00);
  EXPECT_EQ(style.AShadeLeftTop(), clWhite);
  style.SetAShadeLTSet(false);
  EXPECT_EQ(style.AShadeLeftTop(), 0x0000FF);
}

TEST(LabelStyle, ShadowOffsetsRepaintOnlyAShadowedLabel) {
  TLabelStyle style;
  int changes = 0;
  style.SetOnChange([&] { ++changes; });
  style.SetAHShadeOffSet(3);
  style.SetAVShadeOffSet(3);
  EXPECT_EQ(changes, 0);
  style.SetAStyle3D(A3dShadowed);
  style.SetAHShadeOffSet(4);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(style.AHShadeOffSet(), 4);
  EXPECT_EQ(style.AVShadeOffSet(), 3);
}

TEST(LabelStyle, AssignCopiesTheLookAndTells) {
  TLabelStyle source, target;
  source.SetAngle(90);
  source.SetAStyle3D(A3dShadowed);
  source.SetAHShadeOffSet(7);
  int changes = 0;
  target.SetOnChange([&] { ++changes; });
  target.Assign(source);
  EXPECT_EQ(target.Angle(), 90);
  EXPECT_EQ(target.AStyle3D(), A3dShadowed);
  EXPECT_EQ(target.AHShadeOffSet(), 7);
  EXPECT_EQ(changes, 1);
}

class Rotate3DLabel : public ::testing::Test {
protected:
  void SetUp() override {
    label_ = New<TRotate3DLabel>(nullptr);
    label_->SetBounds(0, 0, 200, 60);
    label_->SetCaption("Edition");
  }
  void TearDown() override { Free(label_); }
  TRotate3DLabel* label_ = nullptr;
};

TEST_F(Rotate3DLabel, StartsTransparentBoldArialWithoutAutoSize) {
  EXPECT_TRUE(label_->MyTransparent());
  EXPECT_FALSE(label_->AutoSize());
  EXPECT_EQ(label_->Font().Name(), "Arial");
  EXPECT_TRUE(label_->Font().Bold());
  EXPECT_EQ(label_->Cosine(), 1.0);
  EXPECT_EQ(label_->Sine(), 0.0);
}

TEST_F(Rotate3DLabel, AShadowedCaptionHasItsGreyCopyFivePixelsRightAndUp) {
  label_->LabelStyle().SetAStyle3D(A3dShadowed);
  TLabelPaintPlan plan = label_->PlanPaint(80, 20);
  ASSERT_EQ(plan.passes.size(), 2u);
  // Left aligned: x 0; y = cy - th/2.
  EXPECT_EQ(plan.passes[1].x, 0);
  EXPECT_EQ(plan.passes[1].y, 20);
  EXPECT_EQ(plan.passes[0].color, clGray);
  EXPECT_EQ(plan.passes[0].x, 5);
  EXPECT_EQ(plan.passes[0].y, 15);
  EXPECT_FALSE(plan.fill_background);
}

TEST_F(Rotate3DLabel, RaisedAndSunkenDrawTheShadesOnePixelApart) {
  struct Case {
    T3DEffectShort effect;
    int left_top_offset, right_bottom_offset;
  };
  for (Case c : {Case{A3dRaised, -1, 1}, Case{A3dResit, 1, -1}}) {
    label_->LabelStyle().SetAStyle3D(c.effect);
    TLabelPaintPlan plan = label_->PlanPaint(80, 20);
    ASSERT_EQ(plan.passes.size(), 3u);
    EXPECT_EQ(plan.passes[0].color, clWhite);
    EXPECT_EQ(plan.passes[0].x, c.left_top_offset);
    EXPECT_EQ(plan.passes[1].color, clGray);
    EXPECT_EQ(plan.passes[1].y, 20 + c.right_bottom_offset);
    EXPECT_EQ(plan.passes[2].color, label_->Font().Color());
    EXPECT_EQ(plan.passes[2].x, 0);
  }
}

TEST_F(Rotate3DLabel, CentredAndRotatedPositions) {
  label_->SetAlignment(taCenter);
  label_->LabelStyle().SetAngle(90);
  TLabelPaintPlan plan = label_->PlanPaint(80, 20);
  // c = 0 (to rounding), s = 1: X = 100 - 0 - 10, Y = 40 + 30 - 0.
  EXPECT_NEAR(label_->Cosine(), 0.0, 1e-9);
  EXPECT_NEAR(label_->Sine(), 1.0, 1e-9);
  EXPECT_EQ(plan.passes.back().x, 90);
  EXPECT_EQ(plan.passes.back().y, 70);
  label_->SetAlignment(taRightJustify);
  EXPECT_EQ(label_->PlanPaint(80, 20).passes.back().x, 120);
}

TEST_F(Rotate3DLabel, AnOpaqueLabelIsFlatOnItsRotatedBackground) {
  label_->SetMyTransparent(false);
  TLabelPaintPlan plan = label_->PlanPaint(80, 20);
  EXPECT_EQ(label_->LabelStyle().AStyle3D(), A3dNormal);
  ASSERT_EQ(plan.passes.size(), 1u);
  ASSERT_TRUE(plan.fill_background);
  // Angle 0: the box of 90 x 27 around the centre (100, 30).
  EXPECT_EQ(plan.background[0].x, 55);
  EXPECT_EQ(plan.background[0].y, 17);
  EXPECT_EQ(plan.background[2].x, 145);
  EXPECT_EQ(plan.background[2].y, 43);
}

TEST_F(Rotate3DLabel, TurningOpaqueKeepsTheColour) {
  label_->SetColor(0x123456);
  label_->SetMyTransparent(false);
  EXPECT_EQ(label_->Color(), 0x123456);
  EXPECT_FALSE(label_->ParentColor());
}

TEST_F(Rotate3DLabel, OneLabelAtATimeIsDesignated) {
  TRotate3DLabel* second = New<TRotate3DLabel>(nullptr);
  label_->SetTag(-1);
  EXPECT_EQ(DesignatedLabel(), label_);
  second->SetTag(-1);
  EXPECT_EQ(DesignatedLabel(), second);
  EXPECT_EQ(label_->Tag(), 0);
  second->SetTag(3);
  EXPECT_EQ(DesignatedLabel(), nullptr);
  second->SetTag(-1);
  Free(second);
  EXPECT_EQ(DesignatedLabel(), nullptr);
}

TEST_F(Rotate3DLabel, AssignCopiesCaptionLookAndBounds) {
  TRotate3DLabel* copy = New<TRotate3DLabel>(nullptr);
  label_->LabelStyle().SetAngle(30);
  label_->SetMyTransparent(false);
  copy->Assign(*label_);
  EXPECT_EQ(copy->Caption(), "Edition");
  EXPECT_EQ(copy->LabelStyle().Angle(), 30);
  EXPECT_EQ(copy->Width(), 200);
  EXPECT_FALSE(copy->MyTransparent());
  Free(copy);
}

// Paints into a bitmap and counts the pixels of a colour.
int PixelsOf(TRotate3DLabel& label, COLORREF color) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, label.Width(), label.Height());
  ReleaseDC(nullptr, screen);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  RECT all{0, 0, label.Width(), label.Height()};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  label.Paint(dc);
  int count = 0;
  for (int y = 0; y < label.Height(); ++y)
    for (int x = 0; x < label.Width(); ++x)
      if (GetPixel(dc, x, y) == color) ++count;
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return count;
}

TEST_F(Rotate3DLabel, PaintsTheShadowAndTheCaption) {
  label_->Font().SetSize(20);
  label_->LabelStyle().SetAStyle3D(A3dShadowed);
  EXPECT_GT(PixelsOf(*label_, RGB(0x80, 0x80, 0x80)), 20);
  EXPECT_GT(PixelsOf(*label_, RGB(0, 0, 0)), 20);
  label_->LabelStyle().SetAStyle3D(A3dNormal);
  EXPECT_EQ(PixelsOf(*label_, RGB(0x80, 0x80, 0x80)), 0);
}

}  // namespace
}  // namespace install
