// The loader's reading of its setup file and the installer's command line.
// The setup files are laid out by the test's own encoder of the header and
// its own SHA-1, then damaged byte by byte.
#include "setup_file.h"

#include <gtest/gtest.h>

#include "archive/tests/archive_fixture.h"
#include "distribution/tests/distribution_fixture.h"

namespace {

using loader::EDamagedSetup;
using loader::ReadSetupLayout;
using loader::SetupLayout;

const std::string kLoader(3000, 'L');
const std::string kSetup1(1500, 'S');
const std::string kFiles1(2200, 'F');

// A setup file: the loader, setup.1 and files.1 as the header names them,
// the header and, when asked for, the checksum over all of it.
std::string SetupFile(const std::string& marker, bool with_files1, bool with_trailer) {
  bool self_extracting = marker == "SELFEXTRACTING";
  std::string body = kLoader;
  int32_t s1f = 0, s1l = 0, f1f = 0, f1l = 0;
  if (self_extracting) {
    s1f = static_cast<int32_t>(body.size());
    body += kSetup1;
    s1l = static_cast<int32_t>(body.size()) - 1;
    if (with_files1) {
      f1f = static_cast<int32_t>(body.size());
      body += kFiles1;
      f1l = static_cast<int32_t>(body.size()) - 1;
    }
  }
  body += fixture::SelfExtractHeaderBytes(marker, s1f, s1l, f1f, f1l);
  return with_trailer ? body + fixture::Sha1Hex(body) : body;
}

// The checksum behind bytes made anew, as if the damage had been there
// when the file was built.
std::string WithFreshTrailer(std::string bytes) {
  bytes.resize(bytes.size() - 40);
  return bytes + fixture::Sha1Hex(bytes);
}

class SetupFiles : public ::testing::Test {
protected:
  std::string Write(const std::string& bytes) {
    std::string path = temp_ / "setup.exe";
    fixture::WriteFile(path, bytes);
    return path;
  }
  fixture::TempDir temp_;
};

TEST_F(SetupFiles, EachKindOfSetupFileHasItsLayout) {
  int64_t after_loader = static_cast<int64_t>(kLoader.size());
  SetupLayout both = ReadSetupLayout(Write(SetupFile("SELFEXTRACTING", true, true)));
  EXPECT_TRUE(both.self_extracting);
  EXPECT_EQ(both.setup1_first, after_loader);
  EXPECT_EQ(both.setup1_last, after_loader + 1499);
  EXPECT_EQ(both.files1_first, after_loader + 1500);
  EXPECT_EQ(both.files1_last, after_loader + 3699);
  EXPECT_TRUE(both.HasFiles1());

  SetupLayout setup1_only = ReadSetupLayout(Write(SetupFile("SELFEXTRACTING", false, true)));
  EXPECT_TRUE(setup1_only.self_extracting);
  EXPECT_FALSE(setup1_only.HasFiles1());

  EXPECT_FALSE(ReadSetupLayout(Write(SetupFile("NOTSELFEXTRACT", false, true))).self_extracting);
  // The floppy copy's setup.exe carries no checksum.
  EXPECT_FALSE(ReadSetupLayout(Write(SetupFile("NOTSELFEXTRACT", false, false))).self_extracting);
}

TEST_F(SetupFiles, ADamagedFileIsRefusedWithTheReason) {
  std::string good = SetupFile("SELFEXTRACTING", true, true);
  size_t header = good.size() - 96;
  auto patched = [](std::string bytes, size_t at, char value) {
    bytes[at] = value;
    return bytes;
  };
  const std::string checksum = "its checksum does not match its contents";
  const std::string no_information = "it does not end with the setup information";
  const std::string not_holding = "its setup information does not hold together";
  std::string offsets_past_header = good;
  fixture::PutInt(offsets_past_header, header + 28, static_cast<int32_t>(header) + 10);
  std::string empty_header_with_offsets = SetupFile("NOTSELFEXTRACT", false, true);
  fixture::PutInt(empty_header_with_offsets, empty_header_with_offsets.size() - 96 + 16, 10);
  struct Case {
    const char* damage;
    std::string bytes;
    std::string reason;
  } cases[] = {
      {"a digit of the checksum", patched(good, good.size() - 1, good.back() == '0' ? '1' : '0'), checksum},
      {"a byte of the loader", patched(good, 10, 'x'), checksum},
      {"a byte of the marker", patched(good, header + 3, 'x'), checksum},
      {"the marker, checksum made anew", WithFreshTrailer(patched(good, header + 3, 'x')), no_information},
      {"a reserved byte, checksum made anew", WithFreshTrailer(patched(good, header + 40, 1)), no_information},
      {"files.1 past the header", WithFreshTrailer(offsets_past_header), not_holding},
      {"offsets without self-extraction", WithFreshTrailer(empty_header_with_offsets), not_holding},
      {"the end cut off", good.substr(0, good.size() - 60), no_information},
      {"a self-extracting header without checksum", SetupFile("SELFEXTRACTING", true, false), no_information},
      {"nothing but a loader", kLoader, no_information},
  };
  for (const Case& c : cases) {
    std::string path = Write(c.bytes);
    try {
      ReadSetupLayout(path);
      ADD_FAILURE() << c.damage;
    } catch (const EDamagedSetup& error) {
      EXPECT_EQ(error.what(), "The setup file " + path + " is damaged: " + c.reason +
                                  ". Please get a new copy of the setup program.")
          << c.damage;
    }
  }
  EXPECT_THROW(ReadSetupLayout(temp_ / "missing.exe"), EDamagedSetup);
}

TEST(InstallerArguments, TheLayoutAndTheFloppyRequestDecideThem) {
  SetupLayout self_extracting;
  self_extracting.self_extracting = true;
  SetupLayout plain;
  const std::string setup = "C:\\Downloads\\Net Monitor\\setup.exe";
  const std::string folder = "C:\\Temp\\stp1A.tmp";
  struct Case {
    const SetupLayout& layout;
    std::vector<std::string> arguments;
    std::vector<std::string> expected;
  } cases[] = {
      {self_extracting, {}, {"-sC:\\Temp\\stp1A.tmp", "-c"}},
      {self_extracting, {"*todisk"}, {"-sC:\\Downloads\\Net Monitor", "-esetup.exe", "-f"}},
      {self_extracting, {"-n"}, {"-sC:\\Temp\\stp1A.tmp", "-c", "-n"}},
      {plain, {}, {"-sC:\\Downloads\\Net Monitor"}},
      {plain, {"*TODISK"}, {"-sC:\\Downloads\\Net Monitor", "-f"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(loader::InstallerArguments(c.layout, setup, folder, c.arguments), c.expected)
        << testing::PrintToString(c.arguments);
  // Setup on the root of a disk: the folder has no trailing backslash.
  EXPECT_EQ(loader::InstallerArguments(plain, "A:\\setup.exe", folder, {}), std::vector<std::string>{"-sA:"});
}

TEST(InstallerArguments, TheCommandLineQuotesWhatHasBlanks) {
  EXPECT_EQ(loader::CommandLine("C:\\Temp\\stp1A.tmp\\install.exe", {"-sC:\\Net Monitor", "-c"}),
            "\"C:\\Temp\\stp1A.tmp\\install.exe\" \"-sC:\\Net Monitor\" -c");
}

}  // namespace
