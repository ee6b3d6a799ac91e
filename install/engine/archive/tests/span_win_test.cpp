// Spanning onto a 64 KB floppy in drive S: (a tmpfs mounted around the
// test): the new-disk handler swaps disks by moving the full disk file off
// the floppy, as a user takes the full disk out, and brings disk 1 back at
// the end.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "archive/qndr_compress.h"
#include "archive/tests/archive_fixture.h"
#include "core/exceptions.h"

using namespace install;

namespace {

namespace fs = std::filesystem;

const std::string kFloppy = "S:\\";

// Moves every file of one directory into another (across drives).
void MoveAll(const std::string &from, const std::string &to) {
  for (const auto &entry : fs::directory_iterator(from)) {
    std::string target = (fs::path(to) / entry.path().filename()).string();
    ASSERT_TRUE(MoveFileExA(entry.path().string().c_str(), target.c_str(),
                            MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING))
        << entry.path();
  }
}

TEST(SpanToFloppy, DisksSwappedByTheHandlerReadBack) {
  ASSERT_TRUE(fs::exists(kFloppy)) << "the tmpfs drive S: is not there";
  fixture::TempDir dir;
  std::vector<std::string> data = {fixture::TextData(4000), fixture::NoiseData(90000),
                                   fixture::NoiseData(40000, 2), fixture::NoiseData(30000, 3)};
  std::vector<std::string> sources;
  for (size_t i = 0; i < data.size(); ++i) {
    sources.push_back(dir / ("m" + std::to_string(i)));
    fixture::WriteFile(sources.back(), data[i]);
  }
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "plain.dat");
  std::vector<std::string> lines = sources;
  archive.SetFilesToProcess(lines);
  archive.Compress(lzcOverwrite, 0);

  std::string held = dir / "held";
  fs::create_directories(held);
  std::vector<int> asked;
  archive.SetOnNewDisk([&](TQndrCompress *, int32_t disk, std::string &path) {
    asked.push_back(disk);
    MoveAll(kFloppy, held);  // the full disk comes out
    if (disk == 1) {         // and disk 1 goes back in for the final headers
      ASSERT_TRUE(MoveFileExA((held + "\\files.1").c_str(), "S:\\files.1", MOVEFILE_COPY_ALLOWED));
    }
    EXPECT_EQ(path, "S:\\");
  });
  archive.SpanToDisks(kFloppy, "files.1");
  MoveAll(kFloppy, held);
  EXPECT_EQ(asked, (std::vector<int>{2, 3, 1}));
  EXPECT_FALSE(archive.Abort());
  EXPECT_EQ(fs::file_size(fs::path(held) / "files.2"), 64u * 1024);

  TQndrCompress reader;
  reader.SetCompressedFile(held + "\\files.1");
  reader.SetExtractDirectory(dir / "out");
  lines = sources;
  reader.SetFilesToProcess(lines);
  reader.Extract();
  for (size_t i = 0; i < data.size(); ++i)
    EXPECT_EQ(fixture::ReadFile(dir / ("out/m" + std::to_string(i))), data[i]) << i;
}

TEST(SpanToFloppy, FullFloppyStopsExtraction) {
  ASSERT_TRUE(fs::exists(kFloppy));
  fixture::TempDir dir;
  std::string source = dir / "big";
  fixture::WriteFile(source, fixture::NoiseData(100000));
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "files.1");
  std::vector<std::string> lines{source};
  archive.SetFilesToProcess(lines);
  archive.Compress(lzcOverwrite, 0);
  archive.SetExtractDirectory(kFloppy);
  lines = {source};
  archive.SetFilesToProcess(lines);
  EXPECT_THROW(archive.Extract(), EqcDiskFull);
  fs::remove("S:\\big");
}

}  // namespace
