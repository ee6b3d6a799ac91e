// The help engine's target, the map file and the HTML Help routes.
#include "engine.h"

#include <htmlhelp.h>

void ShowErrorMessage(const std::string &text) { MessageBoxA(nullptr, text.c_str(), "Error", MB_OK); }

CTSHelpEngine::CTSHelpEngine() { LoadHtmlHelp(); }

CTSHelpEngine::~CTSHelpEngine() {
  ForgetViewer();
  if (atom_) GlobalDeleteAtom(atom_);
}

std::string CTSHelpEngine::ProfileSource::Read(const std::string &section, const std::string &key) const {
  // The map file is read where FileExists found it: a bare name in the
  // current directory, not in the Windows folder.
  PathString path;
  engine_.mapFile_.ResolvePath(path, engine_.baseFolder_);
  // A value is as long as the file makes it: the buffer grows until it fits.
  std::string value(2000, '\0');
  for (;;) {
    DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", &value[0],
                                            static_cast<DWORD>(value.size()), path.c_str());
    if (length + 1 < value.size() || value.size() >= (1u << 20)) {
      value.resize(length);
      return value;
    }
    value.resize(value.size() * 2);
  }
}

void CTSHelpEngine::SetTarget(const char *mapFile, int32_t context, const char *windowClass, HWND owner,
                              const char *topic) {
  mapFile_ = mapFile;
  windowClass_ = windowClass;
  owner_ = owner;
  context_ = context;
  if (topic) topic_ = topic;
  if (!mapFile_.GetDirectory(baseFolder_)) {
    std::string current(MAX_PATH, '\0');
    DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(current.size()), &current[0]);
    if (length >= current.size()) {
      current.resize(length);
      length = GetCurrentDirectoryA(length, &current[0]);
    }
    current.resize(length);
    baseFolder_ = current;
  }
}

bool CTSHelpEngine::FileExists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CTSHelpEngine::LoadHtmlHelp() {
  if (htmlHelp_) return;
  if (!htmlHelpModule_) htmlHelpModule_ = LoadLibraryA("HHCtrl.ocx");
  if (htmlHelpModule_)
    htmlHelp_ = reinterpret_cast<HtmlHelpFunction>(
        reinterpret_cast<void *>(GetProcAddress(htmlHelpModule_, MAKEINTRESOURCEA(14))));
}

void CTSHelpEngine::CallHtmlHelp(const std::string &path, UINT command, DWORD_PTR data) {
  htmlHelp_(owner_, path.c_str(), command, data);  // its errors are not examined
}

const PathString &CTSHelpEngine::GetCompiledFile() {
  if (compiledFile_.empty()) {
    PathString read = ProfileSource(*this).Read("OPTIONS", "Compiled File");
    if (!read.empty()) read.ResolvePath(compiledFile_, baseFolder_);
  }
  return compiledFile_;
}

const PathString &CTSHelpEngine::GetPopupFile() {
  if (popupFile_.empty()) popupFile_ = ProfileSource(*this).Read("Text Popups", "Popup File");
  return popupFile_;
}

bool CTSHelpEngine::LookupContext(MapTopic &entry) const {
  return ::LookupContext(ProfileSource(*this), context_, entry);
}

bool CTSHelpEngine::MapFileExists() const {
  if (FileExists(mapFile_)) return true;
  ShowErrorMessage("Unable to show context sensitive help, " + mapFile_ + " does not exist.");
  return false;
}

void CTSHelpEngine::ShowMissingTopic() const {
  ShowErrorMessage("Topic for Help Context ID: " + std::to_string(context_) + ", does not exist");
}

bool CTSHelpEngine::TopicOfContext(MapTopic &entry) const {
  if (LookupContext(entry)) return true;
  ShowMissingTopic();
  return false;
}

bool CTSHelpEngine::HtmlHelpReady(const char *noCompiledFileMessage) {
  if (!MapFileExists() || !htmlHelp_) return false;
  if (!GetCompiledFile().empty()) return true;
  ShowErrorMessage(noCompiledFileMessage);
  return false;
}

