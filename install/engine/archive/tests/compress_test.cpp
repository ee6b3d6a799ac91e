// The archive component's operations: compress, append, list, extract
// under the overwrite rule, copy, cancel at every block, file identifiers,
// progress records and exact file dates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#include "archive/day_date.h"
#include "archive/qndr_compress.h"
#include "archive/tests/archive_fixture.h"
#include "core/exceptions.h"
#include "os.h"

using namespace install;

namespace {

namespace fs = std::filesystem;

int64_t ModifiedTime(const std::string &path) {
  os::FileInfo info{};
  EXPECT_TRUE(os::FileQuery(path.c_str(), &info)) << path;
  return info.modified;
}

// The files of a folder by name, with their contents: a long content is
// shown as the member's data or by its size alone.
std::map<std::string, std::string> FilesIn(const fs::path &folder, const std::string &member) {
  std::map<std::string, std::string> files;
  for (const auto &entry : fs::directory_iterator(folder)) {
    std::string content = fixture::ReadFile(entry.path());
    if (content == member) content = "the member's data";
    else if (content.size() > 64) content = std::to_string(content.size()) + " other bytes";
    files[entry.path().filename().string()] = content;
  }
  return files;
}

// Source files in a temporary directory and an archive beside them.
class ArchiveTest : public ::testing::Test {
 protected:
  std::string Source(const std::string &name, const std::string &data,
                     int64_t modified = 1300000001) {
    std::string path = dir / name;
    fixture::WriteFile(path, data);
    os::FileSetWriteTime(path.c_str(), modified);
    return path;
  }

  void CompressFiles(TQndrCompress &archive, std::vector<std::string> lines,
                     TlzhCommand command = lzcOverwrite, int32_t fileID = 0) {
    archive.SetCompressedFile(dir / "files.1");
    archive.SetFilesToProcess(lines);
    archive.Compress(command, fileID);
  }

  void ExtractNames(TQndrCompress &archive, std::vector<std::string> names,
                    const std::string &into = "out") {
    archive.SetExtractDirectory(dir / into);
    archive.SetFilesToProcess(names);
    archive.Extract();
  }

