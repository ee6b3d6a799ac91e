// Self-registration under Wine: regsvr32 registers the control, its pages
// and its type library, and regsvr32 /u removes every key again. The
// registry is read back with the system's 32-bit reg.exe, an independent
// reader.
#include <gmock/gmock.h>
#include <windows.h>

#include <string>

namespace {

const char kControlClsid[] = "{550BADC4-E6A3-11D0-A389-0000E81F4743}";
const char kLibid[] = "{550BADC1-E6A3-11D0-A389-0000E81F4743}";

struct Finished {
  DWORD exitCode;
  std::string output;
};

// Runs a program of the system and collects its output; a program that has
// not ended after a minute is stopped and fails the test.
Finished RunProgram(const std::string &commandLine) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  CreatePipe(&readEnd, &writeEnd, &inheritable, 0);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process = {};
  std::string line = commandLine;
  Finished finished = {~0u, ""};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << commandLine;
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
    return finished;
  }
  CloseHandle(writeEnd);
  // Read while the program runs, and what is left once it ended: a process
  // it started (a COM service, say) may hold the pipe open after it.
  auto drain = [&] {
    char buffer[4096];
    DWORD ready = 0, read = 0;
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &ready, nullptr) && ready > 0 &&
           ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0)
      finished.output.append(buffer, read);
  };
  DWORD started = GetTickCount();
  while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
    drain();
    if (GetTickCount() - started > 60000) {
      TerminateProcess(process.hProcess, 1);
      ADD_FAILURE() << commandLine << " did not end";
    }
  }
  drain();
  GetExitCodeProcess(process.hProcess, &finished.exitCode);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(readEnd);
  return finished;
}

std::string SystemProgram(const char *name) {
  char folder[MAX_PATH];
  // The system folder of this test's own architecture: a 32-bit test gets
  // the 32-bit programs, a 64-bit one the 64-bit programs.
  GetSystemDirectoryA(folder, sizeof folder);
  return std::string(folder) + "\\" + name;
}

std::string ControlPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\')) + "\\tipcaster.ocx";
}

bool KeyExists(const std::string &key) { return RunProgram(SystemProgram("reg.exe") + " query \"" + key + "\"").exitCode == 0; }

// The data of one value as reg.exe prints it, or "" when there is none.
std::string ValueOf(const std::string &key, const char *value) {
  std::string query = SystemProgram("reg.exe") + " query \"" + key + "\" " + (value ? "/v \"" + std::string(value) + "\"" : "/ve");
  Finished result = RunProgram(query);
  size_t type = result.output.find("REG_SZ");
  if (result.exitCode != 0 || type == std::string::npos) return "";
  std::string data = result.output.substr(type + 6);
  data.erase(0, data.find_first_not_of(' '));
  return data.substr(0, data.find_first_of("\r\n"));
}

const std::string kControlKey = std::string("HKCR\\CLSID\\") + kControlClsid;
const std::string kTypeLibraryKey = std::string("HKCR\\TypeLib\\") + kLibid;

const char *const kRegisteredKeys[] = {
    "HKCR\\TSHELP.TSHelpButtonCtrl.1",
    "HKCR\\TSHELP.TSHelpButtonPropPage.1",
    "HKCR\\orvane.CTSHelpJavaHelpSettings",
    "HKCR\\CLSID\\{550BADC4-E6A3-11D0-A389-0000E81F4743}",
    "HKCR\\CLSID\\{550BADC5-E6A3-11D0-A389-0000E81F4743}",
    "HKCR\\CLSID\\{82F97762-9EFC-11D2-8E9E-00AA00A77D26}",
    "HKCR\\TypeLib\\{550BADC1-E6A3-11D0-A389-0000E81F4743}",
    "HKCR\\Interface\\{550BADC2-E6A3-11D0-A389-0000E81F4743}",
};

