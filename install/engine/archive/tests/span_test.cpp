// Spanning a plain archive to disks, and full disks while extracting. A
// disk of fixed size is the process's file-size limit: every write past it
// is cut short, as on a full floppy.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "archive/qndr_compress.h"
#include "archive/tests/archive_fixture.h"
#include "core/exceptions.h"

using namespace install;

namespace {

namespace fs = std::filesystem;

class DiskSizeLimit {
 public:
  explicit DiskSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
    oldSignal_ = signal(SIGXFSZ, SIG_IGN);
  }
  ~DiskSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, oldSignal_);
  }

 private:
  rlimit old_;
  sighandler_t oldSignal_;
};

constexpr size_t kDisk = 64 * 1024;

struct Spanned {
  std::vector<std::string> sources;
  std::vector<std::string> data;
};

Spanned MakePlainArchive(const fixture::TempDir &dir) {
  Spanned made;
  made.data = {fixture::TextData(5000), fixture::NoiseData(90000), fixture::NoiseData(50000, 3),
               "", fixture::NoiseData(70000, 4)};
  for (size_t i = 0; i < made.data.size(); ++i) {
    made.sources.push_back(dir / ("m" + std::to_string(i)));
    fixture::WriteFile(made.sources.back(), made.data[i]);
  }
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "plain.dat");
  std::vector<std::string> lines = made.sources;
  archive.SetFilesToProcess(lines);
  archive.Compress(lzcOverwrite, 0);
  return made;
}

TEST(SpanToDisks, DiskSetReadsBackMemberForMember) {
  fixture::TempDir dir;
  Spanned made = MakePlainArchive(dir);
  fs::create_directories(dir.path() / "disks");
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "plain.dat");
  std::vector<int> asked;
  archive.SetOnNewDisk([&](TQndrCompress *, int32_t disk, std::string &) { asked.push_back(disk); });
  {
    DiskSizeLimit limit(kDisk);
    archive.SpanToDisks(dir / "disks", "files.1");
  }
  ASSERT_EQ(asked, (std::vector<int>{2, 3, 4}));
  EXPECT_FALSE(archive.Abort());

  // The layout, read by the test's own decoder.
  std::vector<std::string> disks;
  for (int i = 1; i <= 4; ++i)
    disks.push_back(fixture::ReadFile(dir / ("disks/files." + std::to_string(i))));
  for (size_t i = 0; i + 1 < disks.size(); ++i) EXPECT_EQ(disks[i].size(), kDisk) << i;
  ASSERT_EQ(fixture::HeadCount(disks[0]), 5);
  EXPECT_EQ(fixture::HeadSpanned(disks[0]), 1);
  size_t dataEnd = 5 + 176 * 5;
  int previousDisk = 1;
  for (size_t i = 0; i < made.data.size(); ++i) {
    fixture::Header h = fixture::HeaderAt(disks[0], 5 + 176 * i);
    EXPECT_EQ(h.nextHeaderPos, static_cast<int32_t>(5 + 176 * (i + 1)));
    EXPECT_EQ(h.sourcePath, made.sources[i]);
    EXPECT_EQ(h.firstDisk, previousDisk) << "data follows without gaps";
    EXPECT_EQ(static_cast<size_t>(h.dataStart), dataEnd);
    std::string stream;
    for (int d = h.firstDisk; d <= h.lastDisk; ++d) {
      const std::string &disk = disks[d - 1];
      size_t from = d == h.firstDisk ? h.dataStart : 0;
      size_t to = d == h.lastDisk ? h.lastDataByte + 1 : disk.size();
      stream += disk.substr(from, to - from);
    }
    EXPECT_EQ(stream.size(), static_cast<size_t>(h.compressedSize));
    EXPECT_EQ(fixture::Inflate(stream), made.data[i]) << i;
    dataEnd = h.lastDataByte + 1;
    previousDisk = h.lastDisk;
  }

  TQndrCompress reader;
  reader.SetCompressedFile(dir / "disks/files.1");
  reader.SetExtractDirectory(dir / "out");
  std::vector<std::string> names = made.sources;
  reader.SetFilesToProcess(names);
  reader.Extract();
  for (size_t i = 0; i < made.data.size(); ++i)
    EXPECT_EQ(fixture::ReadFile(dir / ("out/m" + std::to_string(i))), made.data[i]);

  // The spanning component reads its plain archive again, not the set.
  std::vector<std::string> one{made.sources[4]};
  archive.SetExtractDirectory(dir / "again");
  archive.SetFilesToProcess(one);
  archive.Extract();
  EXPECT_EQ(fixture::ReadFile(dir / "again/m4"), made.data[4]);
}

TEST(SpanToDisks, FullDiskWithoutNewDiskHandlerIsAnError) {
  fixture::TempDir dir;
  MakePlainArchive(dir);
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "plain.dat");
  DiskSizeLimit limit(kDisk);
  try {
    archive.SpanToDisks(dir.path().string(), "files.1");
    FAIL();
  } catch (const EQndrCompress &e) {
    EXPECT_STREQ(e.what(),
                 "There was no event handler for the OnNewDisk event, therefore no new disk "
                 "could be inserted");
  }
  EXPECT_TRUE(archive.Abort());
}

TEST(SpanToDisks, StopsAtEveryChunk) {
  fixture::TempDir dir;
  MakePlainArchive(dir);
  fs::create_directories(dir.path() / "disks");
  for (int stopAt : {1, 5, 12, 20, 27}) {
    TQndrCompress archive;
    archive.SetCompressedFile(dir / "plain.dat");
    archive.SetOnNewDisk([](TQndrCompress *, int32_t, std::string &) {});
    int seen = 0;
    bool aborted = false;
    archive.SetOnStatus([&](TQndrCompress *sender, const TlzhFileStats &) {
      if (++seen == stopAt) sender->SetAbort(true);
    });
    archive.SetOnAborted([&](forms::TComponent *) { aborted = true; });
    DiskSizeLimit limit(kDisk);
    EXPECT_THROW(archive.SpanToDisks(dir / "disks", "files.1"), EqcAborted);
    EXPECT_EQ(seen, stopAt);
    EXPECT_TRUE(aborted);
  }
}

TEST(FullDisk, ExtractRaisesDiskFullOrAsksTheHandler) {
  fixture::TempDir dir;
  std::string source = dir / "big";
  fixture::WriteFile(source, fixture::NoiseData(3 * kDisk));
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "files.1");
  std::vector<std::string> lines{source};
  archive.SetFilesToProcess(lines);
  archive.Compress(lzcOverwrite, 0);

  DiskSizeLimit limit(2 * kDisk);
  archive.SetExtractDirectory(dir / "out");
  lines = {source};
  archive.SetFilesToProcess(lines);
  EXPECT_THROW(archive.Extract(), EqcDiskFull);

  int full = 0;
  archive.SetOnFullDisk([&](forms::TComponent *) { ++full; });
  lines = {source};
  archive.SetFilesToProcess(lines);
  archive.SetAbort(false);
  // The handler was told; the missing bytes make the size check fail.
  EXPECT_THROW(archive.Extract(), EQndrCompress);
  EXPECT_GE(full, 1);
}

}  // namespace