  fixture::TempDir dir;
};

TEST_F(ArchiveTest, CompressAndExtractRoundTrip) {
  std::string text = Source("Text.txt", fixture::TextData(300000));
  std::string noise = Source("noise.bin", fixture::NoiseData(100000), 1300000002);
  std::string empty = Source("empty.dat", "");
  TQndrCompress archive;
  // A line may carry ";" and more text after the path.
  CompressFiles(archive, {text + ";1;extra", noise, "  ", empty});
  ASSERT_EQ(archive.Count(), 3);

  std::vector<TlzhFileStats> finished;
  archive.SetOnStatus([&](TQndrCompress *, const TlzhFileStats &s) {
    if (s.Finished) finished.push_back(s);
  });
  // Names are found whatever their letter case.
  std::string upper = text;
  for (char &c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ExtractNames(archive, {upper, noise, empty});
  EXPECT_EQ(fixture::ReadFile(dir / "out/Text.txt"), fixture::TextData(300000));
  EXPECT_EQ(fixture::ReadFile(dir / "out/noise.bin"), fixture::NoiseData(100000));
  EXPECT_TRUE(fs::exists(dir / "out/empty.dat"));
  EXPECT_EQ(fs::file_size(dir / "out/empty.dat"), 0u);
  ASSERT_EQ(finished.size(), 3u);
  EXPECT_EQ(finished[0].FilePercent, 100);
  EXPECT_EQ(finished[0].FileBytesDone, 300000);
  EXPECT_EQ(finished[2].FilePercent, 0) << "an empty member reads 0 percent";
  EXPECT_EQ(finished[2].TotalPercent, 100);
  EXPECT_EQ(finished[2].TotalBytesDone, 400000);
  EXPECT_TRUE(archive.FilesToProcess().Count() == 0);
  EXPECT_TRUE(archive.TargetName().empty());
  EXPECT_FALSE(archive.Abort());
}

TEST_F(ArchiveTest, ExtractedFilesKeepTheirDatesExactly) {
  // Odd seconds are cut to the DOS clock's even second; the extracted file
  // then compares as the same as its member, and as its source.
  const int64_t times[] = {1000000001, 1234567890, 1300000000 + 86399, 1600000000 + 43201,
                           946684799};
  std::vector<std::string> lines;
  for (size_t i = 0; i < std::size(times); ++i)
    lines.push_back(Source("d" + std::to_string(i), "data", times[i]));
  TQndrCompress archive;
  CompressFiles(archive, lines);
  ExtractNames(archive, lines);
  for (size_t i = 0; i < std::size(times); ++i) {
    std::string out = dir / ("out/d" + std::to_string(i));
    EXPECT_EQ(ModifiedTime(out), times[i] & ~int64_t{1}) << i;
    TlzhFileStats stats = archive.GetFileStats(static_cast<int>(i));
    double date;
    std::memcpy(&date, &stats.Header[8], 8);
    EXPECT_EQ(IsFileNewerByVersionAndDate("", out, owDate, date), TDecision::Same) << i;
    EXPECT_EQ(TVersionResource::IsFileNewerByName(lines[i], out, owDate), TDecision::Same) << i;
  }
}

TEST(DayDates, EverySecondOfADayRoundTrips) {
  for (int64_t t = 1300000000; t < 1300000000 + 86400; ++t) {
    int64_t even = t & ~int64_t{1};
    int64_t back = 0;
    ASSERT_TRUE(day_date::ToFileTime(day_date::FromFileTime(t), &back));
    ASSERT_EQ(back, even) << t;
  }
  int64_t unused;
  for (double outside : {-700000.0, 3e6, std::nan(""), 1e300})
    EXPECT_FALSE(day_date::ToFileTime(outside, &unused)) << outside;
  EXPECT_EQ(day_date::FromLocal(1899, 12, 30, 0, 0, 0), 0.0);
  EXPECT_EQ(day_date::FromLocal(1900, 1, 1, 12, 0, 0), 2.5);
}

TEST_F(ArchiveTest, AppendingAddsMembersAndKeepsTheOldOnes) {
  std::string a = Source("a.txt", "first file");
  std::string b = Source("b.txt", "second file");
  TQndrCompress archive;
  fs::remove(dir / "files.1");
  CompressFiles(archive, {a}, lzcOnlyAdd, 3);  // a missing archive is created
  std::string before = fixture::ReadFile(dir / "files.1");
  CompressFiles(archive, {b}, lzcOnlyAdd, 4);
  std::string after = fixture::ReadFile(dir / "files.1");
  ASSERT_EQ(fixture::HeadCount(after), 2);
  EXPECT_EQ(after.substr(5, before.size() - 5), before.substr(5)) << "earlier member untouched";
  fixture::Header second = fixture::HeaderAt(after, before.size());
  EXPECT_EQ(second.fileNumber, 1) << "each call counts from 1";
  EXPECT_EQ(second.fileID, 4);
  ExtractNames(archive, {a, b});
  EXPECT_EQ(fixture::ReadFile(dir / "out/a.txt"), "first file");
  EXPECT_EQ(fixture::ReadFile(dir / "out/b.txt"), "second file");

  CompressFiles(archive, {b}, lzcOverwrite, 5);
  EXPECT_EQ(archive.Count(), 1) << "overwrite replaces the archive";
}

TEST_F(ArchiveTest, OverlongSourcePathIsRefusedAndArchiveKept) {
  std::string kept = Source("kept.txt", "kept");
  TQndrCompress archive;
  CompressFiles(archive, {kept});
  std::string before = fixture::ReadFile(dir / "files.1");

  std::string prefix = dir.path().string() + "/";
  std::string exact = Source(std::string(100 - prefix.size(), 'e'), "fits");
  ASSERT_EQ(exact.size(), 100u);
  std::string overlong = Source(std::string(101 - prefix.size(), 'o'), "too long");
  try {
    CompressFiles(archive, {kept, overlong});
    FAIL();
  } catch (const EQndrCompress &e) {
    EXPECT_EQ(std::string(e.what()), "The path " + overlong +
                                         " is longer than the 100 characters an archive keeps "
                                         "for a file name");
  }
  EXPECT_EQ(fixture::ReadFile(dir / "files.1"), before);
  EXPECT_TRUE(archive.Abort()) << "a failure sets Abort";

  archive.SetAbort(false);
  CompressFiles(archive, {exact});
  ExtractNames(archive, {exact});
  EXPECT_EQ(fixture::ReadFile(dir / ("out/" + std::string(100 - prefix.size(), 'e'))), "fits");
}

TEST_F(ArchiveTest, MissingMemberStopsAfterTheOnesBefore) {
  std::string a = Source("a.txt", "a"), b = Source("b.txt", "b");
  TQndrCompress archive;
  CompressFiles(archive, {a, b});
  try {
    ExtractNames(archive, {a, "nothere.txt;x", b});
    FAIL();
  } catch (const EQndrCompress &e) {
    EXPECT_EQ(std::string(e.what()),
              "The file <nothere.txt;x> was not found in the archive <" + (dir / "files.1") + ">");
  }
  EXPECT_TRUE(fs::exists(dir / "out/a.txt"));
  EXPECT_FALSE(fs::exists(dir / "out/b.txt"));
}

TEST_F(ArchiveTest, TargetNameAndOnReplace) {
  std::string a = Source("a.txt", "new");
  TQndrCompress archive;
  CompressFiles(archive, {a});
  fs::create_directories(dir / "out");
  fixture::WriteFile(dir / "out/old.txt", "old");
  int replaced = 0;
  archive.SetOnReplace([&](TQndrCompress *sender, const TlzhFileStats &) {
    ++replaced;
    sender->SetTargetName("sub/other.txt");  // only its file-name part counts
  });
  archive.SetTargetName("old.txt");
  ExtractNames(archive, {a});
  EXPECT_EQ(replaced, 1);
  EXPECT_EQ(fixture::ReadFile(dir / "out/old.txt"), "old");
  EXPECT_EQ(fixture::ReadFile(dir / "out/other.txt"), "new");
}

// A member that does not come out whole leaves the target as it was (or
// absent on a fresh install) and nothing of itself beside it; a whole one
// takes the target's place and leaves nothing else. Files beside the
// target, whatever their names, are not touched.
TEST_F(ArchiveTest, OnlyAWholeMemberTakesTheTargetsPlace) {
  // Data that does not compress is stored: all of it comes out before the
  // stream's checksum is compared.
  const std::string data = fixture::NoiseData(200000);
  std::string source = Source("m.bin", data);
  TQndrCompress writer;
  CompressFiles(writer, {source});
  const std::string pristine = fixture::ReadFile(dir / "files.1");
  const fixture::Header header = fixture::HeaderAt(pristine, 5);
  int blocks = 0;
  struct Case {
    const char *what;
    std::function<void(std::string &archive, TQndrCompress &reader)> spoil;
    bool whole;
  };
  const Case cases[] = {
      {"a whole member", [](std::string &, TQndrCompress &) {}, true},
      {"a damaged data byte",
       [&](std::string &archive, TQndrCompress &) { archive[header.dataStart + 150000] ^= 0x20; }, false},
      {"a member cut short",
       [&](std::string &archive, TQndrCompress &) {
         fixture::PutInt(archive, 5 + 20, header.dataStart + header.compressedSize / 2);
       },
       false},
      {"a damaged byte on the second disk of a set",
       [&](std::string &archive, TQndrCompress &) {
         fixture::Member member;
         member.name = source;
         member.data = data;
         std::vector<std::string> disks = fixture::DiskSet({member}, 150000);
         ASSERT_EQ(disks.size(), 2u);
         disks[1][1000] ^= 0x20;
         archive = disks[0];
         fixture::WriteFile(dir / "files.2", disks[1]);
       },
       false},
      {"a cancel part way",
       [&](std::string &, TQndrCompress &reader) {
         blocks = 0;
         reader.SetOnStatus([&](TQndrCompress *sender, const TlzhFileStats &) {
           if (++blocks == 10) sender->SetAbort(true);
         });
       },
       false},
  };
  int run = 0;
  for (const Case &c : cases) {
    for (bool installed : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (installed ? " over an installed file" : " on a fresh install"));
      std::string into = "out" + std::to_string(++run);
      fs::create_directories(dir.path() / into);
      std::map<std::string, std::string> before{{"m.bin.~1", "someone else's"}};
      if (installed) before["m.bin"] = "good";
      for (const auto &[name, content] : before) fixture::WriteFile(dir / (into + "/" + name), content);
      std::string archive = pristine;
      TQndrCompress reader;
      c.spoil(archive, reader);
      fixture::WriteFile(dir / "files.1", archive);
      reader.SetCompressedFile(dir / "files.1");
      if (c.whole) {
        ExtractNames(reader, {source}, into);
        std::map<std::string, std::string> after = before;
        after["m.bin"] = "the member's data";
        EXPECT_EQ(FilesIn(dir.path() / into, data), after);
      } else {
        EXPECT_ANY_THROW(ExtractNames(reader, {source}, into));
        EXPECT_EQ(FilesIn(dir.path() / into, data), before);
      }
    }
  }
}

struct OverwriteCase {
  TOverwriteType type;
  int64_t targetTime;  // the source is 1300000000
  bool replaced;
};

class ExtractOverwrite : public ::testing::TestWithParam<OverwriteCase> {};

TEST_P(ExtractOverwrite, DecidesByTheRule) {
  fixture::TempDir dir;
  std::string source = dir / "f.txt";
  fixture::WriteFile(source, "new");
  os::FileSetWriteTime(source.c_str(), 1300000000);
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "files.1");
  std::vector<std::string> lines{source};
  archive.SetFilesToProcess(lines);
  archive.Compress(lzcOverwrite, 0);
  fs::create_directories(dir.path() / "out");
  std::string target = dir / "out/f.txt";
  fixture::WriteFile(target, "old");
  os::FileSetWriteTime(target.c_str(), GetParam().targetTime);
  std::vector<bool> finished;
  archive.SetOnStatus([&](TQndrCompress *, const TlzhFileStats &s) {
    finished.push_back(s.Finished);
  });
  archive.SetOverwrite(GetParam().type);
  archive.SetExtractDirectory(dir / "out");
  archive.SetFilesToProcess(lines);
  archive.Extract();
  EXPECT_EQ(fixture::ReadFile(target), GetParam().replaced ? "new" : "old");
  ASSERT_FALSE(finished.empty()) << "a kept member is still reported";
  EXPECT_TRUE(finished.back());
}

