#include "application.h"

#include "stdctrls.h"

#include <gtest/gtest.h>

namespace forms {
namespace {

class ApplicationTest : public ::testing::Test {
protected:
  void SetUp() override {
    InitializeApplication();
    Application()->SetOnException([this](TComponent*, const std::exception& error) { seen_.push_back(error.what()); });
  }
  void TearDown() override { FinalizeApplication(); }
  std::vector<std::string> seen_;
};

TEST_F(ApplicationTest, ExceptionsReachTheHandlerExceptTheSilentAbort) {
  CallHandlingExceptions(nullptr, [] { throw Exception("broken"); });
  CallHandlingExceptions(nullptr, [] { Abort(); });
  CallHandlingExceptions(nullptr, [] {});
  EXPECT_EQ(seen_, std::vector<std::string>{"broken"});
}

TEST_F(ApplicationTest, TheFirstFormIsTheMainFormUntilItGoes) {
  TForm* main = Application()->CreateForm<TForm>("TForm Main { Caption = \"Main\" }");
  TForm* second = Application()->CreateForm<TForm>("TForm Second { }");
  EXPECT_EQ(Application()->MainForm(), main);
  EXPECT_EQ(main->Caption(), "Main");
  EXPECT_FALSE(main->Visible());
  Free(main);
  EXPECT_EQ(Application()->MainForm(), nullptr);
  EXPECT_EQ(Application()->ComponentCount(), 1);
  (void)second;
}

TEST_F(ApplicationTest, AFormWhoseStreamFailsIsFreedAgain) {
  EXPECT_THROW(Application()->CreateForm<TForm>("TForm Broken { Nonsense = 1 }"), EReadError);
  EXPECT_EQ(Application()->ComponentCount(), 0);
  EXPECT_EQ(Application()->MainForm(), nullptr);
}

TEST(Controls, AHandlerMayReplaceItselfWhileItRuns) {
  TForm* form = New<TForm>(nullptr);
  std::string seen;
  std::string word = "still here";
  form->SetOnActivate([form, &seen, word](TComponent*) {
    form->SetOnActivate(nullptr);
    seen = word;  // kept by the handler that was just replaced
  });
  form->Activate();
  EXPECT_EQ(seen, "still here");
  form->SetOnClick([form, &seen, word](TComponent*) {
    form->SetOnClick(nullptr);
    seen += word;
  });
  form->Click();
  EXPECT_EQ(seen, "still herestill here");
  Free(form);
}

#ifdef _WIN32
// An exception raised in an event handler that a window procedure runs
// reaches the application's handler; the program goes on.
TEST_F(ApplicationTest, ExceptionsFromWindowEventsReachTheHandler) {
  TForm* form = Application()->CreateForm<TForm>("TForm Main { Caption = \"Main\" Width = 300 Height = 200 }");
  int activations = 0;
  form->SetOnActivate([&](TComponent*) {
    if (++activations == 1) throw Exception("failed while activating");
    Abort();
  });
  form->Show();
  Application()->ProcessMessages();
  EXPECT_GE(activations, 1);
  EXPECT_EQ(seen_, std::vector<std::string>{"failed while activating"});
  char caption[32] = {};
  GetWindowTextA(form->Handle(), caption, sizeof caption);
  EXPECT_STREQ(caption, "Main");
  form->SetWindowState(TWindowState::wsMaximized);
  EXPECT_TRUE(IsZoomed(form->Handle()));
}

TEST_F(ApplicationTest, ControlsAreChildWindowsAndButtonsClick) {
  RegisterStreamClass(TLabel::StaticClass());
  RegisterStreamClass(TBitBtn::StaticClass());
  TForm* form = Application()->CreateForm<TForm>(R"(TForm Main {
    Width = 300
    Height = 200
    TLabel Greeting { Caption = "Hello" Left = 8 Top = 8 Width = 100 Height = 20 }
    TBitBtn Next { Caption = "Next" Left = 8 Top = 40 Width = 80 Height = 24 }
  })");
  std::vector<std::string> clicked;
  auto* next = dynamic_cast<TBitBtn*>(form->FindComponent("Next"));
  next->SetOnClick([&](TComponent* sender) { clicked.push_back(sender->Name()); });
  form->Show();
  ASSERT_TRUE(next->HandleAllocated());
  EXPECT_EQ(GetParent(next->Handle()), form->Handle());
  auto* greeting = dynamic_cast<TLabel*>(form->FindComponent("Greeting"));
  char text[32] = {};
  GetWindowTextA(greeting->Handle(), text, sizeof text);
  EXPECT_STREQ(text, "Hello");
  next->SetCaption("Weiter");
  GetWindowTextA(next->Handle(), text, sizeof text);
  EXPECT_STREQ(text, "Weiter");
  next->Font().SetCharset(204);
  next->FontChanged();
  LOGFONTA shown{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(next->Handle(), WM_GETFONT, 0, 0)), sizeof shown, &shown);
  EXPECT_EQ(shown.lfCharSet, 204);
  SendMessageA(next->Handle(), BM_CLICK, 0, 0);
  Application()->ProcessMessages();
  EXPECT_EQ(clicked, std::vector<std::string>{"Next"});
  UnregisterClasses();
}

TEST_F(ApplicationTest, ModalFormsEndWithTheirButtonsResultOrCancelWhenClosed) {
  RegisterStreamClass(TBitBtn::StaticClass());
  TForm* main = Application()->CreateForm<TForm>("TForm Main { Width = 300 Height = 200 }");
  main->Show();
  TForm* dialog = Application()->CreateForm<TForm>(R"(TForm Dialog {
    Width = 200
    Height = 100
    TBitBtn OkButton { Caption = "OK" ModalResult = 1 Width = 60 Height = 24 }
  })");
  auto* ok = dynamic_cast<TBitBtn*>(dialog->FindComponent("OkButton"));
  bool main_enabled_meanwhile = true;
  ok->SetOnClick([&](TComponent*) { main_enabled_meanwhile = IsWindowEnabled(main->Handle()); });
  int activations = 0;
  dialog->SetOnActivate([&](TComponent*) {
    if (++activations > 1) return;
    PostMessageA(ok->Handle(), BM_CLICK, 0, 0);
    throw Exception("failed inside the modal loop");
  });
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_EQ(seen_, std::vector<std::string>{"failed inside the modal loop"});
  EXPECT_FALSE(main_enabled_meanwhile);
  EXPECT_TRUE(IsWindowEnabled(main->Handle()));
  EXPECT_FALSE(dialog->Visible());
  dialog->SetOnActivate([&](TComponent*) { PostMessageA(dialog->Handle(), WM_CLOSE, 0, 0); });
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_FALSE(Application()->Terminated());
  UnregisterClasses();
}

TEST_F(ApplicationTest, ClosingTheMainFormEndsTheMessageLoop) {
  TForm* form = Application()->CreateForm<TForm>("TForm Main { }");
  form->SetOnActivate([&](TComponent*) { PostMessageA(form->Handle(), WM_CLOSE, 0, 0); });
  Application()->Run();
  EXPECT_TRUE(Application()->Terminated());
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
}
#endif

}  // namespace
}  // namespace forms
