#include "control.h"

#include "classids.h"
#include "tipcaster_idl.h"

namespace {

const char kNoMapFile[] = "There is no map file assigned to this control.";
const char kNoJavaHelpSettings[] =
    "You have not set up the JavaHelp settings yet.  Call SetJavaHelpSettings first.";

const CLSID *const kPages[] = {&CLSID_TSHelpButtonPropPage, &CLSID_TSHelpJavaHelpSettings,
                               &CLSID_SystemFontPage};

const com::ControlClassInfo kClassInfo = {&CLSID_TSHelpButton, &LIBID_ORVANELib,       &DIID__DTSHelpButton,
                                          &DIID__DTSHelpButtonEvents, kPages, 3, 0x00020191};

HWND WindowOf(long handle) { return reinterpret_cast<HWND>(static_cast<intptr_t>(handle)); }

// Hosts that call the exported members may pass null for a text.
const char *OrEmpty(const char *text) { return text ? text : ""; }

}  // namespace

// The persisted properties in the order of the property exchange; each is
// a text or a number member.
struct CTSHelpButtonCtrl::Property {
  DISPID id;
  const char *name;
  std::string CTSHelpButtonCtrl::*text;
  int32_t CTSHelpButtonCtrl::*number;
};

const CTSHelpButtonCtrl::Property CTSHelpButtonCtrl::kProperties[] = {
    {1, "mapFile", &CTSHelpButtonCtrl::mapFile_, nullptr},
    {3, "windowClass", &CTSHelpButtonCtrl::windowClass_, nullptr},
    {2, "ctrlID", nullptr, &CTSHelpButtonCtrl::ctrlID_},
    {4, "command", nullptr, &CTSHelpButtonCtrl::command_},
    {14, "view", nullptr, &CTSHelpButtonCtrl::view_},
    {6, "topic", &CTSHelpButtonCtrl::topic_, nullptr},
    {5, "keywords", &CTSHelpButtonCtrl::keywords_, nullptr},
    {7, "TipcasterPath", &CTSHelpButtonCtrl::tipcasterPath_, nullptr},
    {10, "JREPath", &CTSHelpButtonCtrl::jrePath_, nullptr},
    {9, "javaHelpPath", &CTSHelpButtonCtrl::javaHelpPath_, nullptr},
    {11, "TSJHelp", &CTSHelpButtonCtrl::tsjHelp_, nullptr},
    {12, "HelpsetFile", &CTSHelpButtonCtrl::helpsetFile_, nullptr},
    {13, "JARFile", &CTSHelpButtonCtrl::jarFile_, nullptr},
    {8, "javaVersion", nullptr, &CTSHelpButtonCtrl::javaVersion_},
};

CTSHelpButtonCtrl::CTSHelpButtonCtrl() : OleControl(kClassInfo) {}

CTSHelpButtonCtrl::~CTSHelpButtonCtrl() {
  if (engine_) engine_->StopJavaViewer(CTSHelpEngine::ViewerStop::Quit);
}

void CTSHelpButtonCtrl::DoPropExchange(com::PropertyExchange &exchange) {
  for (const Property &property : kProperties) {
    if (property.text)
      exchange.Text(property.name, this->*property.text);
    else
      exchange.Long(property.name, this->*property.number, 0);
  }
}