const OverwriteCase kOverwriteCases[] = {
    {owAlways, 1300000000, true},  {owNever, 1200000000, false},
    {owDate, 1200000000, true},    {owDate, 1300000000, false},
    {owDate, 1400000000, false},   {owVersion, 1200000000, false},
    {owVersionDate, 1200000000, true}, {owAsk, 1400000000, true},
};

INSTANTIATE_TEST_SUITE_P(Rules, ExtractOverwrite, ::testing::ValuesIn(kOverwriteCases),
                         [](const auto &info) { return "case" + std::to_string(info.index); });

TEST_F(ArchiveTest, FileIdentifiersFindTheirMemberOrNone) {
  std::string a = Source("a", "a"), b = Source("b", "b"), c = Source("c", "c");
  TQndrCompress archive;
  CompressFiles(archive, {a, b}, lzcOverwrite, 5);
  CompressFiles(archive, {c}, lzcOnlyAdd, 6);
  EXPECT_EQ(archive.IndexOfFileID(5), 1) << "a later member wins";
  EXPECT_EQ(archive.IndexOfFileID(6), 2);
  for (int missing : {0, 7, -1, 2000, 1999}) EXPECT_EQ(archive.IndexOfFileID(missing), -1);

  std::string other = dir / "other.1";
  fixture::WriteFile(other, fixture::PlainArchive({{"x", "x", 40000, "", 9, 1}}));
  archive.SetCompressedFile(other);
  EXPECT_EQ(archive.IndexOfFileID(9), 0);
  EXPECT_EQ(archive.IndexOfFileID(5), -1) << "nothing of the first archive is left";
}