PathString CTSHelpEngine::WithWindowSuffix(const PathString &path) const {
  return windowClass_.empty() ? path : PathString(path + ">" + windowClass_);
}

namespace {
const char kNoCompiledFileForTopic[] = "This project does not contain an HTML Help compiled file.";
const char kNoCompiledFileToReference[] = "You do not have a compiled file to reference";
}  // namespace

void CTSHelpEngine::ShowTopic() {
  if (!HtmlHelpReady(kNoCompiledFileForTopic)) return;
  if (context_ >= 1) {
    MapTopic entry;
    if (!TopicOfContext(entry)) return;
    CallHtmlHelp(WithWindowSuffix(compiledFile_), HH_HELP_CONTEXT, static_cast<DWORD_PTR>(context_));
  } else if (!topic_.empty()) {
    CallHtmlHelp(WithWindowSuffix(compiledFile_ + "::/" + topic_), HH_DISPLAY_TOPIC, 0);
  } else {
    CallHtmlHelp(compiledFile_, HH_DISPLAY_TOPIC, 0);
  }
}

void CTSHelpEngine::ShowTextPopup() {
  MapTopic entry;
  if (!HtmlHelpReady(kNoCompiledFileForTopic) || !TopicOfContext(entry)) return;
  if (GetPopupFile().empty()) {
    ShowErrorMessage("You do not have a popup file to reference");
    return;
  }
  PathString path;
  compiledFile_.ResolvePath(path, baseFolder_);
  path.ReplaceChar('\\', '/');
  path += "::/" + popupFile_;

  PopupStyle style = ReadPopupStyle(ProfileSource(*this));
  popupFont_ = style.font;
  HH_POPUP popup = {};
  popup.cbStruct = sizeof popup;
  popup.hinst = nullptr;
  popup.idString = static_cast<UINT>(context_);
  popup.pszText = "";
  GetCursorPos(&popup.pt);
  popup.clrForeground = static_cast<COLORREF>(style.textColor);
  popup.clrBackground = static_cast<COLORREF>(style.backColor);
  popup.rcMargins = {style.horizontalMargin, style.verticalMargin, style.horizontalMargin,
                     style.verticalMargin};
  popup.pszFont = popupFont_.empty() ? nullptr : popupFont_.c_str();
  CallHtmlHelp(path, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&popup));
}

void CTSHelpEngine::ShowKeyword(const char *keywords, bool aKeyword) {
  if (!HtmlHelpReady(kNoCompiledFileToReference)) return;
  HH_AKLINK link = {};
  link.cbStruct = sizeof link;
  link.fReserved = FALSE;
  link.pszKeywords = keywords;
  link.pszUrl = "";
  link.pszMsgText = nullptr;
  link.pszMsgTitle = nullptr;
  link.pszWindow = windowClass_.c_str();
  link.fIndexOnFail = TRUE;
  CallHtmlHelp(compiledFile_, aKeyword ? HH_ALINK_LOOKUP : HH_KEYWORD_LOOKUP, reinterpret_cast<DWORD_PTR>(&link));
}

void CTSHelpEngine::ShowNavigation(UINT command) {
  if (!HtmlHelpReady(kNoCompiledFileToReference)) return;
  CallHtmlHelp(WithWindowSuffix(compiledFile_), command, 0);
}

void CTSHelpEngine::ShowContents() { ShowNavigation(HH_DISPLAY_TOC); }

void CTSHelpEngine::ShowIndex() { ShowNavigation(HH_DISPLAY_INDEX); }

void CTSHelpEngine::ShowSearch() {
  if (!HtmlHelpReady(kNoCompiledFileToReference)) return;
  HH_FTS_QUERY query = {};
  query.cbStruct = sizeof query;
  query.fUniCodeStrings = FALSE;
  query.pszSearchQuery = "";
  query.iProximity = -1;
  query.fStemmedSearch = FALSE;
  query.fTitleOnly = FALSE;
  query.fExecute = TRUE;
  query.pszWindow = windowClass_.c_str();
  CallHtmlHelp(compiledFile_, HH_DISPLAY_SEARCH, reinterpret_cast<DWORD_PTR>(&query));
}
