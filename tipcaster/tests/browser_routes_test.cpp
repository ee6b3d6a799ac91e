// The routes outside HTML Help: the active popup (a popup control of the
// test's own, created by its ProgID), the viewer window (a window of the
// test with the viewer's class and title) and the browser (the browser
// stand-in, associated with a file type of the test, in a folder whose
// name has blanks).
#include <gmock/gmock.h>

#include "fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// {7D4A1F60-3B2C-4E51-9A0D-5C1E2B3F4A60}: the popup control of the tests.
const CLSID kPopupClsid = {0x7d4a1f60, 0x3b2c, 0x4e51, {0x9a, 0x0d, 0x5c, 0x1e, 0x2b, 0x3f, 0x4a, 0x60}};
const char kPopupProgId[] = "TESSAPOP.TessapopCtrl.1";
const char kPageType[] = "TipcasterTestPage";

// Records each call as "dispid|url|a|b|c", the three numbers 16-bit.
class FakePopup : public IDispatch, public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void **object) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch)
      *object = static_cast<IDispatch *>(this);
    else if (iid == IID_IClassFactory)
      *object = static_cast<IClassFactory *>(this);
    else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetTypeInfoCount(UINT *count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *, EXCEPINFO *,
                      UINT *) override {
    std::string call = std::to_string(id) + (flags == DISPATCH_METHOD ? "" : "|not a method");
    for (UINT i = params->cArgs; i-- > 0;) {
      const VARIANT &arg = params->rgvarg[i];
      if (arg.vt == VT_BSTR) {
        Variant copy;
        VariantCopy(copy.get(), const_cast<VARIANT *>(&arg));
        call += "|" + copy.AsText();
      } else {
        call += "|" + (arg.vt == VT_I2 ? std::to_string(arg.iVal) : std::string("type ") + std::to_string(arg.vt));
      }
    }
    calls.push_back(call);
    return S_OK;
  }
  STDMETHODIMP CreateInstance(IUnknown *, REFIID iid, void **object) override { return QueryInterface(iid, object); }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

  std::vector<std::string> calls;
};

void SetClassesDefault(const std::string &key, const std::string &value) {
  RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
}

// The notifications the viewer window received: "atom text|context". A
// message box's loop may deliver them before the test looks.
std::vector<std::string> g_viewerNotes;

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == RegisterWindowMessageA("TessalineSkyrelay")) {
    char text[512] = "";
    GlobalGetAtomNameA(static_cast<ATOM>(wParam), text, sizeof text);
    g_viewerNotes.push_back(std::string(text) + "|" + std::to_string(lParam));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class BrowserRouteTest : public HelpControlTest {
 protected:
  void SetUp() override {
    HelpControlTest::SetUp();
    wchar_t clsidText[40];
    StringFromGUID2(kPopupClsid, clsidText, 40);
    char clsid[40];
    WideCharToMultiByte(CP_ACP, 0, clsidText, -1, clsid, sizeof clsid, nullptr, nullptr);
    SetClassesDefault(std::string(kPopupProgId) + "\\CLSID", clsid);
    ASSERT_EQ(CoRegisterClassObject(kPopupClsid, static_cast<IClassFactory *>(&popup_), CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &popupCookie_),
              S_OK);

    // The browser: the stand-in in a folder with blanks, opening ".tcpage".
    CreateDirectoryA(PathOf("web browser").c_str(), nullptr);
    browser_ = PathOf("web browser\\webview.exe");
    const std::string bin = TIPCASTER_STANDINS;
    ASSERT_TRUE(CopyFileA((bin + "/tipcaster_browser_standin.exe").c_str(), browser_.c_str(), FALSE));
    SetClassesDefault(".tcpage", kPageType);
    SetClassesDefault(std::string(kPageType) + "\\shell\\open\\command", "\"" + browser_ + "\" \"%1\"");
  }

  void TearDown() override {
    CloseViewer();
    StopDdeBrowser();
    CoRevokeClassObject(popupCookie_);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(kPopupProgId) + "\\CLSID").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kPopupProgId);
    HelpControlTest::TearDown();
  }

  void OpenViewer() {
    WNDCLASSA viewerClass = {};
    viewerClass.lpfnWndProc = ViewerProc;
    viewerClass.hInstance = GetModuleHandleA(nullptr);
    viewerClass.lpszClassName = "RODOROZUDA";
    RegisterClassA(&viewerClass);
    g_viewerNotes.clear();
    viewer_ = CreateWindowExA(0, "RODOROZUDA", "RODOROZUDA", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(viewer_, nullptr);
  }

  void CloseViewer() {
    if (viewer_) DestroyWindow(viewer_);
    viewer_ = nullptr;
  }

  // The notifications posted to the viewer so far.
  std::vector<std::string> ViewerNotes() {
    MSG posted;
    while (PeekMessageA(&posted, viewer_, 0, 0, PM_REMOVE)) DispatchMessageA(&posted);
    return g_viewerNotes;
  }

  // The browser stand-in, running as a DDE server until the test ends.
  void StartDdeBrowser() {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, "tipcaster-test-browser-ready");
    quit_ = CreateEventA(nullptr, TRUE, FALSE, "tipcaster-test-browser-quit");
    std::string line = "\"" + browser_ + "\" --serve-dde tipcaster-test-browser-ready tipcaster-test-browser-quit";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    CloseHandle(process.hThread);
    ddeBrowser_ = process.hProcess;
    HANDLE either[] = {ready_, ddeBrowser_};
    ASSERT_EQ(WaitForMultipleObjects(2, either, FALSE, 30000), WAIT_OBJECT_0);
  }

  void StopDdeBrowser() {
    if (!ddeBrowser_) return;
    SetEvent(quit_);
    WaitForSingleObject(ddeBrowser_, 30000);
    CloseHandle(ddeBrowser_);
    CloseHandle(ready_);
    CloseHandle(quit_);
    ddeBrowser_ = nullptr;
  }

  // The command lines the browser was started with (bounded wait for count).
  std::vector<std::string> BrowserStarts(size_t count) {
    WaitForRecord("browser", "");
    for (int attempt = 0; attempt < 2000 && Records("browser").size() < count; ++attempt)
      PauseAnsweringMessages(10);
    return Records("browser");
  }

  FakePopup popup_;
  DWORD popupCookie_ = 0;
  HWND viewer_ = nullptr;
  std::string browser_;
  HANDLE ddeBrowser_ = nullptr, ready_ = nullptr, quit_ = nullptr;
};

