// Registry calls of Windows Vista and later (RegGetValue, RegDeleteTree).
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include "product.h"

#include <gtest/gtest.h>

#include "archive/tests/archive_fixture.h"

namespace product {

namespace {

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Network Monitor";

std::filesystem::path ProductFolder() {
  char program_files[MAX_PATH] = {};
  ExpandEnvironmentStringsA("%ProgramFiles%", program_files, sizeof program_files);
  return std::filesystem::path(program_files) / "ZUV";
}

}  // namespace

const std::vector<std::string> kWizardPages = {"Welcome", "Choose Destination Location",
                                               "Select folder in start menu", "Setup complete"};

std::vector<File> Files() {
  return {{"Redist\\ShFolder.Exe", 0, "MZ shell folders"},
          {"Redist\\50ComUpd.Exe", 1, "MZ common controls"},
          {"Bin\\dmwclient.dll", 2, "MZ trend agent " + fixture::TextData(20000, 2)},
          {"Bin\\polyprobe.dll", 3, "MZ service monitor"},
          {"Bin\\pagerwire.dll", 4, "MZ messaging"},
          {"Bin\\tipcaster.ocx", 5, fixture::ReadFile(BesideTheTest("install_program_regserver.dll"))}};
}

std::filesystem::path BesideTheTest(const char* name) {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  return std::filesystem::path(program).parent_path() / name;
}

std::string RegistryText(HKEY root, const char* key, const char* value) {
  char data[MAX_PATH] = {};
  DWORD size = sizeof data;
  if (RegGetValueA(root, key, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return "";
  return data;
}

void ExpectInstalled(const std::vector<File>& files) {
  std::filesystem::path product = ProductFolder();
  EXPECT_EQ(fixture::ReadFile(product / "Updates" / "ShFolder.Exe"), "MZ shell folders");
  EXPECT_FALSE(std::filesystem::exists(product / "Updates" / "50ComUpd.Exe"));
  for (const File& file : files) {
    if (file.name.rfind("Bin\\", 0) != 0) continue;
    EXPECT_TRUE(fixture::ReadFile(product / file.name.substr(4)) == file.data) << file.name;
  }
  std::string control = (product / "tipcaster.ocx").string();
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "Software\\NetmonTests", "ProgramTestRegistered"), control);
  std::string active_x = std::string(kUninstallKey) + "\\ActiveX";
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, active_x.c_str(), "File1"), control + ";0");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "\\Files").c_str(), "Entries"), "3");
}

void Forget() {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\NetmonTests", "ProgramTestRegistered");
  std::error_code ignored;
  std::filesystem::remove_all(ProductFolder(), ignored);
}

}  // namespace product
