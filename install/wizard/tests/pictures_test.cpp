// The pictures of the wizard as the user sees them: each page of the
// product's script is shown, its window read back (and saved as a
// screenshot under page-shots in the build folder), and the theme picture
// found pixel for pixel in its place, on the window colour, above the
// etched line of the button bar; a dialog's own picture takes the install's
// place and is stored with the script. The pictures are decoded here, not
// by the form layer.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "application.h"
#include "pages.h"
#include "progresswindows.h"
#include "screenshot.h"
#include "stream.h"
#include "wizardfixture.h"

namespace wizard_test {
namespace {

using namespace forms;
using namespace install;

// The colour of pixel (x, y) (top row 0) of a 24-bit bottom-up BMP file.
COLORREF BmpPixel(const std::string& file, int x, int y) {
  int32_t width, height;
  uint32_t offset;
  std::memcpy(&offset, file.data() + 10, 4);
  std::memcpy(&width, file.data() + 18, 4);
  std::memcpy(&height, file.data() + 22, 4);
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
  const auto* pixel = reinterpret_cast<const unsigned char*>(file.data()) + offset +
                      static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 3;
  return RGB(pixel[2], pixel[1], pixel[0]);
}

// The pixels of a picture in a window's screenshot that differ from the
// picture (where the image control shows it).
int PixelsUnlike(const screenshot::Pixels& shot, HWND window, TImage& image) {
  RECT outer, inner;
  GetWindowRect(window, &outer);
  GetWindowRect(image.Handle(), &inner);
  int32_t x0, y0;
  image.PictureOrigin(x0, y0);
  x0 += inner.left - outer.left;
  y0 += inner.top - outer.top;
  const TPicture& picture = image.Picture();
  int unlike = 0;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      unlike += shot.At(x0 + x, y0 + y) != BmpPixel(picture.Data(), x, y);
  return unlike;
}

// Where a control lies in a window's screenshot.
POINT Offset(HWND window, TControl& control) {
  RECT outer, inner;
  GetWindowRect(window, &outer);
  GetWindowRect(control.Handle(), &inner);
  return {inner.left - outer.left, inner.top - outer.top};
}

// The window painted, then read back and saved for whoever looks.
screenshot::Pixels Shoot(HWND window, const std::string& name) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  Application()->ProcessMessages();
  screenshot::Pixels shot = screenshot::Capture(window);
  CreateDirectoryA(PAGE_SHOTS_DIR, nullptr);
  shot.SaveAs(std::string(PAGE_SHOTS_DIR) + "\\" + name + ".bmp");
  return shot;
}

class PagePictures : public Pages {};

TEST_F(PagePictures, TheInstallsThemeIsTheProgramsPicture) {
  const TPicture& theme = Install()->DialogThemeBitmap();
  EXPECT_EQ(theme.ResourceName(), "INSTALLTHEME1");
  EXPECT_EQ(theme.Width(), 117);
  EXPECT_EQ(theme.Height(), 290);
}

TEST_F(PagePictures, EveryPageShowsTheThemePictureOnTheWindowColour) {
  const COLORREF window_colour = GetSysColor(COLOR_WINDOW);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  int pages_seen = 0;
  for (const char* manager : {"BeforeInstallManager", "GoodInstallManager", "BadInstallManager", "RebootManager"}) {
    Host(manager);
    host_->Show();
    for (int index = 0; index < static_cast<int>(host_->Pages().size()); ++index) {
      ASSERT_TRUE(host_->ShowPage(index, false));
      auto* page = Page<TWizardPage>(index);
      ASSERT_NE(page, nullptr);
      SCOPED_TRACE(page->Caption());
      EXPECT_EQ(page->ThemeBitmap()->Picture().Data(), Install()->DialogThemeBitmap().Data());
      screenshot::Pixels shot = Shoot(host_->Handle(), page->Caption());
      EXPECT_EQ(PixelsUnlike(shot, host_->Handle(), *page->ThemeBitmap()), 0);
      // The strip beside the picture, the empty foot of the texts and the
      // etched line over the buttons.
      POINT strip = Offset(host_->Handle(), *page->PicturePanel());
      EXPECT_EQ(shot.At(strip.x + 2, strip.y + 2), window_colour);
      POINT text = Offset(host_->Handle(), *page->TextPanel());
      EXPECT_EQ(shot.At(text.x + page->TextPanel()->Width() - 3, text.y + page->TextPanel()->Height() - 3),
                window_colour);
      POINT bar = Offset(host_->Handle(), *page->ButtonPanel());
      EXPECT_EQ(shot.At(bar.x + 40, bar.y), shadow);
      EXPECT_EQ(shot.At(bar.x + 40, bar.y + 4), window_colour);
      ++pages_seen;
    }
    Free(host_);
  }
  EXPECT_EQ(pages_seen, 6);
}

// A small 24-bit picture of one colour, written here.
std::string PlainBitmap(int width, int height, COLORREF colour) {
  const int stride = (width * 3 + 3) / 4 * 4;
  std::string file(54 + static_cast<size_t>(stride) * height, '\0');
  const uint32_t size = static_cast<uint32_t>(file.size()), offset = 54, info = 40;
  const uint16_t planes = 1, bits = 24;
  file[0] = 'B';
  file[1] = 'M';
  std::memcpy(&file[2], &size, 4);
  std::memcpy(&file[10], &offset, 4);
  std::memcpy(&file[14], &info, 4);
  std::memcpy(&file[18], &width, 4);
  std::memcpy(&file[22], &height, 4);
  std::memcpy(&file[26], &planes, 2);
  std::memcpy(&file[28], &bits, 2);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      char* pixel = &file[54 + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
      pixel[0] = static_cast<char>(GetBValue(colour));
      pixel[1] = static_cast<char>(GetGValue(colour));
      pixel[2] = static_cast<char>(GetRValue(colour));
    }
  return file;
}

TEST_F(PagePictures, ADialogsOwnThemeTakesThePlaceOfTheInstalls) {
  auto* dialog = Find<TSelectDestinationDlg>("SelectDestinationDlg1");
  TPicture own;
  own.SetData(PlainBitmap(40, 60, RGB(200, 30, 60)));
  dialog->SetThemeBitmap(own);
  own.Clear();
  EXPECT_EQ(dialog->ThemeBitmap().Width(), 40) << "the dialog keeps a copy";
  Host("BeforeInstallManager");
  host_->Show();
  EXPECT_EQ(Page<TWizardPage>(0)->ThemeBitmap()->Picture().Data(), Install()->DialogThemeBitmap().Data())
      << "the welcome page has no dialog";
  ASSERT_TRUE(host_->ShowPage(1, false));
  auto* page = Page<TWizardPage>(1);
  EXPECT_EQ(page->ThemeBitmap()->Picture().Data(), dialog->ThemeBitmap().Data());
  screenshot::Pixels shot = Shoot(host_->Handle(), "Own theme of the destination page");
  EXPECT_EQ(PixelsUnlike(shot, host_->Handle(), *page->ThemeBitmap()), 0);
  Free(host_);
}

class DialogTheme : public WizardTest {};

TEST_F(DialogTheme, ADialogsThemeBitmapLoadsFromTheScriptAndWritesBack) {
  std::string hex;
  char digits[3];
  for (unsigned char byte : PlainBitmap(3, 2, RGB(10, 20, 30))) {
    snprintf(digits, sizeof digits, "%02X", byte);
    hex += digits;
  }
  Load("  TSelectDestinationDlg SelectDestinationDlg1 {\n    Container = Install1\n    ThemeBitmap.Data = {\n" +
       hex + "\n    }\n  }");
  auto* dialog = Find<TSelectDestinationDlg>("SelectDestinationDlg1");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->ThemeBitmap().Width(), 3);
  EXPECT_EQ(dialog->ThemeBitmap().Height(), 2);
  const std::string written = WriteComponent(*main_form_);
  EXPECT_NE(written.find("    ThemeBitmap.Data = {\n      424D"), std::string::npos) << written;
  FinalizeApplication();
  InitializeApplication();
  main_form_ = Application()->CreateForm<TInstallMainForm>(written);
  EXPECT_EQ(WriteComponent(*main_form_), written);
}