const char kPopupMap[] =
    "[OPTIONS]\r\nCompiled File=C:\\h\\x.chm\r\n"
    "[MAP]\r\n5=\"a.htm\";width: 300 height: 200\r\n6=\"b.htm\"\r\n";

TEST_F(BrowserRouteTest, ActivePopupShowsTheTopicOfTheCompiledFile) {
  UseMapFile(kPopupMap);
  EXPECT_EQ(CallMethod(control(), "ShowActivePopup", {5L, 0L}).AsLong(), -1);
  CallMethod(control(), "ShowActivePopup", {6L, 0L});
  CallMethod(control(), "ShowActivePopup2", {"c.htm", 0L});
  CallMethod(control(), "ShowActivePopup2", {"", 0L});  // no topic: nothing
  EXPECT_THAT(popup_.calls, ElementsAre("1|mk:@MSITStore:C:\\h\\x.chm::/a.htm|0|300|200",
                                        "1|mk:@MSITStore:C:\\h\\x.chm::/b.htm|0|0|0",
                                        "1|mk:@MSITStore:C:\\h\\x.chm::/c.htm|0|250|175"));
  EXPECT_THAT(boxes_->Texts(), IsEmpty());
}

TEST_F(BrowserRouteTest, ActivePopupThroughTheViewerUsesThePlainFile) {
  std::string map = UseMapFile(kPopupMap);
  OpenViewer();
  CallMethod(control(), "ShowActivePopup", {5L, 1L});
  CallMethod(control(), "ShowActivePopup2", {"", 1L});
  EXPECT_THAT(popup_.calls, ElementsAre("1|" + PathOf("a.htm") + "|0|300|200"));
  EXPECT_THAT(ViewerNotes(), ElementsAre(map + " ()*|5", map + " ()*|-1"));
}

TEST_F(BrowserRouteTest, ActivePopupWithoutCompiledFileAndUnknownContext) {
  UseMapFile("[MAP]\r\n5=\"sub/a.htm\"\r\n");
  CallMethod(control(), "ShowActivePopup", {5L, 0L});
  CallMethod(control(), "ShowActivePopup", {9L, 0L});
  EXPECT_THAT(popup_.calls, ElementsAre("1|" + PathOf("sub\\a.htm") + "|0|0|0"));
  EXPECT_THAT(boxes_->Texts(), ElementsAre("Topic for Help Context ID: 9, does not exist"));
}

TEST_F(BrowserRouteTest, TopicRouteStartsTheAssociatedBrowserWithQuotedPaths) {
  std::string map = UseMapFile("[MAP]\r\n3=\"page one.tcpage\"\r\n");
  std::string page = WriteTestFile("page one.tcpage", "<html></html>");
  OpenViewer();
  CallMethod(control(), "ShowSkyrelayTopicId", {3L});
  std::vector<std::string> starts = BrowserStarts(1);
  ASSERT_EQ(starts.size(), 1u);
  // The whole command line, the number of arguments and the first one.
  EXPECT_EQ(starts[0], "\"" + browser_ + "\" \"" + page + "\"|1|" + page);
  EXPECT_THAT(ViewerNotes(), ElementsAre(map + " (page one.tcpage)|3"));
  EXPECT_THAT(boxes_->Texts(), IsEmpty());
}

