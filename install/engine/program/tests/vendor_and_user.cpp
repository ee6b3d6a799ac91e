#include "vendor_and_user.h"

#include <windows.h>

namespace fs = std::filesystem;
using installer_user::Outcome;

void VendorAndUser::SetUp() {
  stage_ = vendor_.path();
  dist_ = stage_ / "dist";
  fs::copy_file(product::BesideTheTest("install.exe"), stage_ / "install.exe");
  files_ = product::Files();
  for (const product::File& file : files_) {
    fs::create_directories((stage_ / file.name).parent_path());
    fixture::WriteFile(stage_ / file.name, file.data);
  }
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\TORV\\Q32V52", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  std::string library = product::BesideTheTest("").string();
  RegSetValueExA(key, "SearchPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(library.c_str()),
                 static_cast<DWORD>(library.size() + 1));
  RegCloseKey(key);
}

Outcome VendorAndUser::Build(const std::string& build_inf) {
  fixture::WriteFile(stage_ / "BUILD.INF", build_inf);
  Outcome outcome = installer_user::RunInstaller("\"" + (stage_ / "install.exe").string() + "\" -b", stage_.string());
  EXPECT_TRUE(outcome.exited);
  return outcome;
}

void VendorAndUser::BuildTheDistribution() {
  Outcome outcome = Build(dist_.string() + "\r\n");
  ASSERT_EQ(outcome.box_text, "");
  ASSERT_EQ(outcome.exit_code, 0u);
}

Outcome VendorAndUser::RunSetup(const fs::path& setup_exe, const std::string& arguments, bool cancel_the_copy) {
  char previous[MAX_PATH] = {};
  bool had_tmp = GetEnvironmentVariableA("TMP", previous, sizeof previous) > 0;
  SetEnvironmentVariableA("TMP", user_temp_.path().string().c_str());
  Outcome outcome = installer_user::RunInstaller("\"" + setup_exe.string() + "\" " + arguments, "", "", cancel_the_copy);
  SetEnvironmentVariableA("TMP", had_tmp ? previous : nullptr);
  EXPECT_TRUE(outcome.exited);
  return outcome;
}

std::vector<std::string> VendorAndUser::RecordsOfTheLoadersInstaller() const {
  std::vector<std::string> records;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUV\\Install", 0, KEY_READ, &key) != ERROR_SUCCESS) return records;
  char name[256];
  for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    std::string path = product::RegistryText(key, name, "Path");
    if (path.rfind(user_temp_.path().string(), 0) == 0) records.push_back(name);
  }
  RegCloseKey(key);
  return records;
}

std::vector<std::string> VendorAndUser::LoaderFolders() const {
  std::vector<std::string> folders;
  for (const fs::directory_entry& entry : fs::directory_iterator(user_temp_.path()))
    if (entry.is_directory() && entry.path().filename().string().rfind("stp", 0) == 0)
      folders.push_back(entry.path().filename().string());
  return folders;
}
