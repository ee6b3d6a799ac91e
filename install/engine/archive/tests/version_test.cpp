// Version comparison, the version-resource values and the overwrite
// decision table, with a fake version reader that lays out the fixed
// information block and the string tables itself.
#include <gtest/gtest.h>

#include <map>

#include "archive/day_date.h"
#include "archive/qndr_compress.h"
#include "archive/tests/archive_fixture.h"
#include "archive/version_resource.h"
#include "os.h"

using namespace install;

namespace {

struct FakeFile {
  uint16_t file[4] = {0, 0, 0, 0};
  uint16_t product[4] = {0, 0, 0, 0};
  uint32_t os = 4, type = 1, subtype = 0;
  std::vector<uint8_t> translation = {0x09, 0x04, 0xE4, 0x04};
  std::map<std::string, std::string> strings;  // "040904E4\\CompanyName" -> value
};

using FakeFiles = std::map<std::string, FakeFile>;

void Put32(std::vector<uint8_t> &out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// The fixed information block as the system lays it out: signature,
// structure version, file version (MS, LS), product version (MS, LS),
// flags mask, flags, OS, type, subtype, date (MS, LS).
std::vector<uint8_t> FixedBlock(const FakeFile &f) {
  std::vector<uint8_t> block(52, 0);
  Put32(block, 0, 0xFEEF04BD);
  Put32(block, 4, 0x00010000);
  Put32(block, 8, uint32_t{f.file[0]} << 16 | f.file[1]);
  Put32(block, 12, uint32_t{f.file[2]} << 16 | f.file[3]);
  Put32(block, 16, uint32_t{f.product[0]} << 16 | f.product[1]);
  Put32(block, 20, uint32_t{f.product[2]} << 16 | f.product[3]);
  Put32(block, 24, 0x3F);
  Put32(block, 32, f.os);
  Put32(block, 36, f.type);
  Put32(block, 40, f.subtype);
  return block;
}

class FakeReader : public VersionReader {
 public:
  explicit FakeReader(const FakeFiles &files) : files_(files) {}
  bool Load(const std::string &path) override {
    auto found = files_.find(path);
    loaded_ = found == files_.end() ? nullptr : &found->second;
    return loaded_ != nullptr;
  }
  bool Query(const std::string &subBlock, std::vector<uint8_t> *value) const override {
    if (!loaded_) return false;
    const std::string strings = "\\StringFileInfo\\";
    if (subBlock == "\\") {
      *value = FixedBlock(*loaded_);
    } else if (subBlock == "\\VarFileInfo\\Translation") {
      *value = loaded_->translation;
    } else if (subBlock.compare(0, strings.size(), strings) == 0) {
      auto found = loaded_->strings.find(subBlock.substr(strings.size()));
      if (found == loaded_->strings.end()) return false;
      value->assign(found->second.begin(), found->second.end());
      value->push_back(0);
    } else {
      return false;
    }
    return true;
  }

 private:
  const FakeFiles &files_;
  const FakeFile *loaded_ = nullptr;
};

TEST(CompareVersions, FieldByField) {
  const struct {
    const char *a, *b;
    int result;
  } cases[] = {
      {"1.2.10", "1.2.9", 1},    {"1.2", "1.2.0", 2},    {"1.2a", "1.2b", 2},
      {"1.0", "1.0", 0},         {"", "", 0},            {"1", "", 1},
      {"", "0", 2},              {"2", "10", 2},         {"a", "B", 1},
      {"1.2.3.4", "1.2.3", 1},   {"1..5", "1..7", 0},    {"5.0.2195.1", "5.0.2195.1", 0},
      {"010", "10", 0},          {"1.x", "1.10", 1},     {"4294967296", "1", 1},
  };
  for (const auto &c : cases)
    EXPECT_EQ(CompareVersions(c.a, c.b), c.result) << c.a << " vs " << c.b;
}

TEST(VersionResource, ReadsFixedValuesAndTheChosenStringTable) {
  FakeFiles files;
  FakeFile &f = files["prog.exe"];
  std::copy_n((const uint16_t[]){5, 0, 2195, 1}, 4, f.file);
  std::copy_n((const uint16_t[]){6, 1, 0, 0}, 4, f.product);
  f.translation = {0x07, 0x0C, 0xB0, 0x04};  // 0x0C07 keeps 0x007 under the mask 0x3FF
  f.strings = {{"040904E4\\CompanyName", "Example Ltd"},
               {"040904E4\\Comments", "a comment"},
               {"040904E4\\ProductVersion", "6.1 beta"},
               {"040704E4\\CompanyName", "Beispiel GmbH"},
               {"040904B0\\CompanyName", "Unicode Ltd"}};
  TVersionResource versions(std::make_unique<FakeReader>(files));
  versions.SetFileName("prog.exe");
  const TVersionInfo &info = versions.VersionInfo();
  EXPECT_EQ(info.FileVersion, "5.0.2195.1");
  EXPECT_EQ(info.ProductVersion, "6.1 beta") << "the string value follows the fixed one";
  EXPECT_EQ(info.CompanyName, "Example Ltd");
  EXPECT_EQ(info.Comment, "a comment");
  EXPECT_EQ(info.InternalName, "");
  EXPECT_EQ(info.PrimaryLanguage, 7);
  EXPECT_EQ(info.FileOS, "32 bit Windows");
  EXPECT_EQ(info.FileType, "Application");
  EXPECT_EQ(info.FileSubType, "");

  versions.SetLanguage(TVersionResource::lnGerman);
  EXPECT_EQ(versions.VersionInfo().CompanyName, "Beispiel GmbH");
  versions.SetLanguage(TVersionResource::lnUSEnglish);
  versions.SetCharacterSet(csUnicode);
  EXPECT_EQ(versions.VersionInfo().CompanyName, "Unicode Ltd");
  versions.SetCharacterSet(csTurkish);
  EXPECT_EQ(versions.VersionInfo().CompanyName, "") << "no table of that code page";
  EXPECT_EQ(versions.VersionInfo().FileVersion, "5.0.2195.1");

  versions.SetFileName("other.exe");
  EXPECT_EQ(versions.VersionInfo().FileVersion, "") << "values are cleared on reload";
}

TEST(VersionResource, NamesOfOSTypeAndSubtype) {
  const struct {
    uint32_t os, type, subtype;
    const char *osName, *typeName, *subtypeName;
  } cases[] = {
      {0x40004, 2, 0, "Windows NT with 32 bit Windows", "Dynamic-Link Library", ""},
      {0x10001, 3, 7, "Windows 3.0 or later with MS-Dos", "Device Driver", "System"},
      {0x30003, 3, 11, "32 bit OS/2 with Presentation Manager", "Device Driver", "Unknown"},
      {0x40000, 4, 3, "Windows NT", "Font", "TrueType"},
      {0x50000, 6, 1, "Unknown", "Unknown", ""},
      {1, 7, 0, "Windows 3.0 or later", "Static-Link Library", ""},
  };
  for (const auto &c : cases) {
    FakeFiles files;
    files["f"].os = c.os;
    files["f"].type = c.type;
    files["f"].subtype = c.subtype;
    files["f"].translation = {1, 2, 3, 4, 5, 6, 7, 8};  // not 4 bytes: no language
    TVersionResource versions(std::make_unique<FakeReader>(files));
    versions.SetFileName("f");
    EXPECT_EQ(versions.VersionInfo().FileOS, c.osName);
    EXPECT_EQ(versions.VersionInfo().FileType, c.typeName);
    EXPECT_EQ(versions.VersionInfo().FileSubType, c.subtypeName);
    EXPECT_EQ(versions.VersionInfo().PrimaryLanguage, 0);
  }
}

TEST(VersionResource, LanguageAndCodePageNumbers) {
  FakeFiles none;
  TVersionResource versions(std::make_unique<FakeReader>(none));
  const std::pair<TVersionResource::TLanguage, uint16_t> languages[] = {
      {TVersionResource::lnArabic, 1025}, {TVersionResource::lnUSEnglish, 1033}, {TVersionResource::lnBahasa, 1057}, {TVersionResource::lnSimplifiedChinese, 2052},
      {TVersionResource::lnSerboCroatian, 2074}, {TVersionResource::lnCanadianFrench, 3084}, {TVersionResource::lnSwissFrench, 4108}};
  for (auto [language, id] : languages) {
    versions.SetLanguage(language);
    EXPECT_EQ(versions.LanguageID(), id);
  }
  const std::pair<TCharacterSet, uint16_t> sets[] = {
      {csASCII, 0}, {csUnicode, 1200}, {csMultilingual, 1252}, {csArabic, 1256}};
  for (auto [set, page] : sets) {
    versions.SetCharacterSet(set);
    EXPECT_EQ(versions.CodePage(), page);
  }
}

// ---- the decision table ----

class Decisions : public ::testing::Test {
 protected:
  void SetUp() override {
    SharedVersionResource().SetReader(std::make_unique<FakeReader>(files));
  }
  void TearDown() override { SharedVersionResource().SetReader(MakeSystemVersionReader()); }

  // A file on disk with a version (empty: none) and a modification time.
  std::string File(const std::string &name, std::vector<uint16_t> version, int64_t time) {
    std::string path = dir / name;
    fixture::WriteFile(path, name);
    os::FileSetWriteTime(path.c_str(), time);
    if (!version.empty()) std::copy_n(version.begin(), 4, files[path].file);
    return path;
  }

  FakeFiles files;
  fixture::TempDir dir;
};

struct Row {
  const char *what;
  TOverwriteType type;
  std::vector<uint16_t> source, target;  // versions; empty: none
  int64_t sourceTime, targetTime;
  TDecision expected;
};

const int64_t T = 1300000000;

// "vd": owVersionDate.
const Row kRows[] = {
    {"always", owAlways, {1, 0, 0, 0}, {2, 0, 0, 0}, T, T + 100, TDecision::Replace},
    {"never, target exists", owNever, {2, 0, 0, 0}, {1, 0, 0, 0}, T, T, TDecision::Keep},
    {"ask", owAsk, {}, {}, T, T, TDecision::Ask},
    {"version newer", owVersion, {1, 2, 10, 0}, {1, 2, 9, 0}, T, T + 100, TDecision::Replace},
    {"version equal", owVersion, {1, 2, 0, 0}, {1, 2, 0, 0}, T + 100, T, TDecision::Same},
    {"version older", owVersion, {1, 2, 8, 0}, {1, 2, 9, 0}, T + 100, T, TDecision::Keep},
    {"no versions", owVersion, {}, {}, T + 100, T, TDecision::Same},
    {"version only at source", owVersion, {1, 0, 0, 0}, {}, T, T, TDecision::Replace},
    {"date later", owDate, {1, 0, 0, 0}, {2, 0, 0, 0}, T + 2, T, TDecision::Replace},
    {"date equal", owDate, {}, {}, T, T, TDecision::Same},
    {"date within the 2 seconds", owDate, {}, {}, T + 1, T, TDecision::Same},
    {"date earlier", owDate, {}, {}, T - 2, T, TDecision::Keep},
    {"vd, newer version", owVersionDate, {3, 0, 0, 0}, {2, 0, 0, 0}, T - 9, T, TDecision::Replace},
    {"vd, older version", owVersionDate, {1, 0, 0, 0}, {2, 0, 0, 0}, T + 100, T, TDecision::Keep},
    {"vd, later date", owVersionDate, {2, 0, 0, 0}, {2, 0, 0, 0}, T + 9, T, TDecision::Replace},
    {"vd, same version and date", owVersionDate, {2, 0, 0, 0}, {2, 0, 0, 0}, T, T, TDecision::Same},
    {"vd, same version, earlier", owVersionDate, {}, {}, T - 100, T, TDecision::Keep},
};

TEST_F(Decisions, BothRoutinesFollowTheTable) {
  for (const Row &row : kRows) {
    std::string source = File("source", row.source, row.sourceTime);
    std::string target = File("target", row.target, row.targetTime);
    EXPECT_EQ(TVersionResource::IsFileNewerByName(source, target, row.type), row.expected)
        << row.what;
    SharedVersionResource().SetFileName(source);
    std::string sourceVersion = SharedVersionResource().VersionInfo().FileVersion;
    double sourceDate = day_date::FromFileTime(row.sourceTime);
    EXPECT_EQ(IsFileNewerByVersionAndDate(sourceVersion, target, row.type, sourceDate),
              row.expected)
        << row.what;
    files.clear();
  }
}

TEST_F(Decisions, ArchiveKeepsTheFirst20CharactersOfTheVersion) {
  std::string wide = File("wide.dll", {65535, 65535, 65535, 65535}, T);
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "files.1");
  std::vector<std::string> lines{wide};
  archive.SetFilesToProcess(lines);
  archive.Compress(lzcOverwrite, 0);
  std::string bytes = fixture::ReadFile(dir / "files.1");
  EXPECT_EQ(fixture::HeaderAt(bytes, 5).version, "65535.65535.65535.65");
}

TEST_F(Decisions, MissingFilesAndBlankTargets) {
  std::string present = File("present", {}, T);
  std::string missing = dir / "missing";
  EXPECT_EQ(TVersionResource::IsFileNewerByName(present, "  ", owNever), TDecision::Replace);
  EXPECT_EQ(IsFileNewerByVersionAndDate("", "", owNever, 1.0), TDecision::Replace);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(present, missing, owNever), TDecision::Replace);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(missing, present, owDate), TDecision::Error);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(present, missing, owDate), TDecision::Error);
  EXPECT_EQ(IsFileNewerByVersionAndDate("", missing, owDate, 40000.0), TDecision::Error);
  EXPECT_EQ(IsFileNewerByVersionAndDate("", missing, owVersionDate, 40000.0), TDecision::Error);
  EXPECT_EQ(IsFileNewerByVersionAndDate("1.0", missing, owVersion, 40000.0), TDecision::Replace)
      << "versions alone need no open file";
}

}  // namespace