TEST_F(BrowserRouteTest, TopicRouteHandsThePageToARunningBrowserByDde) {
  UseMapFile("[OPTIONS]\r\nStarting Frameset=start.tcpage\r\n");
  std::string page = WriteTestFile("start.tcpage", "<html></html>");
  StartDdeBrowser();
  // No topic: the starting frameset is the page.
  CallMethod(control(), "ShowSkyrelayTopic", {""});
  EXPECT_THAT(Records("dde"), ElementsAre("WWW_OpenURL|" + page + ",,0xFFFFFFFF,0x01|1",
                                          "WWW_Activate|0xffffffff,0x0|1"));
  EXPECT_THAT(Records("browser"), IsEmpty());
}

TEST_F(BrowserRouteTest, FramesetRouteOpensTheFramesetWithTheTopic) {
  UseMapFile("[OPTIONS]\r\nStarting Frameset=frame.tcpage\r\nSecondary Frameset=second.tcpage\r\n"
             "[MAP]\r\n4=\"a.htm\"\r\n");
  std::string frame = WriteTestFile("frame.tcpage", "");
  std::string second = WriteTestFile("second.tcpage", "");
  CallMethod(control(), "ShowSkyrelayTopic2", {"a.htm"});
  CallMethod(control(), "ShowSkyrelayTopicIdSub2", {4L});
  std::vector<std::string> starts = BrowserStarts(2);
  ASSERT_EQ(starts.size(), 2u);
  const std::string url = "file://" + frame + "?a.htm";
  const std::string secondUrl = "file://" + second + "?a.htm";
  EXPECT_THAT(starts, ::testing::UnorderedElementsAre("\"" + browser_ + "\" \"" + url + "\"|1|" + url,
                                                      "\"" + browser_ + "\" \"" + secondUrl + "\"|1|" + secondUrl));
}

TEST_F(BrowserRouteTest, ClickWithViewOpensTheFramesetAndKeepsTheCommand) {
  UseMapFile("[OPTIONS]\r\nStarting Frameset=frame.tcpage\r\n[MAP]\r\n4=\"a.htm\"\r\n");
  std::string frame = WriteTestFile("frame.tcpage", "");
  PutProperty(control(), "command", 8L);
  PutProperty(control(), "view", 1L);
  PutProperty(control(), "ctrlID", 4L);
  host_->Click();
  ASSERT_EQ(BrowserStarts(1).size(), 1u);
  EXPECT_NE(Records("browser")[0].find("file://" + frame + "?a.htm"), std::string::npos);
  EXPECT_EQ(GetProperty(control(), "command").AsLong(), 8);

  // Command 11 through ShowHelpEx also leaves the property at 8.
  PutProperty(control(), "command", 3L);
  CallMethod(control(), "ShowHelpEx", {0L, 4L, PathOf("help.map"), "", "", "", 11L});
  EXPECT_EQ(GetProperty(control(), "command").AsLong(), 8);
  EXPECT_EQ(BrowserStarts(2).size(), 2u);
}

TEST_F(BrowserRouteTest, PageWithoutBrowserIsReported) {
  std::string map = UseMapFile("[OPTIONS]\r\nStarting Frameset=frame.tcnone\r\n[MAP]\r\n4=\"a.htm\"\r\n");
  std::string page = WriteTestFile("lonely.tcnone", "");
  WriteTestFile("frame.tcnone", "");
  CallMethod(control(), "ShowSkyrelayTopic", {"lonely.tcnone"});
  CallMethod(control(), "ShowSkyrelayTopic2", {"a.htm"});
  // An associated type, but no such file: the lookup fails another way.
  CallMethod(control(), "ShowSkyrelayTopic", {"missing.tcpage"});
  OpenViewer();
  CallMethod(control(), "ShowSkyrelayTopicId", {8L});  // no [MAP] entry
  EXPECT_THAT(boxes_->Texts(), ElementsAre("Unable to find browser to open: " + page,
                                           "Unable to find browser to open: a.htm",
                                           "Unable to find browser to open: " + PathOf("missing.tcpage"),
                                           "Topic for Help Context ID: 8, does not exist"));
  EXPECT_THAT(ViewerNotes(), ElementsAre(map + " ()|8"));
  EXPECT_THAT(Records("browser"), IsEmpty());
}

}  // namespace
