// The archive's bytes against the test's own encoder and decoder: archives
// the component writes have the documented layout, archives laid out by
// the test are read member for member (plain, at an offset, a disk set),
// and damaged archives are refused with the component's errors.
#include <gtest/gtest.h>

#include "archive/day_date.h"
#include "archive/qndr_compress.h"
#include "archive/tests/archive_fixture.h"
#include "core/exceptions.h"

using namespace install;

namespace {

using fixture::Member;

std::vector<Member> SampleMembers() {
  return {
      {"C:\\src\\readme.txt", fixture::TextData(3000), 40000.25, "1.2.3.4", 7, 1},
      {"C:\\src\\empty.dat", "", 40001.5, "", 8, 2},
      {"C:\\src\\noise.bin", fixture::NoiseData(150000), 40002.75, "", 2500, 3},
      {"C:\\src\\big.txt", fixture::TextData(400000, 2), 41000.0, "10.0.0.1", 9, 4},
  };
}

// Extracts every member of the component's archive and compares it with
// what the test put in.
void ExpectMembers(TQndrCompress &archive, const std::vector<Member> &members,
                   const fixture::TempDir &dir) {
  ASSERT_EQ(archive.Count(), static_cast<int>(members.size()));
  archive.SetExtractDirectory(dir / "out");
  for (size_t i = 0; i < members.size(); ++i) {
    TlzhFileStats stats = archive.GetFileStats(static_cast<int>(i));
    EXPECT_EQ(stats.FileName, members[i].name);
    EXPECT_EQ(stats.FileSize, static_cast<int32_t>(members[i].data.size()));
    std::vector<std::string> names{members[i].name};
    archive.SetFilesToProcess(names);
    archive.Extract();
    std::string leaf = members[i].name.substr(members[i].name.rfind('\\') + 1);
    EXPECT_EQ(fixture::ReadFile(dir / ("out/" + leaf)), members[i].data) << members[i].name;
  }
}

TEST(ArchiveFormat, ReadsPlainArchiveMemberForMember) {
  fixture::TempDir dir;
  fixture::WriteFile(dir / "files.1", fixture::PlainArchive(SampleMembers()));
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "files.1");
  ExpectMembers(archive, SampleMembers(), dir);
  EXPECT_EQ(archive.IndexOfFileID(8), 1);
  EXPECT_EQ(archive.IndexOfFileID(2500), -1) << "identifiers past 1999 are stored, not indexed";
}

TEST(ArchiveFormat, ReadsArchiveAtAnOffsetLikeTheArchiveAlone) {
  fixture::TempDir dir;
  std::string loader = fixture::NoiseData(12345, 9);
  fixture::WriteFile(dir / "setup.exe", loader + fixture::PlainArchive(SampleMembers()));
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "setup.exe");
  archive.SetOffset(static_cast<int32_t>(loader.size()));
  ExpectMembers(archive, SampleMembers(), dir);
}

TEST(ArchiveFormat, ReadsDiskSetAcrossDisks) {
  fixture::TempDir dir;
  std::vector<std::string> disks = fixture::DiskSet(SampleMembers(), 60000);
  ASSERT_GE(disks.size(), 4u);
  for (size_t i = 0; i < disks.size(); ++i)
    fixture::WriteFile(dir / ("files." + std::to_string(i + 1)), disks[i]);
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "files.1");
  ExpectMembers(archive, SampleMembers(), dir);
}

TEST(ArchiveFormat, ArchiveWithoutMembersIsFiveBytes) {
  fixture::TempDir dir;
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "files.1");
  std::vector<std::string> none;
  archive.SetFilesToProcess(none);
  archive.Compress(lzcOverwrite, 0);
  EXPECT_EQ(fixture::ReadFile(dir / "files.1"), std::string("\0\0\0\0\0", 5));
  EXPECT_EQ(archive.Count(), 0);
}

