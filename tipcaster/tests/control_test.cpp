// The control in its container: properties and persistence, the pages
// driven through their interface, the commands of a click, and the
// members exported by name and ordinal.
#include <gmock/gmock.h>

#include <map>
#include <string>

#include <initguid.h>

#include "../classids.h"
#include "../resource.h"
#include "fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

struct Setting {
  const char *name;
  Variant value;
};

// A value for every persisted property but the font.
std::vector<Setting> EveryProperty() {
  return {{"mapFile", "C:\\help\\app.map"}, {"ctrlID", 42L},          {"windowClass", "main"},
          {"command", 9L},                  {"keywords", "k1;k2"},    {"topic", "intro.htm"},
          {"TipcasterPath", "C:\\tc"},      {"javaVersion", 1L},      {"javaHelpPath", "C:\\jh"},
          {"JREPath", "C:\\jre"},           {"TSJHelp", "C:\\ts.jar"}, {"HelpsetFile", "C:\\p\\h.hs"},
          {"JARFile", "C:\\p\\p.jar"},      {"view", 1L},             {"Caption", "Help me"},
          {"BorderStyle", 1L}};
}

void SetEveryProperty(IDispatch *control) {
  for (const Setting &setting : EveryProperty()) PutProperty(control, setting.name, setting.value);
  IFontDisp *font = nullptr;
  FONTDESC description = {sizeof(FONTDESC), const_cast<LPOLESTR>(L"Courier New"), {120000, 0}, FW_BOLD,
                          ANSI_CHARSET, FALSE, FALSE, FALSE};
  ASSERT_EQ(OleCreateFontIndirect(&description, IID_IFontDisp, reinterpret_cast<void **>(&font)), S_OK);
  Variant fontValue;
  fontValue.get()->vt = VT_DISPATCH;
  fontValue.get()->pdispVal = font;  // the Variant owns it now
  EXPECT_EQ(TryCall(control, "Font", DISPATCH_PROPERTYPUTREF, {fontValue}, nullptr), S_OK);
}

// The font's face (as the system resolved it), size in points and weight.
std::string FontOf(IDispatch *control) {
  Variant font = GetProperty(control, "Font");
  if (font.value().vt != VT_DISPATCH || !font.value().pdispVal) return "no font";
  IFont *asFont = nullptr;
  if (FAILED(font.value().pdispVal->QueryInterface(IID_IFont, reinterpret_cast<void **>(&asFont)))) return "no IFont";
  BSTR name = nullptr;
  CY size;
  BOOL bold = FALSE;
  asFont->get_Name(&name);
  asFont->get_Size(&size);
  asFont->get_Bold(&bold);
  std::string described = Variant(std::string(name, name + SysStringLen(name))).AsText() + " " +
                          std::to_string(size.int64 / 10000) + (bold ? " bold" : "");
  SysFreeString(name);
  asFont->Release();
  return described;
}

void ExpectEveryProperty(IDispatch *control, const std::string &font) {
  for (const Setting &setting : EveryProperty())
    EXPECT_EQ(GetProperty(control, setting.name).AsText(), setting.value.AsText()) << setting.name;
  EXPECT_EQ(FontOf(control), font);
}

template <typename Interface>
Interface *As(IUnknown *object, REFIID iid) {
  Interface *result = nullptr;
  EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void **>(&result)), S_OK);
  return result;
}

using ControlTest = HelpControlTest;

TEST_F(ControlTest, NewControlHasEmptyTextsAndZeroNumbers) {
  for (const Setting &setting : EveryProperty()) {
    bool number = setting.value.value().vt == VT_I4;
    EXPECT_EQ(GetProperty(control(), setting.name).AsText(), number ? "0" : "") << setting.name;
  }
  char caption[64] = "x";
  GetWindowTextA(host_->button(), caption, sizeof caption);
  EXPECT_STREQ(caption, "");
}

TEST_F(ControlTest, StreamPersistenceRoundTripsEveryProperty) {
  SetEveryProperty(control());
  const std::string font = FontOf(control());
  EXPECT_NE(font.find(" 12 bold"), std::string::npos) << font;
  IStream *stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  auto *saving = As<IPersistStreamInit>(control(), IID_IPersistStreamInit);
  EXPECT_EQ(saving->IsDirty(), S_OK);
  ASSERT_EQ(saving->Save(stream, TRUE), S_OK);
  EXPECT_EQ(saving->IsDirty(), S_FALSE);
  saving->Release();

  IDispatch *copy = CreateHelpButton();
  auto *loading = As<IPersistStreamInit>(copy, IID_IPersistStreamInit);
  LARGE_INTEGER start = {};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ASSERT_EQ(loading->Load(stream), S_OK);
  ExpectEveryProperty(copy, font);

  // Resetting the state gives every property its default again.
  ASSERT_EQ(loading->InitNew(), S_OK);
  EXPECT_EQ(GetProperty(copy, "mapFile").AsText(), "");
  EXPECT_EQ(GetProperty(copy, "javaVersion").AsLong(), 0);
  loading->Release();
  copy->Release();
  stream->Release();
}

