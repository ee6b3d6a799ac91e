// The version the installer reads from the running Windows, for each
// version Wine can present to one program (its AppDefaults setting).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support.h"

namespace install {
namespace {

const char* const kProbeKey = "Software\\Wine\\AppDefaults\\install_os_probe.exe";

std::string BesideThisProgram(const std::string& name) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string self(path, length);
  return self.substr(0, self.find_last_of('\\') + 1) + name;
}

// Runs the probe with Wine presenting version (none: Wine's default).
int ProbeUnder(const char* version) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kProbeKey);
  if (version) {
    HKEY key;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kProbeKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>(strlen(version) + 1));
    RegCloseKey(key);
  }
  std::string command = "\"" + BesideThisProgram("install_os_probe.exe") + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start the probe";
    return -1;
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  RegDeleteKeyA(HKEY_CURRENT_USER, kProbeKey);
  return static_cast<int>(code);
}

TEST(OSVersionUnderWine, EachPresentedVersion) {
  struct Case {
    const char* version;
    TOSVerType expected;
  } cases[] = {{nullptr, oswinXP},  // Wine's default, 6.1
               {"winxp", oswinXP}, {"win2k", oswin2K}, {"nt40", oswinNT}, {"win98", oswin98}, {"winme", oswinME}};
  for (const auto& c : cases)
    EXPECT_EQ(ProbeUnder(c.version), c.expected) << (c.version ? c.version : "default");
}

}  // namespace
}  // namespace install