TEST_F(ArchiveTest, RatiosAboveTheFieldAreShownAs255) {
  std::string tiny = Source("tiny", "x");  // 1 byte becomes a 9-byte stream
  std::string stored = Source("stored", fixture::NoiseData(1000));
  TQndrCompress archive;
  std::vector<int> ratios;
  archive.SetOnAfterAdding([&](TQndrCompress *, const TlzhFileStats &s) {
    ratios.push_back(s.CompressionRatio);
  });
  archive.SetCompressionLevel(colNone);
  CompressFiles(archive, {tiny, stored});
  ASSERT_EQ(ratios.size(), 2u);
  EXPECT_EQ(ratios[0], 255);
  EXPECT_EQ(ratios[1], 101);  // 1000 bytes stored in 1011
  EXPECT_EQ(archive.GetFileStats(0).CompressionRatio, 255);
  EXPECT_THROW(archive.GetFileStats(2), EQndrCompress);
}

TEST_F(ArchiveTest, CompressProgressCountsEveryByteRead) {
  std::string big = Source("big", fixture::NoiseData(200000));
  std::string empty = Source("empty", "");
  TQndrCompress archive;
  std::vector<TlzhFileStats> finished;
  archive.SetOnStatus([&](TQndrCompress *, const TlzhFileStats &s) {
    EXPECT_GE(s.FileBytesDone, 0);
    if (s.Finished) finished.push_back(s);
  });
  CompressFiles(archive, {big, empty});
  ASSERT_EQ(finished.size(), 2u);
  EXPECT_EQ(finished[0].FileBytesDone, 200000);
  EXPECT_EQ(finished[0].FilePercent, 100);
  EXPECT_EQ(finished[1].FileBytesDone, 0);
  EXPECT_EQ(finished[1].FilePercent, 0);
  EXPECT_EQ(finished[1].TotalBytesDone, 200000);
  EXPECT_EQ(finished[1].TotalPercent, 100);
}

