// The JavaHelp route: a viewer in a Java runtime, started once with the
// first topic on its command line and then sent further topics and control
// commands through a pipe that is its standard input.
#include "engine.h"
#include "resource.h"
#include "framework/com.h"

namespace {

const char kHomeCommand[] = "$$$home$$$";
const char kQuitCommand[] = "$$$qv-quit$$$";
const char kNewHelpsetCommand[] = "$$$new-helpset$$$";

std::string LoadModuleText(UINT id) {
  std::string text(256, '\0');
  for (;;) {
    int length = LoadStringA(com::ModuleInstance(), id, &text[0], static_cast<int>(text.size()));
    if (length <= 0) return std::string();
    if (static_cast<size_t>(length) + 1 < text.size()) {
      text.resize(static_cast<size_t>(length));
      return text;
    }
    text.resize(text.size() * 2);
  }
}

void CloseIfOpen(HANDLE &handle) {
  if (handle) CloseHandle(handle);
  handle = nullptr;
}

}  // namespace

void CTSHelpEngine::SetJavaSettings(int32_t javaVersion, const char *jrePath, const char *javaHelpPath,
                                    const char *viewerArchivePath, const char *helpsetFile,
                                    const char *projectArchive, const char *topic) {
  restartViewer_ = false;
  if (ViewerRunning()) {
    // The JavaHelp path alone is no reason for a new viewer.
    restartViewer_ = javaVersion != java_.javaVersion || java_.jrePath != jrePath ||
                     java_.viewerArchivePath != viewerArchivePath || java_.helpsetFile != helpsetFile ||
                     java_.projectArchive != projectArchive;
  }
  java_.javaVersion = javaVersion;
  java_.jrePath = jrePath;
  java_.javaHelpPath = javaHelpPath;
  java_.viewerArchivePath = viewerArchivePath;
  java_.helpsetFile = helpsetFile;
  java_.projectArchive = projectArchive;
  topic_ = topic;
}

bool CTSHelpEngine::ViewerRunning() const {
  DWORD exitCode = 0;
  return viewerProcess_ && viewerInput_ && GetExitCodeProcess(viewerProcess_, &exitCode) &&
         exitCode == STILL_ACTIVE;
}

void CTSHelpEngine::WriteToViewer(const std::string &text) {
  DWORD written = 0;
  WriteFile(viewerInput_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void CTSHelpEngine::ShowJavaHelp() {
  if (restartViewer_) {
    StopJavaViewer(ViewerStop::NewHelpset);
  } else if (ViewerRunning()) {
    WriteToViewer(topic_.empty() ? std::string(kHomeCommand) : std::string(topic_));
    return;
  }
  JavaTemplate javaTemplate{LoadModuleText(IDS_JAVA_COMMAND_LINE), LoadModuleText(IDS_JAVA_RUNTIME_NEW),
                            LoadModuleText(IDS_JAVA_RUNTIME_OLD)};
  std::string commandLine, missing;
  if (!BuildJavaCommandLine(javaTemplate, java_, topic_, FileExists, commandLine, missing)) {
    ShowErrorMessage("Unable to show JavaHelp topic, " + missing + " does not exist.");
    return;
  }
  StartJavaViewer(commandLine);
}

void CTSHelpEngine::StopJavaViewer(ViewerStop kind) {
  if (!ViewerRunning()) return;
  if (kind == ViewerStop::Quit) {
    WriteToViewer(kQuitCommand);
    return;
  }
  WriteToViewer(kNewHelpsetCommand);
  ForgetViewer();
}

void CTSHelpEngine::ForgetViewer() {
  CloseIfOpen(viewerInput_);
  CloseIfOpen(viewerProcess_);
}

void CTSHelpEngine::StartJavaViewer(const std::string &commandLine) {
  ForgetViewer();  // the handles of a viewer that ended
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return;
  // Only the read end goes to the viewer: were the write end inherited too,
  // the viewer would hold its own input open and never see it end.
  SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);

  HANDLE savedInput = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE savedOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  HANDLE savedError = GetStdHandle(STD_ERROR_HANDLE);
  SetStdHandle(STD_INPUT_HANDLE, readEnd);
  SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  SetStdHandle(STD_ERROR_HANDLE, nullptr);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string line = commandLine;
  if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    viewerProcess_ = process.hProcess;
    viewerInput_ = writeEnd;
  } else {
    CloseHandle(writeEnd);
  }
  CloseHandle(readEnd);

  SetStdHandle(STD_INPUT_HANDLE, savedInput);
  SetStdHandle(STD_OUTPUT_HANDLE, savedOutput);
  SetStdHandle(STD_ERROR_HANDLE, savedError);
}
