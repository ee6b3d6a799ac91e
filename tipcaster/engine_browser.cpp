// The help engine's routes outside HTML Help: the active popup drawn by the
// popup control, the notification of the viewer window, and the browser.
#include "engine.h"

#include <ddeml.h>
#include <ole2.h>
#include <shellapi.h>

#include "framework/com.h"

namespace {

const char kViewerWindow[] = "RODOROZUDA";
const char kViewerMessage[] = "TessalineSkyrelay";
const DWORD kDdeTimeoutMs = 5000;

// Calls dispatch id 1 of the popup control: (URL, 0, width, height).
void ShowInPopupControl(const std::string &url, int32_t width, int32_t height) {
  CLSID clsid;
  IDispatch *popup = nullptr;
  if (FAILED(CLSIDFromProgID(L"TESSAPOP.TessapopCtrl.1", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              reinterpret_cast<void **>(&popup))))
    return;
  VARIANT args[4];  // last to first
  for (VARIANT &arg : args) VariantInit(&arg);
  args[3].vt = VT_BSTR;
  args[3].bstrVal = com::ToBstr(url);
  args[2].vt = VT_I2;
  args[2].iVal = 0;
  args[1].vt = VT_I2;
  args[1].iVal = static_cast<SHORT>(width);
  args[0].vt = VT_I2;
  args[0].iVal = static_cast<SHORT>(height);
  DISPPARAMS params = {args, nullptr, 4, 0};
  popup->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  VariantClear(&args[3]);
  popup->Release();
}

HDDEDATA CALLBACK DdeClientCallback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return type == XTYP_ADVDATA ? reinterpret_cast<HDDEDATA>(DDE_FACK) : nullptr;
}

enum class DdeOutcome { NoConversation, NoData, Answered };

// Requests one item on a topic of the service.
DdeOutcome DdeRequest(DWORD instance, HSZ service, const char *topic, const char *item) {
  HSZ topicHandle = DdeCreateStringHandleA(instance, topic, CP_WINANSI);
  HSZ itemHandle = DdeCreateStringHandleA(instance, item, CP_WINANSI);
  DdeOutcome answered = DdeOutcome::NoConversation;
  if (HCONV conversation = DdeConnect(instance, service, topicHandle, nullptr)) {
    HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, itemHandle, CF_TEXT, XTYP_REQUEST,
                                         kDdeTimeoutMs, nullptr);
    answered = data ? DdeOutcome::Answered : DdeOutcome::NoData;
    if (data) DdeFreeDataHandle(data);
    DdeDisconnect(conversation);
  }
  DdeFreeStringHandle(instance, itemHandle);
  DdeFreeStringHandle(instance, topicHandle);
  return answered;
}

}  // namespace

void CTSHelpEngine::ShowActivePopup(bool skyrelay) {
  if (!MapFileExists()) return;
  if (skyrelay) NotifySkyrelayViewer(mapFile_, "", context_, true);
  MapTopic entry;
  if (context_ < 1) {
    if (topic_.empty()) return;
    entry.topic = topic_;
    entry.width = 250;
    entry.height = 175;
  } else if (!TopicOfContext(entry)) {
    return;
  }
  const PathString &compiled = GetCompiledFile();
  std::string url;
  if (skyrelay || compiled.empty()) {
    PathString resolved;
    PathString(entry.topic).ResolvePath(resolved, baseFolder_);
    url = resolved;
  } else {
    url = "mk:@MSITStore:" + compiled + "::/" + entry.topic;
  }
  ShowInPopupControl(url, entry.width, entry.height);
}

void CTSHelpEngine::NotifySkyrelayViewer(const std::string &mapFile, const std::string &topicName,
                                         int32_t context, bool popup) {
  HWND viewer = FindWindowA(kViewerWindow, kViewerWindow);
  if (!viewer) return;
  if (!viewerMessage_) viewerMessage_ = RegisterWindowMessageA(kViewerMessage);
  if (!viewerMessage_) return;
  if (atom_) GlobalDeleteAtom(atom_);
  std::string text = mapFile + " (" + topicName + ")" + (popup ? "*" : "");
  atom_ = GlobalAddAtomA(text.c_str());
  // A text too long for an atom makes none; the viewer gets nothing unreadable.
  if (atom_) PostMessageA(viewer, viewerMessage_, atom_, static_cast<LPARAM>(context));
}

// The topic of a browser route: the engine's topic, or the [MAP] entry of
// the context number; false after the missing-topic message.
bool CTSHelpEngine::SkyrelayTopic(PathString &topic) {
  if (context_ < 1) {
    topic = topic_;
    return true;
  }
  MapTopic entry;
  if (!LookupContext(entry)) {
    NotifySkyrelayViewer(mapFile_, "", context_, false);
    ShowMissingTopic();
    return false;
  }
  topic = entry.topic;
  return true;
}

bool CTSHelpEngine::FindBrowser(const PathString &page, std::string &program, const std::string &shownOnFailure) {
  PathString folder, name;
  page.GetDirectory(folder);
  page.GetFileName(name);
  char found[MAX_PATH] = "";
  auto result = reinterpret_cast<INT_PTR>(FindExecutableA(name.c_str(), folder.c_str(), found));
  // Any result of 32 or below is a failure, not only "no association".
  if (result <= 32 || found[0] == '\0') {
    ShowErrorMessage("Unable to find browser to open: " + shownOnFailure);
    return false;
  }
  program = found;
  return true;
}

bool CTSHelpEngine::OpenByDde(const std::string &program, const std::string &page) {
  DWORD instance = 0;
  if (DdeInitializeA(&instance, DdeClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return false;
  PathString title;
  PathString(program).GetFileTitle(title);
  HSZ service = DdeCreateStringHandleA(instance, title.c_str(), CP_WINANSI);
  DdeOutcome opened = DdeRequest(instance, service, "WWW_OpenURL", (page + ",,0xFFFFFFFF,0x01").c_str());
  if (opened != DdeOutcome::NoConversation) DdeRequest(instance, service, "WWW_Activate", "0xffffffff,0x0");
  DdeFreeStringHandle(instance, service);
  DdeUninitialize(instance);
  return opened == DdeOutcome::Answered;
}

void CTSHelpEngine::StartProgram(const std::string &commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};
  std::string line = commandLine;
  if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                     &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

void CTSHelpEngine::ShowSkyrelayTopic() {
  PathString topic;
  if (!MapFileExists() || !SkyrelayTopic(topic)) return;
  if (topic.empty()) topic = ReadFrameset(ProfileSource(*this), false);
  PathString page, name;
  topic.ResolvePath(page, baseFolder_);
  page.GetFileName(name);
  NotifySkyrelayViewer(mapFile_, name, context_, false);
  std::string program;
  if (!FindBrowser(page, program, page)) return;
  if (!OpenByDde(program, page)) StartProgram(BrowserCommandLine(program, page));
}

void CTSHelpEngine::ShowSkyrelayTopicEx(bool secondary) {
  PathString topic;
  if (!MapFileExists() || !SkyrelayTopic(topic)) return;
  PathString page;
  PathString(ReadFrameset(ProfileSource(*this), secondary)).ResolvePath(page, baseFolder_);
  NotifySkyrelayViewer(mapFile_, topic, context_, false);
  std::string program;
  if (!FindBrowser(page, program, topic)) return;
  StartProgram(BrowserCommandLine(program, "file://" + page + "?" + topic));
}