TEST_F(PagePictures, TheStatusAndCopyWindowsShowTheirStoredPictures) {
  Install()->ShowStatusMessage("Reading file information...");
  auto* status = static_cast<TInstallStatusForm*>(Find<TInstallStatusDlg>("InstallStatusDlg1")->Dialog());
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->Image1()->Picture().ResourceName(), "TINSTALLSTATUSFORM_IMAGE1");
  screenshot::Pixels shot = Shoot(status->Handle(), "Status window");
  EXPECT_EQ(PixelsUnlike(shot, status->Handle(), *status->Image1()), 0);
  // The window is as wide as the message beside the picture.
  TLabel* message = status->MessageLabel();
  EXPECT_LE(status->MessagePanel()->Left() + message->Left() + message->Width(), status->Width());
  Install()->HideStatusMessage();

  TDownloadStatusParameter download;
  download.FileName = "polyprobe.dll";
  download.Percent = 25;
  Install()->BroadcastInformationEvent(Install(), ieDownloadStatus, &download);
  auto* copy = static_cast<TCopyFileForm*>(Find<TDialogManager>("CopyFilesManager")->CopyForms().at(0));
  for (TImage* image : {copy->UnZipImage(), copy->TransferBitmap()}) {
    SCOPED_TRACE(image->Name());
    EXPECT_EQ(image->Picture().Width(), 48);
    EXPECT_TRUE(image->Visible());
  }
  shot = Shoot(copy->Handle(), "Copying installation files");
  EXPECT_EQ(PixelsUnlike(shot, copy->Handle(), *copy->UnZipImage()), 0);
  EXPECT_EQ(PixelsUnlike(shot, copy->Handle(), *copy->TransferBitmap()), 0);
  Install()->BroadcastInformationEvent(Install(), ieCopyFinished, nullptr);
}

}  // namespace
}  // namespace wizard_test