TEST_F(ArchiveTest, ListReportsEveryMemberInOrder) {
  std::string a = Source("a", fixture::TextData(1000)), b = Source("b", "bb");
  TQndrCompress archive;
  CompressFiles(archive, {a, b});
  std::vector<TlzhFileStats> listed;
  archive.SetOnListing([&](TQndrCompress *, const TlzhFileStats &s) { listed.push_back(s); });
  archive.List();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].FileName, a);
  EXPECT_EQ(listed[1].FileSize, 2);
  EXPECT_EQ(listed[1].TotalSize, 1002);
}

TEST_F(ArchiveTest, FilesToProcessDropsBlankLinesFromTheCallersList) {
  TQndrCompress archive;
  forms::TStringList lines{"a", " ", "", "b", "\t"};
  archive.SetFilesToProcess(lines);
  EXPECT_EQ(lines, (forms::TStringList{"a", "b"}));
  EXPECT_EQ(archive.FilesToProcess(), lines);
}

TEST_F(ArchiveTest, AnotherDiskOfTheSameSetKeepsTheHeaders) {
  std::string a = Source("a", "a");
  TQndrCompress archive;
  CompressFiles(archive, {a});
  ASSERT_EQ(archive.Count(), 1);
  fs::rename(dir / "files.1", dir / "moved.1");
  archive.SetCompressedFile(dir / "FILES.2");
  EXPECT_EQ(archive.Count(), 1) << "no re-read for a disk of the same set";
  archive.SetCompressedFile(dir / "files.dat");
  EXPECT_EQ(archive.Count(), 1);
  archive.SetCompressedFile(dir / "else.1");
  EXPECT_THROW(archive.Count(), EQndrCompress) << "another archive is read again";
}

// ---- cancel ----

// Runs an operation once to count its status reports, then once for each
// report with Abort set at that report: each run stops at its next block
// (a member whose last block was read still reports itself finished). An
// abort in the last two reports has nothing left to stop.
template <typename Operation>
void ExpectStopsAtEveryBlock(Operation run, int minimumBlocks) {
  int blocks = 0;
  run([&](TQndrCompress *, const TlzhFileStats &) { ++blocks; }, nullptr);
  ASSERT_GE(blocks, minimumBlocks);
  for (int stopAt = 1; stopAt <= blocks - 2; ++stopAt) {
    int seen = 0;
    bool aborted = false;
    run(
        [&](TQndrCompress *sender, const TlzhFileStats &) {
          if (++seen == stopAt) sender->SetAbort(true);
        },
        &aborted);
    EXPECT_LE(seen, stopAt + 1) << "went on after the abort at block " << stopAt;
    EXPECT_TRUE(aborted) << stopAt;
  }
}