TEST(ArchiveFormat, WrittenArchiveHasThePlainLayout) {
  fixture::TempDir dir;
  std::vector<std::string> data = {fixture::TextData(70000), "x", fixture::NoiseData(5000)};
  std::vector<std::string> lines;
  for (size_t i = 0; i < data.size(); ++i) {
    std::string path = dir / ("f" + std::to_string(i) + ".txt");
    fixture::WriteFile(path, data[i]);
    lines.push_back(path);
  }
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "files.1");
  archive.SetFilesToProcess(lines);
  archive.Compress(lzcOverwrite, 42);

  std::string bytes = fixture::ReadFile(dir / "files.1");
  ASSERT_EQ(fixture::HeadCount(bytes), 3);
  EXPECT_EQ(fixture::HeadSpanned(bytes), 0);
  size_t at = 5;
  for (size_t i = 0; i < data.size(); ++i) {
    fixture::Header h = fixture::HeaderAt(bytes, at);
    EXPECT_EQ(h.fileNumber, static_cast<int32_t>(i + 1));
    EXPECT_EQ(h.sourcePath, lines[i]);
    EXPECT_EQ(h.fileSize, static_cast<int32_t>(data[i].size()));
    EXPECT_EQ(h.dataStart, static_cast<int32_t>(at + 176));
    EXPECT_EQ(h.nextHeaderPos, h.lastDataByte + 1);
    EXPECT_EQ(h.compressedSize, h.lastDataByte + 1 - h.dataStart);
    EXPECT_EQ(h.fileID, 42);
    EXPECT_EQ(h.firstDisk, 0);
    EXPECT_EQ(h.lastDisk, 0);
    EXPECT_EQ(fixture::Inflate(bytes.substr(h.dataStart, h.compressedSize)), data[i]);
    double date = 0;
    ASSERT_TRUE(day_date::ReadFileDate(lines[i], &date));
    EXPECT_EQ(h.fileDate, date);
    at = static_cast<size_t>(h.nextHeaderPos);
  }
  EXPECT_EQ(at, bytes.size()) << "the last member's next position is the archive's size";
  // Unused header bytes stay zero: the reserved fields and the string tails.
  fixture::Header first = fixture::HeaderAt(bytes, 5);
  for (size_t reserved : {4, 5, 6, 7, 17, 18, 19, 125, 126, 127, 145, 146, 147, 173, 174, 175})
    EXPECT_EQ(bytes[5 + reserved], '\0') << reserved;
  EXPECT_EQ(bytes[5 + 25 + first.sourcePath.size()], '\0');
}

TEST(ArchiveFormat, LevelsWriteTheZlibLevels) {
  // A zlib header's second byte carries the level class: 0 fastest ..
  // 3 maximum; stored blocks (level 0) and level 1 both give class 0.
  const std::pair<TCompressionLevel, uint8_t> levels[] = {
      {colNone, 0x01}, {colFastest, 0x01}, {colDefault, 0x9C}, {colMax, 0xDA}};
  fixture::TempDir dir;
  std::string path = dir / "data.txt";
  fixture::WriteFile(path, fixture::TextData(2000));
  for (auto [level, flags] : levels) {
    TQndrCompress archive;
    archive.SetCompressedFile(dir / "files.1");
    archive.SetCompressionLevel(level);
    std::vector<std::string> lines{path};
    archive.SetFilesToProcess(lines);
    archive.Compress(lzcOverwrite, 0);
    std::string bytes = fixture::ReadFile(dir / "files.1");
    EXPECT_EQ(static_cast<uint8_t>(bytes[5 + 176 + 1]), flags) << level;
  }
}

// ---- damaged archives ----

const char kCorrupt[] =
    "Could not read the file headers for the compressed file. The Archive file could possible "
    "be corrupt";

struct Damage {
  const char *what;
  size_t at;  // byte position in a two-member plain archive
  int32_t value;
  bool asByte;
};

std::string TwoMembers() {
  return fixture::PlainArchive({{"a.txt", fixture::TextData(500), 40000, "", 1, 1},
                                {"b.txt", fixture::TextData(700), 40000, "", 2, 2}});
}

class DamagedHeaders : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedHeaders, AreRefusedAsCorrupt) {
  fixture::TempDir dir;
  std::string bytes = TwoMembers();
  const Damage &d = GetParam();
  if (d.asByte)
    bytes[d.at] = static_cast<char>(d.value);
  else
    fixture::PutInt(bytes, d.at, d.value);
  fixture::WriteFile(dir / "files.1", bytes);
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "files.1");
  try {
    archive.ReadHeaders();
    FAIL() << "accepted: " << d.what;
  } catch (const EQndrCompress &e) {
    EXPECT_STREQ(e.what(), kCorrupt);
  }
  EXPECT_THROW(archive.Count(), EQndrCompress) << "nothing is left loaded";
}

