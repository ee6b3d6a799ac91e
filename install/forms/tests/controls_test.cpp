// The platform-free side of controls: where aligned controls go, the colour
// a control takes from its parent, where an image puts its picture, and the
// screen's cursor with its guard.
#include <gtest/gtest.h>

#include <stdexcept>

#include "bitmaps.h"
#include "extctrls.h"
#include "screen.h"

namespace forms_test {
namespace {

using namespace forms;

struct Bounds {
  int32_t left, top, width, height;
  bool operator==(const Bounds& other) const {
    return left == other.left && top == other.top && width == other.width && height == other.height;
  }
};

void PrintTo(const Bounds& b, std::ostream* os) { *os << b.left << "," << b.top << " " << b.width << "x" << b.height; }

Bounds BoundsOf(const TControl& control) { return {control.Left(), control.Top(), control.Width(), control.Height()}; }

class Layout : public ::testing::Test {
protected:
  void SetUp() override {
    panel_ = New<TPanel>(nullptr);
    panel_->SetBounds(0, 0, 400, 300);
  }
  void TearDown() override { Free(panel_); }
  template <class T = TPanel>
  T* Child(TAlign align, int32_t width, int32_t height, TWinControl* parent = nullptr) {
    auto* child = New<T>(panel_);
    child->SetBounds(5, 5, width, height);
    child->SetAlign(align);
    child->SetParent(parent ? parent : panel_);
    return child;
  }
  TPanel* panel_ = nullptr;
};

TEST_F(Layout, SidesFirstInTheirOrderThenTheRest) {
  TPanel* client = Child(TAlign::alClient, 1, 1);
  TPanel* bottom = Child(TAlign::alBottom, 1, 49);
  TPanel* left = Child(TAlign::alLeft, 136, 1);
  TPanel* top = Child(TAlign::alTop, 1, 20);
  TPanel* right = Child(TAlign::alRight, 30, 1);
  TPanel* free = Child(TAlign::alNone, 10, 10);
  EXPECT_EQ(BoundsOf(*top), (Bounds{0, 0, 400, 20}));
  EXPECT_EQ(BoundsOf(*bottom), (Bounds{0, 251, 400, 49}));
  EXPECT_EQ(BoundsOf(*left), (Bounds{0, 20, 136, 231}));
  EXPECT_EQ(BoundsOf(*right), (Bounds{370, 20, 30, 231}));
  EXPECT_EQ(BoundsOf(*client), (Bounds{136, 20, 234, 231}));
  EXPECT_EQ(BoundsOf(*free), (Bounds{5, 5, 10, 10}));
  // A new size lays them out again, down to the controls they hold.
  TPanel* inner = Child(TAlign::alClient, 1, 1, client);
  panel_->SetBounds(0, 0, 500, 400);
  EXPECT_EQ(BoundsOf(*bottom), (Bounds{0, 351, 500, 49}));
  EXPECT_EQ(BoundsOf(*client), (Bounds{136, 20, 334, 331}));
  EXPECT_EQ(BoundsOf(*inner), (Bounds{0, 0, 334, 331}));
}

TEST_F(Layout, TheBorderWidthKeepsTheAlignedControlsFromTheEdges) {
  panel_->SetBorderWidth(8);
  TPanel* client = Child(TAlign::alClient, 1, 1);
  TPanel* free = Child(TAlign::alNone, 10, 10);
  EXPECT_EQ(BoundsOf(*client), (Bounds{8, 8, 384, 284}));
  EXPECT_EQ(BoundsOf(*free), (Bounds{5, 5, 10, 10}));
  // Taken away, the aligned control fills the panel again.
  client->SetParent(nullptr);
  panel_->SetBorderWidth(0);
  client->SetParent(panel_);
  EXPECT_EQ(BoundsOf(*client), (Bounds{0, 0, 400, 300}));
}

TEST_F(Layout, AControlTakesItsParentsColourUntilItHasItsOwn) {
  TPanel* child = Child(TAlign::alClient, 1, 1);
  EXPECT_EQ(child->Color(), clBtnFace);
  panel_->SetColor(clWindow);
  EXPECT_FALSE(panel_->ParentColor());
  EXPECT_EQ(child->Color(), clWindow);
  child->SetColor(clWhite);
  EXPECT_FALSE(child->ParentColor());
  panel_->SetColor(clGray);
  EXPECT_EQ(child->Color(), clWhite);
  child->SetParentColor(true);
  EXPECT_EQ(child->Color(), clGray);
}

TEST_F(Layout, AnImageCentresItsPictureOrPutsItAtTheTopLeft) {
  auto* image = Child<TImage>(TAlign::alNone, 136, 319);
  image->Picture().SetData(Bmp({3, 2, 24, 0}));
  int32_t x, y;
  image->PictureOrigin(x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  image->SetCenter(true);
  image->PictureOrigin(x, y);
  EXPECT_EQ(x, 66);
  EXPECT_EQ(y, 158);
}

TEST(ScreenCursor, TheGuardPutsThePreviousCursorBackOnEveryWayOut) {
  ASSERT_EQ(Screen().Cursor(), crDefault);
  {
    TCursorGuard hourglass(crHourGlass);
    EXPECT_EQ(Screen().Cursor(), crHourGlass);
    {
      TCursorGuard arrow(crArrow);
      EXPECT_EQ(Screen().Cursor(), crArrow);
    }
    EXPECT_EQ(Screen().Cursor(), crHourGlass);
    try {
      TCursorGuard arrow(crArrow);
      throw std::runtime_error("the user cancelled");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Screen().Cursor(), crHourGlass);
  }
  EXPECT_EQ(Screen().Cursor(), crDefault);
}

}  // namespace
}  // namespace forms_test