HRESULT CTSHelpButtonCtrl::InvokeMember(DISPID id, WORD flags, com::DispatchArgs &args, VARIANT *result) {
  for (const Property &property : kProperties) {
    if (property.id != id) continue;
    if (!(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) {
      if (property.text)
        com::SetResultText(result, this->*property.text);
      else
        com::SetResultLong(result, this->*property.number);
      return S_OK;
    }
    bool converted = property.text ? args.Text(0, this->*property.text) : args.Long(0, this->*property.number);
    if (!converted) return DISP_E_TYPEMISMATCH;
    SetModified();
    return S_OK;
  }
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  return InvokeMethod(id, args, result);
}

HRESULT CTSHelpButtonCtrl::InvokeMethod(DISPID id, com::DispatchArgs &args, VARIANT *result) {
  bool ok = true;
  auto number = [&](UINT index) {
    int32_t value = 0;
    ok = args.Long(index, value) && ok;
    return value;
  };
  auto text = [&](UINT index) {
    std::string value;
    ok = args.Text(index, value) && ok;
    return value;
  };
  // Each method's arguments are read before it runs; a missing or
  // unconvertible one fails the call without running it.
  switch (id) {
    case 15: {
      int32_t window = number(0);
      if (ok) com::SetResultBool(result, ShowHelp(WindowOf(window)));
      break;
    }
    case 16: {
      int32_t window = number(0), context = number(1), command = number(6);
      std::string map = text(2), windowClass = text(3), topic = text(4), keywords = text(5);
      if (ok)
        com::SetResultBool(result, ShowHelpEx(WindowOf(window), context, map.c_str(), windowClass.c_str(),
                                              topic.c_str(), keywords.c_str(), command));
      break;
    }
    case 17: {
      int32_t context = number(0), window = number(1);
      if (ok) com::SetResultBool(result, ShowTextPopup(context, window));
      break;
    }
    case 18: {
      int32_t context = number(0), skyrelay = number(1);
      if (ok) com::SetResultBool(result, ShowActivePopup(context, skyrelay));
      break;
    }
    case 19: {
      int32_t context = number(0);
      std::string windowClass = text(1);
      if (ok) com::SetResultBool(result, ShowHTMLHelpTopicId(context, windowClass.c_str()));
      break;
    }
    case 20: {
      std::string topic = text(0), windowClass = text(1);
      if (ok) com::SetResultBool(result, ShowHTMLHelpTopic(topic.c_str(), windowClass.c_str()));
      break;
    }
    case 21: {
      std::string map = text(0);
      if (ok) com::SetResultBool(result, SetMapFile(map.c_str()));
      break;
    }
    case 22:
    case 23: {
      std::string keywords = text(0), windowClass = text(1);
      if (ok && id == 22) ShowAKeyword(keywords.c_str(), windowClass.c_str());
      if (ok && id == 23) ShowKeyword(keywords.c_str(), windowClass.c_str());
      break;
    }
    case 24:
    case 25:
    case 26: {
      std::string windowClass = text(0);
      if (ok && id == 24) ShowHTMLHelpContents(windowClass.c_str());
      if (ok && id == 25) ShowHTMLHelpIndex(windowClass.c_str());
      if (ok && id == 26) ShowHTMLHelpSearch(windowClass.c_str());
      break;
    }
    case 27:
    case 31:
    case 34: {
      int32_t context = number(0);
      if (ok && id == 27) ShowSkyrelayTopicId(context);
      if (ok && id == 31) ShowSkyrelayTopicId2(context);
      if (ok && id == 34) ShowSkyrelayTopicIdSub2(context);
      break;
    }
    case 28:
    case 30:
    case 32:
    case 35: {
      std::string topic = text(0);
      if (ok && id == 28) ShowSkyrelayTopic(topic.c_str());
      if (ok && id == 30) ShowJavaHelpTopic(topic.c_str());
      if (ok && id == 32) ShowSkyrelayTopic2(topic.c_str());
      if (ok && id == 35) ShowSkyrelayTopicSub2(topic.c_str());
      break;
    }
    case 29: {
      int32_t version = number(0);
      std::string jre = text(1), javaHelp = text(2), viewer = text(3), helpset = text(4), jar = text(5);
      if (ok)
        SetJavaHelpSettings(version, jre.c_str(), javaHelp.c_str(), viewer.c_str(), helpset.c_str(), jar.c_str());
      break;
    }
    case 33: {
      std::string topic = text(0);
      int32_t skyrelay = number(1);
      if (ok) com::SetResultBool(result, ShowActivePopup2(topic.c_str(), skyrelay));
      break;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
  return ok ? S_OK : DISP_E_TYPEMISMATCH;
}

LRESULT CTSHelpButtonCtrl::OnCommand(WPARAM notification) {
  if (HIWORD(notification) != BN_CLICKED) return 0;
  return ShowHelp(ControlWindow());
}

CTSHelpEngine &CTSHelpButtonCtrl::Engine() {
  if (!engine_) engine_ = std::make_unique<CTSHelpEngine>();
  return *engine_;
}

int CTSHelpButtonCtrl::ShowHelp(HWND window) {
  if (command_ == kSkyrelayTopic && view_ != 0) command_ = kSkyrelayFrameset;
  return ShowHelpEx(window, ctrlID_, mapFile_.c_str(), windowClass_.c_str(), topic_.c_str(), keywords_.c_str(),
                    command_);
}

int CTSHelpButtonCtrl::ShowHelpEx(HWND window, int32_t ctrlID, const char *mapFile, const char *windowClass,
                                  const char *topic, const char *keywords, int32_t command) {
  CTSHelpEngine &engine = Engine();
  if (command == kJavaHelpTopic)
    engine.SetJavaSettings(javaVersion_, jrePath_.c_str(), javaHelpPath_.c_str(), tipcasterPath_.c_str(),
                           helpsetFile_.c_str(), jarFile_.c_str(), topic);
  else
    engine.SetTarget(mapFile, ctrlID, windowClass, window, topic);

  switch (command) {
    case kShowTopic: engine.ShowTopic(); break;
    case kActivePopup: engine.ShowActivePopup(false); break;
    case kTextPopup: engine.ShowTextPopup(); break;
    case kContents: engine.ShowContents(); break;
    case kIndex: engine.ShowIndex(); break;
    case kSearch: engine.ShowSearch(); break;
    case kKeyword: engine.ShowKeyword(keywords, false); break;
    case kALink: engine.ShowKeyword(keywords, true); break;
    case kSkyrelayTopic: engine.ShowSkyrelayTopic(); break;
    case kSkyrelayPopup: engine.ShowActivePopup(true); break;
    case kJavaHelpTopic: engine.ShowJavaHelp(); break;
    case kSkyrelayFrameset:
      engine.ShowSkyrelayTopicEx(false);
      command_ = kSkyrelayTopic;
      break;
    default:
      MessageBoxA(ControlWindow(), "Bad Command", "TSHelpButton", MB_OK);
      return FALSE;
  }
  return TRUE;
}

// Methods 17 to 35.

CTSHelpEngine &CTSHelpButtonCtrl::Target(int32_t context, const std::string &windowClass, HWND window,
                                         const char *topic) {
  if (mapFile_.empty()) ShowErrorMessage(kNoMapFile);
  CTSHelpEngine &engine = Engine();
  engine.SetTarget(mapFile_.c_str(), context, windowClass.c_str(), window, topic);
  return engine;
}

std::string CTSHelpButtonCtrl::ClassOr(const char *wndClass) const {
  return wndClass && *wndClass ? std::string(wndClass) : windowClass_;
}

int CTSHelpButtonCtrl::ShowTextPopup(long ctxNum, long hWnd) {
  Target(ctxNum, windowClass_, hWnd ? WindowOf(hWnd) : ControlWindow(), nullptr).ShowTextPopup();
  return TRUE;
}

int CTSHelpButtonCtrl::ShowActivePopup(long ctxNum, int skyrelay) {
  Target(ctxNum, windowClass_, ControlWindow(), nullptr).ShowActivePopup(skyrelay != 0);
  return TRUE;
}

int CTSHelpButtonCtrl::ShowActivePopup2(const char *topic, int skyrelay) {
  Target(-1, windowClass_, ControlWindow(), topic).ShowActivePopup(skyrelay != 0);
  return TRUE;
}

int CTSHelpButtonCtrl::ShowHTMLHelpTopicId(long ctxNum, const char *wndClass) {
  Target(ctxNum, ClassOr(wndClass), ControlWindow(), nullptr).ShowTopic();
  return TRUE;
}

int CTSHelpButtonCtrl::ShowHTMLHelpTopic(const char *topic, const char *wndClass) {
  Target(-1, ClassOr(wndClass), ControlWindow(), topic).ShowTopic();
  return TRUE;
}

int CTSHelpButtonCtrl::SetMapFile(const char *mapFile) {
  if (mapFile && *mapFile) mapFile_ = mapFile;
  return TRUE;
}

void CTSHelpButtonCtrl::ShowAKeyword(const char *keywords, const char *wndClass) {
  Target(-1, ClassOr(wndClass), ControlWindow(), nullptr).ShowKeyword(OrEmpty(keywords), true);
}

void CTSHelpButtonCtrl::ShowKeyword(const char *keywords, const char *wndClass) {
  Target(-1, ClassOr(wndClass), ControlWindow(), nullptr).ShowKeyword(OrEmpty(keywords), false);
}

void CTSHelpButtonCtrl::ShowHTMLHelpContents(const char *wndClass) {
  Target(-1, ClassOr(wndClass), ControlWindow(), nullptr).ShowContents();
}

void CTSHelpButtonCtrl::ShowHTMLHelpIndex(const char *wndClass) {
  Target(-1, ClassOr(wndClass), ControlWindow(), nullptr).ShowIndex();
}

void CTSHelpButtonCtrl::ShowHTMLHelpSearch(const char *wndClass) {
  Target(-1, ClassOr(wndClass), ControlWindow(), nullptr).ShowSearch();
}

void CTSHelpButtonCtrl::ShowSkyrelayTopicId(long ctrl_id) {
  Target(ctrl_id, "", ControlWindow(), nullptr).ShowSkyrelayTopic();
}

void CTSHelpButtonCtrl::ShowSkyrelayTopic(const char *topic) {
  Target(-1, "", ControlWindow(), topic).ShowSkyrelayTopic();
}

void CTSHelpButtonCtrl::ShowSkyrelayTopicId2(long ctrl_id) {
  Target(ctrl_id, "", ControlWindow(), nullptr).ShowSkyrelayTopicEx(false);
}

void CTSHelpButtonCtrl::ShowSkyrelayTopic2(const char *topic) {
  Target(-1, "", ControlWindow(), topic).ShowSkyrelayTopicEx(false);
}

void CTSHelpButtonCtrl::ShowSkyrelayTopicIdSub2(long ctrl_id) {
  Target(ctrl_id, "", ControlWindow(), nullptr).ShowSkyrelayTopicEx(true);
}

void CTSHelpButtonCtrl::ShowSkyrelayTopicSub2(const char *topic) {
  Target(-1, "", ControlWindow(), topic).ShowSkyrelayTopicEx(true);
}

void CTSHelpButtonCtrl::SetJavaHelpSettings(long java_version, const char *java_path, const char *javahelp_path,
                                            const char *tipcaster_path, const char *helpset_file,
                                            const char *jar_file) {
  javaVersion_ = java_version;
  jrePath_ = OrEmpty(java_path);
  javaHelpPath_ = OrEmpty(javahelp_path);
  tipcasterPath_ = OrEmpty(tipcaster_path);
  helpsetFile_ = OrEmpty(helpset_file);
  jarFile_ = OrEmpty(jar_file);
}

void CTSHelpButtonCtrl::ShowJavaHelpTopic(const char *topic_id) {
  if (tipcasterPath_.empty()) ShowErrorMessage(kNoJavaHelpSettings);
  CTSHelpEngine &engine = Engine();
  engine.SetJavaSettings(javaVersion_, jrePath_.c_str(), javaHelpPath_.c_str(), tipcasterPath_.c_str(),
                         helpsetFile_.c_str(), jarFile_.c_str(), OrEmpty(topic_id));
  engine.ShowJavaHelp();
}