TEST_F(ArchiveTest, CompressStopsAtEveryBlock) {
  std::string big = Source("big", fixture::NoiseData(700000));
  std::string second = Source("second", fixture::NoiseData(200000, 2));
  ExpectStopsAtEveryBlock(
      [&](TlzhFileStatsEvent status, bool *aborted) {
        TQndrCompress archive;
        archive.SetOnStatus(status);
        archive.SetOnAborted([&](forms::TComponent *) { *aborted = true; });
        if (aborted)
          EXPECT_THROW(CompressFiles(archive, {big, second}), EqcAborted);
        else
          CompressFiles(archive, {big, second});
        EXPECT_EQ(archive.Abort(), aborted != nullptr);
      },
      12);
}

TEST_F(ArchiveTest, ExtractStopsAtEveryBlock) {
  std::string big = Source("big", fixture::TextData(60000));
  std::string second = Source("second", fixture::TextData(20000, 2));
  TQndrCompress writer;
  CompressFiles(writer, {big, second});
  ExpectStopsAtEveryBlock(
      [&](TlzhFileStatsEvent status, bool *aborted) {
        TQndrCompress archive;
        archive.SetCompressedFile(dir / "files.1");
        archive.SetOnStatus(status);
        archive.SetOnAborted([&](forms::TComponent *) { *aborted = true; });
        if (aborted)
          EXPECT_THROW(ExtractNames(archive, {big, second}), EqcAborted);
        else
          ExtractNames(archive, {big, second});
      },
      20);
}

TEST_F(ArchiveTest, CopyStopsAtEveryBlockWithoutLeavingACutFile) {
  std::string source = Source("src.bin", fixture::NoiseData(100000));
  int blocks = 0;
  TQndrCompress archive;
  archive.SetOnStatus([&](TQndrCompress *, const TlzhFileStats &) { ++blocks; });
  archive.CopyFileChecked(source, dir / "whole.bin");
  ASSERT_GE(blocks, 12);
  for (int stopAt = 1; stopAt <= blocks - 2; ++stopAt) {
    TQndrCompress copier;
    int seen = 0;
    copier.SetOnStatus([&](TQndrCompress *sender, const TlzhFileStats &) {
      if (++seen == stopAt) sender->SetAbort(true);
    });
    EXPECT_THROW(copier.CopyFileChecked(source, dir / "cut.bin"), EqcAborted);
    EXPECT_EQ(seen, stopAt);
    EXPECT_FALSE(fs::exists(dir / "cut.bin")) << stopAt;
  }
}

TEST_F(ArchiveTest, AbortRequestedBetweenOperationsIsKept) {
  std::string a = Source("a", "a");
  TQndrCompress archive;
  CompressFiles(archive, {a});
  archive.SetAbort(true);
  int aborted = 0;
  archive.SetOnAborted([&](forms::TComponent *) { ++aborted; });
  EXPECT_THROW(ExtractNames(archive, {a}), EqcAborted) << "the caller learns of the cancel";
  EXPECT_EQ(aborted, 1);
  EXPECT_FALSE(fs::exists(dir / "out/a")) << "nothing was written after the cancel";
  EXPECT_TRUE(archive.Abort()) << "the next operation did not clear it";
  std::string before = fixture::ReadFile(dir / "files.1");
  EXPECT_THROW(CompressFiles(archive, {Source("b", "b")}), EqcAborted);
  EXPECT_EQ(aborted, 2);
  EXPECT_EQ(fixture::ReadFile(dir / "files.1"), before) << "the archive is untouched";

  archive.SetAbort(false);  // a new run starts
  ExtractNames(archive, {a});
  EXPECT_TRUE(fs::exists(dir / "out/a"));

  archive.SetAbort(true);
  EXPECT_THROW(archive.CopyFileChecked(a, dir / "copy"), EqcAborted);
  EXPECT_FALSE(fs::exists(dir / "copy"));
}