TEST_F(ControlTest, DamagedStreamFailsTheLoad) {
  IStream *stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  // The version, then a caption claiming far more bytes than follow.
  const unsigned char damaged[] = {0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'a'};
  stream->Write(damaged, sizeof damaged, nullptr);
  LARGE_INTEGER start = {};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  auto *loading = As<IPersistStreamInit>(control(), IID_IPersistStreamInit);
  EXPECT_NE(loading->Load(stream), S_OK);
  loading->Release();
  stream->Release();
}

TEST_F(ControlTest, PropertyBagPersistenceRoundTripsEveryProperty) {
  SetEveryProperty(control());
  const std::string font = FontOf(control());
  MemoryPropertyBag bag;
  auto *saving = As<IPersistPropertyBag>(control(), IID_IPersistPropertyBag);
  ASSERT_EQ(saving->Save(&bag, TRUE, TRUE), S_OK);
  saving->Release();
  EXPECT_TRUE(bag.Has(L"TSJHelp"));
  EXPECT_TRUE(bag.Has(L"_Version"));

  IDispatch *copy = CreateHelpButton();
  auto *loading = As<IPersistPropertyBag>(copy, IID_IPersistPropertyBag);
  ASSERT_EQ(loading->Load(&bag, nullptr), S_OK);
  loading->Release();
  ExpectEveryProperty(copy, font);
  copy->Release();
}

TEST_F(ControlTest, CaptionAndBorderReachTheButton) {
  PutProperty(control(), "Caption", "Help");
  PutProperty(control(), "BorderStyle", 1L);
  char caption[64] = "";
  GetWindowTextA(host_->button(), caption, sizeof caption);
  EXPECT_STREQ(caption, "Help");
  EXPECT_TRUE(GetWindowLongA(host_->button(), GWL_STYLE) & WS_BORDER);
  EXPECT_EQ(TryCall(control(), "BorderStyle", DISPATCH_PROPERTYPUT, {Variant(5L)}, nullptr),
            CTL_E_INVALIDPROPERTYVALUE);
}

// How much of a 120 x 30 picture of the control has the button face colour.
double ButtonFaceShare(IDispatch *control) {
  auto *view = As<IViewObject2>(control, IID_IViewObject2);
  if (!view) return -1;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 120, -30, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void *bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  PatBlt(dc, 0, 0, 120, 30, WHITENESS);
  RECTL bounds = {0, 0, 120, 30};
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
  GdiFlush();
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  DWORD faceBits = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
  int faces = 0;
  for (int i = 0; i < 120 * 30; ++i) faces += (static_cast<DWORD *>(bits)[i] & 0xFFFFFF) == faceBits;
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  view->Release();
  return faces / 3600.0;
}

TEST_F(ControlTest, ButtonDrawsItselfForTheContainer) {
  PutProperty(control(), "Caption", "Help");
  EXPECT_GT(ButtonFaceShare(control()), 0.5);
  IDispatch *outOfPlace = CreateHelpButton();
  EXPECT_GT(ButtonFaceShare(outOfPlace), 0.5);
  outOfPlace->Release();
}

