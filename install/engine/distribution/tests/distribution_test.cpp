// The distribution files read back: the self-extract header behind the
// parts of setup.exe, the checksum trailer and the net file list. The test
// writes its files with its own encoding; the SHA-1 values are the
// standard's own examples.
#include "distribution/distribution.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "core/exceptions.h"
#include "items/installfile.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

int ProcessId() {
#ifdef _WIN32
  return static_cast<int>(GetCurrentProcessId());
#else
  return static_cast<int>(getpid());
#endif
}

std::string Int32Bytes(int32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF);
  return bytes;
}

// A folder of this process's own for the test's files.
class DistributionFiles : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("netmon_distribution_" + std::to_string(ProcessId()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string Write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
    return Path(name);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::filesystem::path dir_;
};

TEST_F(DistributionFiles, ASelfExtractingSetupHoldsItsPartsBehindTheLoader) {
  std::string loader(100, 'L'), setup1(50, 'S'), files1(70, 'F');
  std::string exe = Write("setup.exe", loader);
  WriteSelfExtractHeader(exe, Write("setup.1", setup1), Write("files.1", files1));
  AppendFileCheckSum(exe);

  std::string built = Read("setup.exe");
  ASSERT_EQ(built.size(), 100u + 50 + 70 + 56 + 40);
  EXPECT_EQ(built.substr(0, 220), loader + setup1 + files1);
  std::string header = built.substr(220, 56);
  EXPECT_EQ(header.substr(0, 16), std::string("\x0e") + "SELFEXTRACTING" + std::string(1, '\0'));
  EXPECT_EQ(header.substr(16, 16), Int32Bytes(100) + Int32Bytes(149) + Int32Bytes(150) + Int32Bytes(219));
  EXPECT_EQ(header.substr(32), std::string(24, '\0'));

  TSelfExtractHeader read = ReadSelfExtractHeader(exe);
  EXPECT_EQ(read.marker, "SELFEXTRACTING");
  EXPECT_EQ(read.setup1_first, 100);
  EXPECT_EQ(read.setup1_last, 149);
  EXPECT_EQ(read.files1_first, 150);
  EXPECT_EQ(read.files1_last, 219);
  // The trailer is the checksum of everything before it.
  EXPECT_EQ(GetFileCheckSum(exe, true), built.substr(276));
}

TEST_F(DistributionFiles, WithoutFilesOneItsOffsetsStayZero) {
  std::string exe = Write("setup.exe", "loader");
  WriteSelfExtractHeader(exe, Write("setup.1", "setup"), Path("files.1"));
  AppendFileCheckSum(exe);
  TSelfExtractHeader read = ReadSelfExtractHeader(exe);
  EXPECT_EQ(read.setup1_first, 6);
  EXPECT_EQ(read.setup1_last, 10);
  EXPECT_EQ(read.files1_first, 0);
  EXPECT_EQ(read.files1_last, 0);
}

TEST_F(DistributionFiles, ANotSelfExtractingHeaderHasNoOffsets) {
  std::string exe = Write("setup.exe", "loader");
  WriteNotSelfExtractHeader(exe);
  std::string built = Read("setup.exe");
  ASSERT_EQ(built.size(), 6u + 56);
  EXPECT_EQ(built.substr(6, 15), std::string("\x0e") + "NOTSELFEXTRACT");
  EXPECT_EQ(built.substr(21), std::string(41, '\0'));
}

TEST_F(DistributionFiles, APartThatIsMissingOrAHeaderThatIsShortIsRefused) {
  std::string exe = Write("setup.exe", "loader");
  try {
    WriteSelfExtractHeader(exe, Path("setup.1"), Path("files.1"));
    FAIL() << "built without setup.1";
  } catch (const IEInstall& error) {
    EXPECT_EQ(error.Message(), "Cannot create the self-extracting exe because " + Path("setup.1") +
                                   " could not be loaded onto " + exe);
  }
  for (const std::string& path : {Write("short.exe", std::string(95, 'x')), Path("missing.exe")}) {
    try {
      ReadSelfExtractHeader(path);
      FAIL() << path;
    } catch (const IEInstall& error) {
      EXPECT_EQ(error.Message(), "Could not read the extraction info from the archive file " + path +
                                     " when trying to find the correct offset into the self extracting file");
    }
  }
}

TEST_F(DistributionFiles, ChecksumsAreUpperCaseSha1Digits) {
  std::string abc = Write("abc.txt", "abc");
  EXPECT_EQ(GetFileCheckSum(abc, false), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  std::string long_text = Write("long.txt", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");
  EXPECT_EQ(GetFileCheckSum(long_text, false), "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
  // A count takes only the first bytes.
  std::FILE* stream = std::fopen(long_text.c_str(), "rb");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(GetStreamCheckSum(stream, 3), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  std::fclose(stream);
  // More than one chunk, and nothing at all.
  std::string big = Write("big.bin", std::string(10000, 'a'));
  AppendFileCheckSum(big);
  EXPECT_EQ(Read("big.bin").size(), 10040u);
  EXPECT_EQ(GetFileCheckSum(big, true), Read("big.bin").substr(10000));
  EXPECT_EQ(GetFileCheckSum(Write("empty.bin", ""), false), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
}

TEST_F(DistributionFiles, ChecksumFailuresArePlainExceptions) {
  try {
    GetFileCheckSum(Path("gone.exe"), false);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Can't find file \"" + Path("gone.exe") + "\"!");
  }
  try {
    AppendFileCheckSum(Path("gone.exe"));
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Can't find file \"" + Path("gone.exe") + "\"!");
  }
  std::string exe = Write("setup.exe", "loader");
  try {
    AppendFileCheckSum(exe, "ABC");
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Can't calculete CheckSum");
  }
  EXPECT_EQ(Read("setup.exe"), "loader");
}

// One record of the list as the build writes it.
std::string Record(int32_t size, double date, const std::string& name, const std::string& version) {
  std::string record(80, '\0');
  record.replace(0, 4, Int32Bytes(size));
  std::memcpy(&record[8], &date, sizeof date);
  record.replace(16, name.size(), name);
  record.replace(56, version.size(), version);
  return record;
}

TEST_F(DistributionFiles, TheNetFileListIsReadRecordByRecord) {
  std::string list = Write("filelist.lst", Int32Bytes(2) + Record(1234, 38000.5, "IFviewer_exe", "5.20.0.1") +
                                               Record(0, 0, std::string(39, 'N'), "12345678901234567890"));
  std::vector<TNetFileListRecord> records = ReadNetFileList(list);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].size, 1234);
  EXPECT_EQ(records[0].date, 38000.5);
  EXPECT_EQ(records[0].name, "IFviewer_exe");
  EXPECT_EQ(records[0].version, "5.20.0.1");
  EXPECT_EQ(records[1].name, std::string(39, 'N'));
  EXPECT_EQ(records[1].version, "12345678901234567890");

  // A list that ends before its count says, a negative count, and a name or
  // a version that runs to the end of its field: reading on would go past
  // the record.
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"a short list", Int32Bytes(2) + Record(1, 1, "IFa", "1")},
      {"a short record", Int32Bytes(1) + Record(1, 1, "IFa", "1").substr(0, 79)},
      {"a negative count", Int32Bytes(-1) + Record(1, 1, "IFa", "1")},
      {"a name without terminator", Int32Bytes(1) + Record(1, 1, std::string(40, 'N'), "1")},
      {"a version without terminator", Int32Bytes(1) + Record(1, 1, "IFa", std::string(24, '9'))},
      {"no count", "\x01\x00"},
  };
  for (const Case& c : cases) {
    std::string path = Write("damaged.lst", c.bytes);
    try {
      ReadNetFileList(path);
      ADD_FAILURE() << c.what << " was read";
    } catch (const IEInstall& error) {
      EXPECT_EQ(error.Message(), "Cannot read the remote list of files: " + path) << c.what;
    }
  }
}

// The build's list: the count, then the records in order; a name longer
// than a record holds is cut to 39 characters, a version to 20.
TEST_F(DistributionFiles, TheNetFileListIsWrittenRecordByRecord) {
  std::string path = Path("filelist.lst");
  SaveNetFileList(path, {{1234, 38000.5, "IFviewer_exe", "5.20.0.1"},
                         {7, 0.25, std::string(45, 'L'), "1234567890123456789012345"}});
  EXPECT_EQ(Read("filelist.lst"), Int32Bytes(2) + Record(1234, 38000.5, "IFviewer_exe", "5.20.0.1") +
                                      Record(7, 0.25, std::string(39, 'L'), "12345678901234567890"));
  SaveNetFileList(path, {});
  EXPECT_EQ(Read("filelist.lst"), Int32Bytes(0));
  std::string folder_path = Path("no such folder") + kPathDelimiter + "filelist.lst";
  try {
    SaveNetFileList(folder_path, {});
    FAIL() << "a list was written into a missing folder";
  } catch (const IEInstall& error) {
    EXPECT_EQ(error.Message(), "Cannot create the file " + folder_path);
  }
}

class FileListRecords : public EngineTest {};

TEST_F(FileListRecords, TheFileOfThatNameTakesSizeDateAndVersion) {
  auto* first = New<TInstallFile>(owner_);
  first->SetName("IFviewer_exe");
  auto* second = New<TInstallFile>(owner_);
  second->SetName("IFhelp_chm");
  ApplyFileListRecord("ifviewer_EXE", "5.20.0.1 with a long tail", 1234, 38000.5);
  EXPECT_EQ(first->Size(), 1234);
  EXPECT_EQ(first->Date(), 38000.5);
  EXPECT_EQ(first->Version(), "5.20.0.1 with a long");
  EXPECT_EQ(second->Size(), 0);
  ApplyFileListRecord("IFnobody", "1.0", 99, 1.0);
  EXPECT_EQ(first->Size(), 1234);
  EXPECT_EQ(second->Size(), 0);
  // A name the record cut to 39 characters finds its file.
  auto* long_named = New<TInstallFile>(owner_);
  long_named->SetName("IF" + std::string(43, 'x'));
  ApplyFileListRecord(long_named->Name().substr(0, 39), "2.0", 55, 2.0);
  EXPECT_EQ(long_named->Size(), 55);
}

}  // namespace
}  // namespace install_test