TEST(RegistrationTest, Regsvr32RegistersAndRemovesEverything) {
  ASSERT_EQ(RunProgram(SystemProgram("regsvr32.exe") + " /s \"" + ControlPath() + "\"").exitCode, 0u);
  for (const char *key : kRegisteredKeys) EXPECT_TRUE(KeyExists(key)) << key;
  EXPECT_EQ(ValueOf(kControlKey, nullptr), "Tessaline Context Sensitive Help Control");
  EXPECT_EQ(ValueOf(kControlKey + "\\ProgID", nullptr), "TSHELP.TSHelpButtonCtrl.1");
  EXPECT_EQ(ValueOf("HKCR\\TSHELP.TSHelpButtonCtrl.1\\CLSID", nullptr), kControlClsid);
  EXPECT_EQ(ValueOf(kControlKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(ValueOf(kControlKey + "\\MiscStatus\\1", nullptr), "131473");
  EXPECT_EQ(ValueOf(kControlKey + "\\TypeLib", nullptr), kLibid);
  EXPECT_EQ(ValueOf(kControlKey + "\\Version", nullptr), "1.0");
  EXPECT_TRUE(KeyExists(kControlKey + "\\Control"));
  EXPECT_EQ(ValueOf("HKCR\\CLSID\\{82F97762-9EFC-11D2-8E9E-00AA00A77D26}", nullptr), "TSHelpButton JavaHelp Settings");
  EXPECT_EQ(ValueOf(kTypeLibraryKey + "\\1.0", nullptr), "Tessaline Context Sensitive Help Control");
  // The type library is built for the control's architecture.
  EXPECT_TRUE(KeyExists(kTypeLibraryKey + (sizeof(void *) == 8 ? "\\1.0\\409\\win64" : "\\1.0\\409\\win32")));

  ASSERT_EQ(RunProgram(SystemProgram("regsvr32.exe") + " /u /s \"" + ControlPath() + "\"").exitCode, 0u);
  for (const char *key : kRegisteredKeys) EXPECT_FALSE(KeyExists(key)) << key;
}

// Registers the library in this process, as the setup program does.
HRESULT CallRegistration(const char *entry) {
  HMODULE library = LoadLibraryA("tipcaster.ocx");
  if (!library) return E_FAIL;
  auto function = reinterpret_cast<HRESULT(WINAPI *)()>(reinterpret_cast<void *>(GetProcAddress(library, entry)));
  HRESULT result = function ? function() : E_FAIL;
  FreeLibrary(library);
  return result;
}

TEST(RegistrationTest, EntryPointsRegisterOnceAndUnregisterOnce) {
  EXPECT_EQ(CallRegistration("DllRegisterServer"), S_OK);
  EXPECT_EQ(CallRegistration("DllUnregisterServer"), S_OK);
  // Nothing left to remove: the type library is not found.
  EXPECT_EQ(CallRegistration("DllUnregisterServer"), static_cast<HRESULT>(0x80040200));
  EXPECT_FALSE(KeyExists(kControlKey));
}

// A script host as the automation client: VBScript creates the control by
// its ProgID and uses it through late binding alone.
TEST(RegistrationTest, ScriptHostUsesTheControlByName) {
  ASSERT_EQ(CallRegistration("DllRegisterServer"), S_OK);
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string script = std::string(temp) + "tipcaster script host.vbs";
  HANDLE file = CreateFileA(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const std::string text =
      "Set help = CreateObject(\"TSHELP.TSHelpButtonCtrl.1\")\r\n"
      "help.mapFile = \"first.map\"\r\n"
      "help.CtrlID = 7\r\n"
      "kept = help.SetMapFile(\"\")\r\n"
      "help.SetJavaHelpSettings 1, \"C:\\jre\", \"C:\\jh\", \"C:\\tc\", \"h.hs\", \"\"\r\n"
      "WScript.Echo help.mapFile & \"|\" & help.ctrlID & \"|\" & kept & \"|\" & help.javaVersion & \"|\" & help.JREPath\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  Finished run = RunProgram(SystemProgram("cscript.exe") + " //nologo \"" + script + "\"");
  DeleteFileA(script.c_str());
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.output.substr(0, run.output.find_first_of("\r\n")), "first.map|7|True|1|C:\\jre");
  EXPECT_EQ(CallRegistration("DllUnregisterServer"), S_OK);
}

}  // namespace