TEST_F(ControlTest, VerbsAreEditAndProperties) {
  auto *object = As<IOleObject>(control(), IID_IOleObject);
  IEnumOLEVERB *verbs = nullptr;
  ASSERT_EQ(object->EnumVerbs(&verbs), S_OK);
  OLEVERB found[3];
  ULONG fetched = 0;
  EXPECT_EQ(verbs->Next(3, found, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(found[0].lVerb, OLEIVERB_PRIMARY);
  EXPECT_STREQ(found[0].lpszVerbName, L"&Edit");
  EXPECT_EQ(found[1].lVerb, OLEIVERB_PROPERTIES);
  EXPECT_STREQ(found[1].lpszVerbName, L"&Properties...");
  for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(found[i].lpszVerbName);
  verbs->Release();

  // Properties opens the pages in the system's property frame; OK closes it.
  EXPECT_EQ(object->DoVerb(OLEIVERB_PROPERTIES, nullptr, nullptr, 0, host_->window(), nullptr), S_OK);
  ASSERT_EQ(boxes_->Boxes().size(), 1u);
  EXPECT_EQ(boxes_->Boxes()[0].caption, "Properties for Tessaline Context Sensitive Help Control");
  object->Release();
}

// {550BADC3-E6A3-11D0-A389-0000E81F4743}, the control's event interface.
const IID kEventInterface = {0x550badc3, 0xe6a3, 0x11d0, {0xa3, 0x89, 0x00, 0x00, 0xe8, 0x1f, 0x47, 0x43}};

// A container's event sink, counting the references it is given.
class EventSink : public IUnknown {
 public:
  explicit EventSink(bool answers) : answers_(answers) {}
  STDMETHODIMP QueryInterface(REFIID iid, void **object) override {
    if (iid == IID_IUnknown || (answers_ && (iid == IID_IDispatch || iid == kEventInterface))) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  ULONG refs = 1;

 private:
  bool answers_;
};

TEST_F(ControlTest, EventSourceHoldsTheContainersSink) {
  auto *container = As<IConnectionPointContainer>(control(), IID_IConnectionPointContainer);
  IConnectionPoint *point = nullptr;
  EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, &point), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(container->FindConnectionPoint(kEventInterface, &point), S_OK);
  IID iid;
  ASSERT_EQ(point->GetConnectionInterface(&iid), S_OK);
  EXPECT_TRUE(IsEqualIID(iid, kEventInterface));

  EventSink sink(true), stranger(false);
  DWORD cookie = 0, refused = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  EXPECT_EQ(sink.refs, 2u);
  EXPECT_EQ(point->Advise(&stranger, &refused), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(sink.refs, 1u);
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  point->Release();
  container->Release();
}

TEST_F(ControlTest, ControlDescribesItselfToTheContainer) {
  auto *object = As<IOleObject>(control(), IID_IOleObject);
  DWORD status = 0;
  object->GetMiscStatus(DVASPECT_CONTENT, &status);
  EXPECT_EQ(status, 0x00020191u);
  object->Release();

  auto *pages = As<ISpecifyPropertyPages>(control(), IID_ISpecifyPropertyPages);
  CAUUID list;
  ASSERT_EQ(pages->GetPages(&list), S_OK);
  ASSERT_EQ(list.cElems, 3u);
  EXPECT_TRUE(IsEqualGUID(list.pElems[0], CLSID_TSHelpButtonPropPage));
  EXPECT_TRUE(IsEqualGUID(list.pElems[1], CLSID_TSHelpJavaHelpSettings));
  EXPECT_TRUE(IsEqualGUID(list.pElems[2], CLSID_SystemFontPage));
  CoTaskMemFree(list.pElems);
  pages->Release();

  auto *classInfo = As<IProvideClassInfo>(control(), IID_IProvideClassInfo);
  ITypeInfo *info = nullptr;
  ASSERT_EQ(classInfo->GetClassInfo(&info), S_OK);
  BSTR name = nullptr;
  info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
  EXPECT_STREQ(name, L"TSHelpButton");
  SysFreeString(name);
  info->Release();
  classInfo->Release();
}

TEST_F(ControlTest, SettersStoreWithoutMarkingTheControlModified) {
  PutProperty(control(), "mapFile", "first.map");
  auto *persist = As<IPersistStreamInit>(control(), IID_IPersistStreamInit);
  IStream *stream = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  persist->Save(stream, TRUE);
  EXPECT_EQ(CallMethod(control(), "SetMapFile", {""}).AsLong(), -1);
  EXPECT_EQ(GetProperty(control(), "mapFile").AsText(), "first.map");
  EXPECT_EQ(CallMethod(control(), "SetMapFile", {"second.map"}).AsLong(), -1);
  EXPECT_EQ(GetProperty(control(), "mapFile").AsText(), "second.map");
  CallMethod(control(), "SetJavaHelpSettings", {1L, "C:\\jre", "C:\\jh", "C:\\tc", "C:\\h.hs", "C:\\p.jar"});
  EXPECT_EQ(GetProperty(control(), "javaVersion").AsLong(), 1);
  EXPECT_EQ(GetProperty(control(), "JREPath").AsText(), "C:\\jre");
  EXPECT_EQ(GetProperty(control(), "javaHelpPath").AsText(), "C:\\jh");
  EXPECT_EQ(GetProperty(control(), "TipcasterPath").AsText(), "C:\\tc");
  EXPECT_EQ(GetProperty(control(), "HelpsetFile").AsText(), "C:\\h.hs");
  EXPECT_EQ(GetProperty(control(), "JARFile").AsText(), "C:\\p.jar");
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  persist->Release();
  stream->Release();
}

TEST_F(ControlTest, UnknownCommandShowsBadCommand) {
  PutProperty(control(), "command", 12L);
  Variant result = CallMethod(control(), "ShowHelp", {0L});
  EXPECT_EQ(result.AsLong(), 0);
  ASSERT_EQ(boxes_->Boxes().size(), 1u);
  MessageBoxRecord bad = boxes_->Boxes().front();
  EXPECT_EQ(bad.caption, "TSHelpButton");
  EXPECT_EQ(bad.text, "Bad Command");
  EXPECT_TRUE(bad.owned);
}

// The names of the export table by ordinal, and the module name it gives.
struct ExportTable {
  std::string module;
  std::map<int, std::string> names;
};

ExportTable ReadExportTable(HMODULE library) {
  const auto *base = reinterpret_cast<const BYTE *>(library);
  const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + reinterpret_cast<const IMAGE_DOS_HEADER *>(base)->e_lfanew);
  const auto *exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(
      base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
  const auto *names = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
  const auto *ordinals = reinterpret_cast<const WORD *>(base + exports->AddressOfNameOrdinals);
  ExportTable table{reinterpret_cast<const char *>(base + exports->Name), {}};
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    table.names[static_cast<int>(exports->Base + ordinals[i])] = reinterpret_cast<const char *>(base + names[i]);
  return table;
}

#ifdef _WIN64
#define MEMBER_CALL
const char kSetMapFileName[] = "?SetMapFile@CTSHelpButtonCtrl@@IEAAHPEBD@Z";
#else
#define MEMBER_CALL __attribute__((thiscall))
const char kSetMapFileName[] = "?SetMapFile@CTSHelpButtonCtrl@@IAEHPBD@Z";
#endif

// The names themselves are checked against the platform compiler's rules
// by tipcaster.member_exports; here a host binds them.
TEST_F(ControlTest, ExportedMembersAreTheMethods) {
  HMODULE library = GetModuleHandleA("tipcaster.ocx");
  ASSERT_NE(library, nullptr);
  ExportTable table = ReadExportTable(library);
  EXPECT_EQ(table.module, "TIPCASTER.OCX");
  const char *entryPoints[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"};
  for (int ordinal = 1; ordinal <= 4; ++ordinal) {
    EXPECT_EQ(table.names[ordinal], entryPoints[ordinal - 1]);
    EXPECT_EQ(GetProcAddress(library, MAKEINTRESOURCEA(ordinal)), GetProcAddress(library, entryPoints[ordinal - 1]));
  }
  // A host that binds a member by name reaches what one binding it by
  // ordinal reaches.
  for (int ordinal = 101; ordinal <= 119; ++ordinal) {
    const std::string &name = table.names[ordinal];
    EXPECT_EQ(name.substr(0, 1), "?") << ordinal << " " << name;
    FARPROC byOrdinal = GetProcAddress(library, MAKEINTRESOURCEA(ordinal));
    EXPECT_NE(byOrdinal, nullptr) << ordinal;
    EXPECT_EQ(GetProcAddress(library, name.c_str()), byOrdinal) << ordinal << " " << name;
  }
  EXPECT_EQ(table.names[105], kSetMapFileName);
  EXPECT_EQ(table.names.size(), 23u);

  // A host holding the object calls a member directly: SetMapFile, bound
  // by its name.
  using SetMapFile = int(MEMBER_CALL *)(void *, const char *);
  auto setMapFile = reinterpret_cast<SetMapFile>(reinterpret_cast<void *>(GetProcAddress(library, kSetMapFileName)));
  ASSERT_NE(setMapFile, nullptr);
  EXPECT_EQ(setMapFile(control(), "direct.map"), 1);
  EXPECT_EQ(GetProperty(control(), "mapFile").AsText(), "direct.map");
}

// The pages, as a container's property frame drives them.
class PageTest : public HelpControlTest {
 protected:
  IPropertyPage *OpenPage(REFCLSID clsid) {
    IPropertyPage *page = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                               reinterpret_cast<void **>(&page)),
              S_OK);
    if (!page) return nullptr;
    IUnknown *objects[] = {control()};
    EXPECT_EQ(page->SetObjects(1, objects), S_OK);
    RECT area = {0, 0, 400, 400};
    EXPECT_EQ(page->Activate(host_->window(), &area, FALSE), S_OK);
    dialog_ = FindWindowExA(host_->window(), nullptr, "#32770", nullptr);
    EXPECT_NE(dialog_, nullptr);
    return page;
  }
  std::string FieldText(int id) {
    char text[256] = "";
    GetDlgItemTextA(dialog_, id, text, sizeof text);
    return text;
  }
  void SelectRadio(const std::vector<int> &group, int chosen) {
    for (int id : group) CheckDlgButton(dialog_, id, id == chosen ? BST_CHECKED : BST_UNCHECKED);
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(chosen, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog_, chosen)));
  }
  HWND dialog_ = nullptr;
};

