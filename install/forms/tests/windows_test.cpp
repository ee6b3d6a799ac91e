// The window side of the layer, under Wine: the cursor every window shows
// while the screen has one of its own, the colours, pictures and lines the
// layer's windows paint (read back from the window), the clicks of buttons
// inside panels, and the windows of controls made in their parents' order.
#include <windows.h>

#include <gtest/gtest.h>

#include "application.h"
#include "bitmaps.h"
#include "extctrls.h"
#include "form.h"
#include "screen.h"
#include "screenshot.h"
#include "stdctrls.h"

namespace forms_test {
namespace {

using namespace forms;

class Windows : public ::testing::Test {
protected:
  void SetUp() override {
    InitializeApplication();
    form_ = New<TForm>(Application());
    form_->SetCaption("Layer window");
    form_->SetBounds(40, 40, 320, 240);
    panel_ = New<TPanel>(form_);
    panel_->SetAlign(TAlign::alClient);
    panel_->SetParent(form_);
  }
  void TearDown() override { FinalizeApplication(); }
  template <class T>
  T* Add(TWinControl* parent, int32_t left, int32_t top, int32_t width, int32_t height) {
    auto* control = New<T>(form_);
    control->SetBounds(left, top, width, height);
    control->SetParent(parent);
    return control;
  }
  screenshot::Pixels Shoot() {
    form_->Show();
    RedrawWindow(form_->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Application()->ProcessMessages();
    return screenshot::Capture(form_->Handle());
  }
  // Where a point of a control lies in the form's screenshot.
  POINT At(TControl& control, int x, int y) {
    RECT outer, inner;
    GetWindowRect(form_->Handle(), &outer);
    GetWindowRect(control.Handle(), &inner);
    return {inner.left - outer.left + x, inner.top - outer.top + y};
  }
  TForm* form_ = nullptr;
  TPanel* panel_ = nullptr;
};

// What the window sets as the cursor when the mouse moves over it.
HCURSOR CursorAfterMouseMove(HWND window) {
  SetCursor(LoadCursorA(nullptr, IDC_CROSS));
  SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  return GetCursor();
}

TEST_F(Windows, WhileTheScreenHasACursorEveryWindowShowsIt) {
  auto* button = Add<TBitBtn>(panel_, 10, 10, 75, 25);
  auto* label = Add<TLabel>(panel_, 10, 50, 100, 20);
  form_->Show();
  const HCURSOR hourglass = LoadCursorA(nullptr, IDC_WAIT), arrow = LoadCursorA(nullptr, IDC_ARROW);
  {
    TCursorGuard guard(crHourGlass);
    EXPECT_EQ(GetCursor(), hourglass) << "at once";
    for (TControl* control : {static_cast<TControl*>(form_), static_cast<TControl*>(panel_),
                              static_cast<TControl*>(button), static_cast<TControl*>(label)})
      EXPECT_EQ(CursorAfterMouseMove(control->Handle()), hourglass) << control->ClassName();
  }
  EXPECT_EQ(GetCursor(), arrow) << "the normal cursor again";
  EXPECT_EQ(CursorAfterMouseMove(button->Handle()), arrow) << "each window its own";
}

TEST_F(Windows, PanelsImagesAndLinesPaintInTheirColours) {
  form_->SetColor(clWindow);
  auto* image = Add<TImage>(panel_, 10, 10, 40, 30);
  // Pixel (x, y) has the colour RGB(40 x, 60 y, 200).
  image->Picture().SetData(Bmp24(5, 4, [](int32_t x, int32_t y) { return uint32_t(40 * x) << 16 | uint32_t(60 * y) << 8 | 200; }));
  image->SetCenter(true);
  auto* label = Add<TLabel>(panel_, 10, 60, 200, 20);
  label->SetCaption("x");
  auto* bevel = Add<TBevel>(panel_, 0, 120, 300, 2);
  screenshot::Pixels shot = Shoot();
  int32_t x0, y0;
  image->PictureOrigin(x0, y0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      POINT at = At(*image, x0 + x, y0 + y);
      EXPECT_EQ(shot.At(at.x, at.y), RGB(40 * x, 60 * y, 200)) << x << "," << y;
    }
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  for (POINT at : {At(*panel_, 250, 200), At(*image, 1, 1), At(*label, 190, 10)})
    EXPECT_EQ(shot.At(at.x, at.y), window) << "the form's colour through panel, image and label";
  POINT line = At(*bevel, 100, 0);
  EXPECT_EQ(shot.At(line.x, line.y), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(shot.At(line.x, line.y + 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  // A new picture shows at once.
  image->Picture().Clear();
  shot = Shoot();
  POINT middle = At(*image, x0 + 2, y0 + 2);
  EXPECT_EQ(shot.At(middle.x, middle.y), window);
}

TEST_F(Windows, AButtonInsideAPanelIsClicked) {
  auto* button = Add<TBitBtn>(panel_, 10, 10, 75, 25);
  int clicks = 0;
  button->SetOnClick([&](TComponent*) { ++clicks; });
  form_->Show();
  SendMessageA(panel_->Handle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(button->Handle()));
  EXPECT_EQ(clicks, 1);
}

BOOL CALLBACK CountStatics(HWND window, LPARAM count) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpiA(name, "Static") == 0) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

TEST_F(Windows, AControlsWindowAskedForBeforeItsParentsIsMadeOnce) {
  auto* label = Add<TLabel>(panel_, 10, 10, 100, 20);
  HWND window = label->Handle();
  EXPECT_TRUE(form_->HandleAllocated());
  EXPECT_TRUE(IsChild(form_->Handle(), window));
  int statics = 0;
  EnumChildWindows(form_->Handle(), CountStatics, reinterpret_cast<LPARAM>(&statics));
  EXPECT_EQ(statics, 1);
}

}  // namespace
}  // namespace forms_test