TEST_F(ArchiveTest, CancelOfTheSharedComponentStopsAPrivateOne) {
  std::string big = Source("big", fixture::TextData(100000));
  TQndrCompress shared;
  CompressFiles(shared, {big});
  TQndrCompress priv;
  priv.ShareAbortWith(shared);
  priv.SetCompressedFile(dir / "files.1");
  int blocks = 0;
  // The cancel button sets the shared component's flag through the pump.
  TQndrCompress::SetMessagePump([&] {
    if (++blocks == 3) shared.SetAbort(true);
  });
  bool aborted = false;
  priv.SetOnAborted([&](forms::TComponent *) { aborted = true; });
  EXPECT_THROW(ExtractNames(priv, {big}), EqcAborted);
  TQndrCompress::SetMessagePump(nullptr);
  EXPECT_TRUE(aborted);
  EXPECT_EQ(blocks, 3);
  EXPECT_TRUE(priv.Abort());

  // A failure of the private component is no cancel of the shared one.
  shared.SetAbort(false);
  EXPECT_THROW(ExtractNames(priv, {"missing"}), EQndrCompress);
  EXPECT_TRUE(priv.Abort());
  EXPECT_FALSE(shared.Abort());
  ExtractNames(shared, {big});
  EXPECT_EQ(fixture::ReadFile(dir / "out/big"), fixture::TextData(100000));
}

// A failed operation shows in Abort, but only the user's cancel stops a
// later one: each operation after a failure does its work.
TEST_F(ArchiveTest, AFailureStopsNoLaterOperation) {
  std::string a = Source("a", "a");
  TQndrCompress archive;
  CompressFiles(archive, {a});
  int aborted = 0;
  archive.SetOnAborted([&](forms::TComponent *) { ++aborted; });
  auto fail = [&] {
    EXPECT_THROW(ExtractNames(archive, {"missing"}), EQndrCompress);
    EXPECT_TRUE(archive.Abort()) << "the failure shows in Abort";
  };
  fail();
  ExtractNames(archive, {a});
  EXPECT_EQ(fixture::ReadFile(dir / "out/a"), "a");
  EXPECT_FALSE(archive.Abort());
  fail();
  archive.CopyFileChecked(a, dir / "copy");
  EXPECT_EQ(fixture::ReadFile(dir / "copy"), "a");
  fail();
  CompressFiles(archive, {a, Source("b", "b")});
  EXPECT_EQ(archive.Count(), 2);
  fail();
  archive.SetOnNewDisk([](TQndrCompress *, int32_t, std::string &) {});
  fs::create_directories(dir.path() / "disks");
  archive.SpanToDisks(dir / "disks", "files.1");
  EXPECT_TRUE(fs::exists(dir / "disks/files.1"));
  EXPECT_EQ(aborted, 0);
}

TEST_F(ArchiveTest, HandlerAbortEndsCompressAndExtractWithoutSettingAbort) {
  std::string a = Source("a", "a");
  TQndrCompress archive;
  archive.SetOnBeforeAdding([](TQndrCompress *, const TlzhFileStats &) { throw EAbort(); });
  EXPECT_THROW(CompressFiles(archive, {a}), EAbort);
  EXPECT_FALSE(archive.Abort());
  archive.SetOnBeforeAdding(nullptr);
  CompressFiles(archive, {a});
  archive.SetOnBeforeExtracting([](TQndrCompress *, const TlzhFileStats &) { throw EAbort(); });
  EXPECT_THROW(ExtractNames(archive, {a}), EAbort);
  EXPECT_FALSE(fs::exists(dir / "out/a"));
  EXPECT_FALSE(archive.Abort());
}

// ---- copy ----