const std::vector<int> kCommandRadios = {IDC_SHOW_TOPIC, IDC_ACTIVE_POPUP,   IDC_TEXT_POPUP,     IDC_CONTENTS,
                                         IDC_INDEX,      IDC_SEARCH,         IDC_KEYWORD_LOOKUP, IDC_ALINK,
                                         IDC_SKY_SHOW_TOPIC, IDC_SKY_ACTIVE_POPUP, IDC_JAVA_SHOW_TOPIC};

TEST_F(PageTest, GeneralPageShowsAndAppliesTheProperties) {
  PutProperty(control(), "mapFile", "C:\\a.map");
  PutProperty(control(), "ctrlID", 17L);
  PutProperty(control(), "Caption", "Help");
  PutProperty(control(), "command", 5L);
  IPropertyPage *page = OpenPage(CLSID_TSHelpButtonPropPage);
  ASSERT_NE(page, nullptr);
  PROPPAGEINFO info;
  ASSERT_EQ(page->GetPageInfo(&info), S_OK);
  EXPECT_STREQ(info.pszTitle, L"General");
  CoTaskMemFree(info.pszTitle);

  EXPECT_EQ(FieldText(IDC_MAP_FILE), "C:\\a.map");
  EXPECT_EQ(FieldText(IDC_CONTEXT), "17");
  EXPECT_EQ(FieldText(IDC_CAPTION), "Help");
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_SEARCH), BST_CHECKED);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);

  SetDlgItemTextA(dialog_, IDC_MAP_FILE, "C:\\b.map");
  SetDlgItemTextA(dialog_, IDC_TOPIC, "t.htm");
  SelectRadio(kCommandRadios, IDC_JAVA_SHOW_TOPIC);  // "Show Topic" under "JavaHelp Options:"
  CheckDlgButton(dialog_, IDC_VIEW_FRAMESET, BST_CHECKED);
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  ASSERT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(GetProperty(control(), "mapFile").AsText(), "C:\\b.map");
  EXPECT_EQ(GetProperty(control(), "topic").AsText(), "t.htm");
  EXPECT_EQ(GetProperty(control(), "command").AsLong(), 10);
  EXPECT_EQ(GetProperty(control(), "view").AsLong(), 1);
  EXPECT_EQ(GetProperty(control(), "ctrlID").AsLong(), 17);
  EXPECT_EQ(page->Deactivate(), S_OK);
  page->Release();
}

