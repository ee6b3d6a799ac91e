// The distribution as its vendor and its users meet it: the vendor's folder
// holds install.exe and the product's files, and install.exe -b there
// builds the distribution that BUILD.INF names; a user runs its setup.exe,
// whose loader unpacks the installer into a temporary folder of the test's
// own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/tests/archive_fixture.h"
#include "installer_user.h"
#include "product.h"

class VendorAndUser : public ::testing::Test {
protected:
  // The vendor's folder with install.exe and the product's files; the
  // development environment's library search path names the folder of
  // this test, where the build put the loader and its marker.
  void SetUp() override;
  // install.exe -b with this BUILD.INF, run in the vendor's folder.
  installer_user::Outcome Build(const std::string& build_inf);
  // The distribution in dist_, built without a word from the program.
  void BuildTheDistribution();
  // A user runs setup_exe with arguments, pressing Cancel in the
  // copy-progress window when cancel_the_copy says so.
  installer_user::Outcome RunSetup(const std::filesystem::path& setup_exe, const std::string& arguments = "",
                                   bool cancel_the_copy = false);
  // The install records whose installer ran from the user's temporary
  // folder.
  std::vector<std::string> RecordsOfTheLoadersInstaller() const;
  // The folders the loaders unpacked the installer into that are left in
  // the user's temporary folder.
  std::vector<std::string> LoaderFolders() const;
  bool Built(const char* name) const { return std::filesystem::exists(dist_ / name); }

  fixture::TempDir vendor_, user_temp_;
  std::filesystem::path stage_, dist_;
  std::vector<product::File> files_;
};