TEST_F(ArchiveTest, CopyFileCheckedCopiesUnderTheRule) {
  std::string source = Source("src.txt", fixture::TextData(20000), 1300000007);
  TQndrCompress archive;
  TlzhFileStats last;
  int reports = 0;
  archive.SetOnStatus([&](TQndrCompress *, const TlzhFileStats &s) {
    last = s;
    ++reports;
  });
  std::string dest = dir / "copy/dest.txt";
  fs::create_directories(dir.path() / "copy");
  archive.CopyFileChecked(source, dest);
  EXPECT_EQ(fixture::ReadFile(dest), fixture::TextData(20000));
  EXPECT_EQ(ModifiedTime(dest), 1300000007) << "the source's time, exactly";
  EXPECT_TRUE(last.Finished);
  EXPECT_EQ(last.FilePercent, 100);
  EXPECT_EQ(last.FileName, source);
  EXPECT_EQ(archive.ExtractDirectory(), dir / "copy");
  EXPECT_EQ(archive.TargetName(), "dest.txt");

  fixture::WriteFile(dest, "changed");
  reports = 0;
  archive.SetOverwrite(owNever);
  archive.CopyFileChecked(source, dest);
  EXPECT_EQ(fixture::ReadFile(dest), "changed");
  EXPECT_EQ(reports, 0) << "a kept file reports nothing";

  os::FileSetWriteTime(dest.c_str(), 1300000006);
  archive.SetOverwrite(owDate);
  archive.CopyFileChecked(source, dest);
  EXPECT_EQ(fixture::ReadFile(dest), "changed") << "same DOS time: the same file";
  archive.SetOverwrite(owAlways);
  archive.CopyFileChecked(source, dest);
  EXPECT_EQ(fixture::ReadFile(dest), fixture::TextData(20000));

  try {
    archive.CopyFileChecked(dir / "missing", dir / "x");
    FAIL();
  } catch (const EQndrCompress &e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open the file " + (dir / "missing"));
  }
}

// ---- disks ----

TEST_F(ArchiveTest, NewDiskHandlerIsAskedFourTimes) {
  std::vector<std::string> disks = fixture::DiskSet(
      {{"a", fixture::NoiseData(30000), 40000, "", 1, 1},
       {"b", fixture::NoiseData(30000, 2), 40000, "", 2, 2}},
      25000);
  fs::create_directories(dir.path() / "one");
  fs::create_directories(dir.path() / "two");
  fixture::WriteFile(dir / "one/files.1", disks[0]);
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "one/files.1");
  int asked = 0;
  archive.SetOnNewDisk([&](TQndrCompress *, int32_t disk, std::string &) {
    ++asked;
    EXPECT_EQ(disk, 2);
  });
  try {
    ExtractNames(archive, {"a"});
    FAIL();
  } catch (const EQndrCompress &e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open the compressed file " + (dir.path() / "one" / "files.2").string());
  }
  EXPECT_EQ(asked, 4);

  // Disks found elsewhere: the handler names their directory.
  for (size_t i = 1; i < disks.size(); ++i)
    fixture::WriteFile(dir / ("two/files." + std::to_string(i + 1)), disks[i]);
  archive.SetAbort(false);
  archive.SetOnNewDisk([&](TQndrCompress *, int32_t, std::string &path) {
    path = dir.path().string() + "/two";
  });
  ExtractNames(archive, {"a", "b"});
  EXPECT_EQ(fixture::ReadFile(dir / "out/b"), fixture::NoiseData(30000, 2));
}

TEST_F(ArchiveTest, SpanOntoOneDiskMakesADiskSet) {
  std::string a = Source("a", fixture::TextData(30000)), b = Source("b", fixture::NoiseData(9000));
  TQndrCompress archive;
  CompressFiles(archive, {a, b});
  fs::create_directories(dir.path() / "set");
  archive.SpanToDisks(dir / "set", "disk.1");
  std::string disk = fixture::ReadFile(dir / "set/disk.1");
  ASSERT_EQ(fixture::HeadCount(disk), 2);
  EXPECT_EQ(fixture::HeadSpanned(disk), 1);
  fixture::Header first = fixture::HeaderAt(disk, 5), second = fixture::HeaderAt(disk, 181);
  EXPECT_EQ(first.nextHeaderPos, 181);
  EXPECT_EQ(second.nextHeaderPos, 357);
  EXPECT_EQ(first.dataStart, 357);
  EXPECT_EQ(second.dataStart, first.lastDataByte + 1);
  EXPECT_EQ(static_cast<size_t>(second.lastDataByte) + 1, disk.size());
  EXPECT_EQ(first.firstDisk + first.lastDisk + second.firstDisk + second.lastDisk, 4);

  TQndrCompress reader;
  reader.SetCompressedFile(dir / "set/disk.1");
  ExtractNames(reader, {a, b});
  EXPECT_EQ(fixture::ReadFile(dir / "out/a"), fixture::TextData(30000));
  EXPECT_EQ(fixture::ReadFile(dir / "out/b"), fixture::NoiseData(9000));
}

}  // namespace
