#include "core/support.h"

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

TEST(PathTexts, TrailingBackslashes) {
  EXPECT_EQ(AddTrailingBackslash(""), "");
  EXPECT_EQ(AddTrailingBackslash("C:\\a"), "C:\\a\\");
  EXPECT_EQ(AddTrailingBackslash("C:\\a\\"), "C:\\a\\");
  EXPECT_EQ(RemoveTrailingBackslash("C:\\a\\\\"), "C:\\a\\");
  EXPECT_EQ(RemoveTrailingBackslash(""), "");
}

// Both separators end a directory part; a root keeps its separator.
TEST(PathTexts, PartsOfAPath) {
  struct Row {
    std::string path, dir, name, ext, with_ext;
  } rows[] = {
      {"C:\\dir\\file.txt", "C:\\dir", "file.txt", ".txt", "C:\\dir\\file.1"},
      {"dir/sub/file", "dir/sub", "file", "", "dir/sub/file.1"},
      {"C:\\file.a.b", "C:\\", "file.a.b", ".b", "C:\\file.a.1"},
      {"/file", "/", "file", "", "/file.1"},
      {"dir.x/file", "dir.x", "file", "", "dir.x/file.1"},
      {"bare", "", "bare", "", "bare.1"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ExtractFileDir(row.path), row.dir) << row.path;
    EXPECT_EQ(ExtractFileName(row.path), row.name) << row.path;
    EXPECT_EQ(ExtractFileExt(row.path), row.ext) << row.path;
    EXPECT_EQ(ChangeFileExt(row.path, ".1"), row.with_ext) << row.path;
  }
  EXPECT_EQ(AddTrailingPathDelimiter(""), "");
  EXPECT_EQ(AddTrailingPathDelimiter("a/"), "a/");
  EXPECT_EQ(AddTrailingPathDelimiter("a\\"), "a\\");
  EXPECT_EQ(AddTrailingPathDelimiter("a"), std::string("a") + kPathDelimiter);
}

TEST(DelimitedFields, CountAndPick) {
  EXPECT_EQ(GetFieldCount("a;b", ';'), 2);
  EXPECT_EQ(GetFieldCount("a;b;", ';'), 2);
  EXPECT_EQ(GetFieldCount("", ';'), 0);
  // The delimiter given counts at the end too, whatever it is.
  EXPECT_EQ(GetFieldCount("a,b,", ','), 2);
  EXPECT_EQ(GetFieldCount("a,b", ','), 2);
  EXPECT_EQ(GetDelimitedField("a;b", 3, ';'), "");
  EXPECT_EQ(GetDelimitedField("a;b", 2, ';'), "b");
  EXPECT_EQ(GetDelimitedField("whole", 1, ';'), "whole");
  EXPECT_EQ(GetDelimitedField("C:\\BDE;D:\\Other", 1, ';'), "C:\\BDE");
  TStringList list{"old"};
  SplitToStrings("x;y;", ';', list);
  EXPECT_EQ(list, (TStringList{"x", "y"}));
}

TEST(Texts, ColonAndSafeFileNames) {
  EXPECT_EQ(TextAfterColon("key:value:more"), "value:more");
  EXPECT_EQ(TextAfterColon("no colon here"), "no colon here");
  EXPECT_EQ(MakeFileNameSafe("ftp.example.org/pub:1"), "ftp.example.org-pub1");
  EXPECT_EQ(MakeFileNameSafe("a\"*;<>?\\|b"), "ab");
}

TEST(OSVersion, ClassifiesEveryReport) {
  struct Case {
    uint32_t platform, major, minor;
    TOSVerType expected;
  } cases[] = {
      {0, 3, 10, os31win32},  {1, 4, 0, oswin98},      {1, 4, 10, oswin98}, {1, 4, 90, oswinME},
      {2, 3, 51, oswinNT351}, {2, 4, 0, oswinNT},      {2, 5, 0, oswin2K},  {2, 5, 1, oswinXP},
      {2, 5, 2, oswinXP},     {2, 6, 1, oswinXP},      {2, 10, 0, oswinXP}, {3, 1, 0, osUnidentified},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ClassifyOSVersion(c.platform, c.major, c.minor), c.expected)
        << c.platform << " " << c.major << "." << c.minor;
}

// The running system is in every object's default OS set, so a script with
// default sets installs its objects.
TEST_F(EngineTest, DefaultOSSetHoldsTheRunningSystem) {
  TTestObject* object = Object("O", 2000);
  EXPECT_TRUE(object->OS() & OSBit(GetOSVersion())) << kOSVerTypeNames[GetOSVersion()];
  object->Process();
  EXPECT_TRUE(object->Installed());
}

class TCustomInstallFile : public TComponent {
  FORMS_CLASS(TCustomInstallFile)
};
const ClassInfo& TCustomInstallFile::StaticClass() {
  static const ClassInfo info{"TCustomInstallFile", &TComponent::StaticClass()};
  return info;
}

TEST(UniqueNames, CounterAfterRefusedNamesAndInstallFileForm) {
  TComponent* owner = New<TComponent>(nullptr);
  TComponent* first = New<TComponent>(owner);
  MakeUniqueComponentName(*first, "psFolder");
  TComponent* second = New<TComponent>(owner);
  MakeUniqueComponentName(*second, "psFolder");
  TComponent* third = New<TComponent>(owner);
  MakeUniqueComponentName(*third, "psFolder");
  EXPECT_EQ(first->Name(), "psFolder");
  EXPECT_EQ(second->Name(), "psFolder1");
  EXPECT_EQ(third->Name(), "psFolder2");
  auto* file = New<TCustomInstallFile>(owner);
  MakeUniqueComponentName(*file, "ShFolder.Exe");
  EXPECT_EQ(file->Name(), "IFShFolder_Exe");
  auto* odd = New<TCustomInstallFile>(owner);
  MakeUniqueComponentName(*odd, "my-setup v2.tar.gz");
  EXPECT_EQ(odd->Name(), "IFmysetupv2tar_gz");
  Free(owner);
}

TEST(UniqueNames, GivesUpWhenNoNameIsAccepted) {
  TComponent* owner = New<TComponent>(nullptr);
  TComponent* component = New<TComponent>(owner);
  // "1x" and "1x<n>" are never identifiers: every try is refused.
  EXPECT_THROW(MakeUniqueComponentName(*component, "1x"), EQuendricAbnormal);
  Free(owner);
}

TEST(Information, Defaults) {
  TInstallInformation information;
  EXPECT_EQ(information.CompanyName(), "My Company");
  EXPECT_EQ(information.ProductName(), "My product");
  EXPECT_EQ(information.Version(), "1.0");
  TRegistrationInformation registration;
  EXPECT_EQ(registration.RegCompany(), "");
}

}  // namespace
}  // namespace install_test