TEST_F(PageTest, CommandWithoutRadioButtonSurvivesApply) {
  PutProperty(control(), "command", 11L);  // reached through "View in Frameset" only
  IPropertyPage *page = OpenPage(CLSID_TSHelpButtonPropPage);
  ASSERT_NE(page, nullptr);
  for (int id : kCommandRadios) EXPECT_EQ(IsDlgButtonChecked(dialog_, id), BST_UNCHECKED) << id;
  SetDlgItemTextA(dialog_, IDC_MAP_FILE, "C:\\c.map");
  ASSERT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(GetProperty(control(), "command").AsLong(), 11);
  EXPECT_EQ(GetProperty(control(), "mapFile").AsText(), "C:\\c.map");
  page->Release();
}

TEST_F(PageTest, JavaHelpPageKeepsTheHiddenField) {
  PutProperty(control(), "TSJHelp", "C:\\ts.jar");
  PutProperty(control(), "JREPath", "C:\\jre");
  IPropertyPage *page = OpenPage(CLSID_TSHelpJavaHelpSettings);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(FieldText(IDC_TSJHELP), "C:\\ts.jar");
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog_, IDC_TSJHELP)));
  EXPECT_EQ(FieldText(IDC_JRE_PATH), "C:\\jre");
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_JAVA_12), BST_CHECKED);

  SetDlgItemTextA(dialog_, IDC_TSJHELP, "C:\\other.jar");
  SelectRadio({IDC_JAVA_12, IDC_JAVA_116}, IDC_JAVA_116);
  ASSERT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(GetProperty(control(), "TSJHelp").AsText(), "C:\\other.jar");
  EXPECT_EQ(GetProperty(control(), "javaVersion").AsLong(), 1);
  EXPECT_EQ(GetProperty(control(), "JREPath").AsText(), "C:\\jre");
  page->Release();
}

}  // namespace