const Damage kDamages[] = {
    {"negative count", 0, -1, false},
    {"count beyond the file", 0, 1000000, false},
    {"huge count", 0, 0x7FFFFFFF, false},
    {"count one too many", 0, 3, false},
    {"unknown layout", 4, 7, true},
    {"path length past its field", 5 + 24, 101, true},
    {"version length past its field", 5 + 152, 21, true},
    {"blank path", 5 + 24, 0, true},
    {"next header backwards", 5 + 128, 5, false},
    {"next header inside its own header", 5 + 128, 100, false},
    {"next header past the end", 5 + 128, 100000, false},
    {"date past the year 9999", 5 + 8 + 4, 0x41700000, false},
    {"date not a number", 5 + 8 + 4, 0x7FF80000, false},
    {"negative file size", 5 + 132, -5, false},
    {"negative compressed size", 5 + 140, -5, false},
    {"data before the header's end", 5 + 136, 20, false},
    {"last data byte past the end", 5 + 20, 100000, false},
    {"last data byte before the data", 5 + 20, 100, false},
    {"plain member naming a disk", 5 + 144, 2, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, DamagedHeaders, ::testing::ValuesIn(kDamages),
                         [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(DamagedArchives, ShortHeadAndShortFileAreRefused) {
  fixture::TempDir dir;
  std::string bytes = TwoMembers();
  for (size_t length : {0, 3, 5 + 100}) {
    fixture::WriteFile(dir / "files.1", bytes.substr(0, length));
    TQndrCompress archive;
    archive.SetCompressedFile(dir / "files.1");
    EXPECT_THROW(archive.ReadHeaders(), EQndrCompress) << length;
  }
  TQndrCompress missing;
  missing.SetCompressedFile(dir / "nothing.1");
  try {
    missing.ReadHeaders();
    FAIL();
  } catch (const EQndrCompress &e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open the compressed file " + (dir / "nothing.1"));
  }
}

TEST(DamagedArchives, DamagedDataGivesAnErrorAndNoCrash) {
  fixture::TempDir dir;
  std::string good = TwoMembers();
  fixture::Header first = fixture::HeaderAt(good, 5);
  std::string flipped = good;
  flipped[first.lastDataByte] ^= 0x55;  // the Adler-32 trailer
  std::string wrongSize = good;
  fixture::PutInt(wrongSize, 5 + 132, first.fileSize - 1);
  std::string biggerSize = good;
  fixture::PutInt(biggerSize, 5 + 132, first.fileSize + 1);
  std::string cutStream = good;
  fixture::PutInt(cutStream, 5 + 20, first.lastDataByte - 20);
  std::string presetDictionary = good;  // a zlib header asking for a dictionary
  presetDictionary[first.dataStart] = 0x78;
  presetDictionary[first.dataStart + 1] = static_cast<char>(0xBB);
  const std::pair<std::string, std::string> cases[] = {
      {flipped, "error"},
      {presetDictionary, "error"},
      {wrongSize, "The decompressed file's size does not match with the actual size of the "
                  "file.  The file is a.txt"},
      {biggerSize, "The decompressed file's size does not match with the actual size of the "
                   "file.  The file is a.txt"},
      {cutStream, "The decompressed file's size does not match with the actual size of the "
                  "file.  The file is a.txt"},
  };
  for (const auto &[bytes, message] : cases) {
    fixture::WriteFile(dir / "files.1", bytes);
    TQndrCompress archive;
    archive.SetCompressedFile(dir / "files.1");
    archive.SetExtractDirectory(dir / "out");
    std::vector<std::string> names{"a.txt"};
    archive.SetFilesToProcess(names);
    try {
      archive.Extract();
      FAIL() << message;
    } catch (const std::exception &e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
    EXPECT_TRUE(archive.Abort()) << "a failure sets Abort";
  }
}

TEST(DamagedArchives, DiskSetWithMissingOrCutDisks) {
  fixture::TempDir dir;
  std::vector<std::string> disks = fixture::DiskSet(SampleMembers(), 60000);
  for (size_t i = 0; i < disks.size(); ++i)
    fixture::WriteFile(dir / ("files." + std::to_string(i + 1)), disks[i]);
  std::filesystem::remove(dir / "files.3");
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "files.1");
  archive.SetExtractDirectory(dir / "out");
  std::vector<std::string> names{"C:\\src\\noise.bin", "C:\\src\\big.txt"};
  archive.SetFilesToProcess(names);
  try {
    archive.Extract();
    FAIL();
  } catch (const EQndrCompress &e) {
    EXPECT_STREQ(e.what(), "Could not open the correct disk file 3");
  }
  // A cut disk ends the member early.
  fixture::WriteFile(dir / "files.3", disks[2].substr(0, 1000));
  TQndrCompress again;
  again.SetCompressedFile(dir / "files.1");
  again.SetExtractDirectory(dir / "out");
  std::vector<std::string> big{"C:\\src\\big.txt"};
  again.SetFilesToProcess(big);
  EXPECT_THROW(again.Extract(), std::exception);
}

}  // namespace
