// Remote files and transfers against the fake trend server's file store,
// and the temporary-file manager under the downloads.
#include "dmwfiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "dmwclnt.h"
#include "globals.h"
#include "oswrap.h"
#include "testfiles.h"
#include "tmpmgr.h"
#include "trendserver.h"

namespace {

using trendserver::Bytes;
using trendserver::Frame;
using trendserver::Reader;
using trendserver::Reply;
using trendserver::StoredFile;

constexpr int kRead = 0x1011, kWrite = 0x1010, kSeek = 0x1012;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.listening());
    InitClientGlobals(base.c_str(), "FILES");
    Globals().serverSocket = server.port();
    Globals().rcvTimeOutMs = 2000;
    ASSERT_EQ(ConnTableInit(), 0);
    ASSERT_EQ(TmpMgrInit(), 0);
    slot = Open();
    ASSERT_GE(slot, 0);
  }
  void TearDown() override {
    TmpMgrDone();
    ConnTableDone();
    FreeGlobals();
  }
  int Open() { return _DMWOpen("127.0.0.1", server.port()); }
  std::string Local(const std::string &name) const { return base + kSep + name; }
  std::string TempDir() const { return base + kSep + "temp"; }
  size_t TempFiles() const {
    size_t count = 0;
    for (const auto &entry : std::filesystem::directory_iterator(TempDir())) count += !entry.is_directory();
    return count;
  }
  // The file-store methods the server was sent, in order.
  std::vector<Frame> Method(int method) {
    std::vector<Frame> matching;
    for (const Frame &frame : server.FramesOf(0x1003)) {
      Reader body(frame.body);
      body.Int();
      if (body.Int() == method) matching.push_back(frame);
    }
    return matching;
  }
  static int Argument(const Frame &frame) {
    Reader body(frame.body);
    body.Int();
    body.Int();
    return body.Int();
  }
  std::string ServerBytes(int objectClass, const std::string &name) {
    StoredFile file;
    return server.GetFile(objectClass, name, &file) ? file.bytes : "<none>";
  }
  // A local file of the given bytes and modification time.
  void WriteLocal(const std::string &name, const std::string &bytes, xtime_t date) {
    WriteFileBytes(Local(name), bytes);
    _XSetFileTime(Local(name).c_str(), date);
  }

  ScratchDir scratch{"files_"};
  const std::string base = scratch.path();
  trendserver::FakeTrendServer server;
  int slot = -1;
  const int zone = _GetTimeZone();
};

// ---- file-level calls ----------------------------------------------------------

TEST_F(FilesTest, OpenSendsWireDateModeAndNameAndReadsDateAndLength) {
  server.PutFile(DB_CLASS_CONFIG, "alerter", StoredFile{"12345", 1500000000});
  DBHandle *handle = _DBCreate(slot, DB_CLASS_CONFIG);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->Slot, slot);
  EXPECT_NE(handle->ObjectId, 0);
  xtime_t date = -1;
  int length = -1;
  EXPECT_EQ(_DBFileOpen(handle, "alerter", DB_MODE_READ, 1400000000, &date, &length), 0);
  EXPECT_EQ(date, 1500000000 + zone);
  EXPECT_EQ(length, 5);
  Frame open = Method(0x1001).at(0);
  EXPECT_EQ(open.body, Bytes()
                           .Int(handle->ObjectId)
                           .Int(0x1001)
                           .Int(1400000000 - zone)
                           .Chr(1)
                           .Str("alerter")
                           .str());
  EXPECT_EQ(open.capacity, 8u);

  char buffer[16];
  EXPECT_EQ(_DBFileRead(handle, buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "123");
  EXPECT_EQ(DBFileSeek(handle, 1), 0);
  EXPECT_EQ(_DBFileRead(handle, buffer, sizeof buffer), 4);
  EXPECT_EQ(std::string(buffer, 4), "2345");
  EXPECT_EQ(_DBFileRead(handle, buffer, sizeof buffer), 0) << "the end of the file";
  EXPECT_EQ(_DBFileClose(handle), 0);
  EXPECT_EQ(_DBClose(handle), 0);
  EXPECT_TRUE(server.WaitForFrames(0x1004, 1, 5000)) << "the remote object is closed";
  EXPECT_EQ(_DBClose(nullptr), -1);
}

TEST_F(FilesTest, MissingFileOpensWithDateAndLengthZero) {
  DBHandle *handle = _DBCreate(slot, DB_CLASS_CONFIG);
  xtime_t date = -1;
  EXPECT_EQ(_DBFileOpen(handle, "none", DB_MODE_READ, 0, &date, nullptr), 0);
  EXPECT_EQ(date, 0) << "no date stays no date";
  _DBClose(handle);
}

TEST_F(FilesTest, ShortOpenReplyIsAFailure) {
  DBHandle *handle = _DBCreate(slot, DB_CLASS_CONFIG);
  server.AnswerOnce(0x1003, Reply{0, "1234"});
  xtime_t date = -1;
  int length = -1;
  EXPECT_EQ(_DBFileOpen(handle, "x", DB_MODE_READ, 0, &date, &length), -1);
  EXPECT_EQ(date, 0);
  EXPECT_EQ(length, 0);
  _DBClose(handle);
}

TEST_F(FilesTest, WriteSendsLengthAndBytesAndGivesTheCount) {
  DBHandle *handle = _DBCreate(slot, DB_CLASS_TRENDS);
  EXPECT_EQ(_DBFileOpen(handle, "w", DB_MODE_WRITE, 1000, nullptr, nullptr), 0);
  EXPECT_EQ(_DBFileWrite(handle, "abc", 3), 3);
  server.FailNextFileMethod(kWrite, 9);
  EXPECT_EQ(_DBFileWrite(handle, "def", 3), 9) << "a status is the result";
  EXPECT_EQ(Method(kWrite).at(0).body, Bytes().Int(handle->ObjectId).Int(kWrite).Int(3).Raw("abc").str());
  EXPECT_EQ(ServerBytes(DB_CLASS_TRENDS, "w"), "abc");
  _DBClose(handle);
}

// ---- downloads -------------------------------------------------------------------

TEST_F(FilesTest, DownloadOfANewerServerCopy) {
  const std::string bytes = Pattern(5000);
  server.PutFile(DB_CLASS_CONFIG, "alerter", StoredFile{bytes, 1500000000});
  EXPECT_EQ(_RetrieveFile(slot, DB_CLASS_CONFIG, base.c_str(), "alerter", ".cfg"), 0);
  EXPECT_EQ(FileBytes(Local("alerter.cfg")), bytes);
  EXPECT_EQ(_XGetFileDate(Local("alerter.cfg").c_str()), 1500000000 + 2 * zone)
      << "stamped with the server's date and the zone offset once more";
  EXPECT_EQ(TempFiles(), 0u);
  EXPECT_EQ(FileBytes(base + kSep + "tmpmgr.cfg").find("alerter"), std::string::npos)
      << "the entry is gone once the file is in place";
}

struct CurrentCase {
  const char *name;
  int32_t serverDate;
  size_t serverLength;
  xtime_t localDate;  // 0: no local file
};

void PrintTo(const CurrentCase &c, std::ostream *out) { *out << c.name; }

class CurrentFileTest : public FilesTest, public ::testing::WithParamInterface<CurrentCase> {};

TEST_P(CurrentFileTest, DownloadsNothing) {
  const CurrentCase &c = GetParam();
  server.PutFile(DB_CLASS_CONFIG, "f", StoredFile{Pattern(c.serverLength), c.serverDate});
  if (c.localDate) WriteLocal("f.cfg", "mine", c.localDate);
  EXPECT_EQ(_RetrieveFile(slot, DB_CLASS_CONFIG, base.c_str(), "f", ".cfg"), 0);
  EXPECT_EQ(FileBytes(Local("f.cfg")), c.localDate ? "mine" : "");
  EXPECT_TRUE(Method(kRead).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CurrentFileTest,
    ::testing::Values(CurrentCase{"ServerDateZero", 0, 100, 0},
                      CurrentCase{"ServerLengthZero", 1500000000, 0, 0},
                      CurrentCase{"ServerCopyOlder", 1400000000, 100, 1500000000}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(FilesTest, InterruptedDownloadResumesFromItsTemporaryFile) {
  const std::string bytes = Pattern(5000);
  server.PutFile(DB_CLASS_CONFIG, "big", StoredFile{bytes, 1500000000});
  server.CutAfterFileBytes(3072);
  EXPECT_EQ(_RetrieveFile(slot, DB_CLASS_CONFIG, base.c_str(), "big", ".cfg"), -1);
  EXPECT_FALSE(std::filesystem::exists(Local("big.cfg")));
  ASSERT_EQ(TempFiles(), 1u);
  auto temporary = std::filesystem::directory_iterator(TempDir())->path().string();
  EXPECT_EQ(FileBytes(temporary), bytes.substr(0, 3072));
  EXPECT_EQ(_XGetFileDate(temporary.c_str()), 1500000000 + 2 * zone);

  ASSERT_EQ(Open(), slot) << "reconnected";
  EXPECT_EQ(_RetrieveFile(slot, DB_CLASS_CONFIG, base.c_str(), "big", ".cfg"), 0);
  ASSERT_EQ(Method(kSeek).size(), 1u);
  EXPECT_EQ(Argument(Method(kSeek)[0]), 3072);
  EXPECT_EQ(FileBytes(Local("big.cfg")), bytes);
  EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(FilesTest, ReadStatusIsAFailureAndWritesNothing) {
  server.PutFile(DB_CLASS_CONFIG, "f", StoredFile{Pattern(3000), 1500000000});
  server.FailNextFileMethod(kRead, 7);
  EXPECT_EQ(_RetrieveFile(slot, DB_CLASS_CONFIG, base.c_str(), "f", ".cfg"), -1);
  ASSERT_EQ(TempFiles(), 1u);
  EXPECT_EQ(std::filesystem::file_size(*std::filesystem::directory_iterator(TempDir())), 0u)
      << "no bytes of a failed read";
  EXPECT_EQ(_RetrieveFile(slot, DB_CLASS_CONFIG, base.c_str(), "f", ".cfg"), 0);
  EXPECT_EQ(FileBytes(Local("f.cfg")), Pattern(3000));
}

TEST_F(FilesTest, TemporaryFileLongerThanTheServerCopyStartsAfresh) {
  const std::string bytes = Pattern(2000);
  server.PutFile(DB_CLASS_CONFIG, "f", StoredFile{bytes, 1500000000});
  char *temporary = TmpMgrGetTempName(Local("f.cfg").c_str());
  WriteFileBytes(temporary, Pattern(2500));
  _XSetFileTime(temporary, 1500000000 + 2 * zone);
  EXPECT_EQ(_RetrieveFile(slot, DB_CLASS_CONFIG, base.c_str(), "f", ".cfg"), 0);
  EXPECT_TRUE(Method(kSeek).empty());
  EXPECT_EQ(FileBytes(Local("f.cfg")), bytes);
  std::free(temporary);
}

TEST_F(FilesTest, RetrieveConfigOnAConnectionOfItsOwn) {
  server.PutFile(DB_CLASS_CONFIG, "alerter", StoredFile{"[A]\nx=1\n", 1500000000});
  WriteLocal("alerter.cfg", "old", 1600000000);
  EXPECT_EQ(_RetrieveConfig(-1, "alerter", 0), 0);
  EXPECT_EQ(FileBytes(Local("alerter.cfg")), "old") << "the local copy is newer";
  EXPECT_EQ(server.FramesOf(5).back().body, Bytes().Int(1).Str("server agent").Int(1).str());

  EXPECT_EQ(_RetrieveConfig(-1, "alerter", 1), 0);
  EXPECT_EQ(FileBytes(Local("alerter.cfg")), "[A]\nx=1\n") << "deleted first, then fetched";

  EXPECT_EQ(_RetrieveConfig(slot, "alerter", 1), 0) << "on the caller's connection";
  server.Refuse();
  server.DropConnections();
  EXPECT_EQ(_RetrieveConfig(-1, "alerter", 1), -1);
  EXPECT_FALSE(std::filesystem::exists(Local("alerter.cfg")));
}

TEST_F(FilesTest, RefusedAgentConnectFailsTheConfigDownload) {
  server.Answer(5, Reply{2, ""});
  EXPECT_EQ(_RetrieveConfig(-1, "alerter", 0), -1);
}

// ---- uploads ---------------------------------------------------------------------

TEST_F(FilesTest, UploadSendsTheWholeFileInBlocks) {
  const std::string bytes = Pattern(5000);
  WriteLocal("day.dat", bytes, 1500000000);
  EXPECT_EQ(_SendFile(slot, DB_CLASS_TRENDS, base.c_str(), "day", ".dat"), 0);
  EXPECT_EQ(ServerBytes(DB_CLASS_TRENDS, "day"), bytes);
  auto writes = Method(kWrite);
  ASSERT_EQ(writes.size(), 5u);
  EXPECT_EQ(Argument(writes[0]), 1024);
  EXPECT_EQ(Argument(writes[4]), 5000 - 4 * 1024);
  StoredFile stored;
  ASSERT_TRUE(server.GetFile(DB_CLASS_TRENDS, "day", &stored));
  EXPECT_EQ(stored.wireDate, 1500000000 - zone);
}

TEST_F(FilesTest, UploadResumesAtTheServersLength) {
  const std::string bytes = Pattern(5000);
  WriteLocal("day.dat", bytes, 1500000000);
  server.PutFile(DB_CLASS_TRENDS, "day", StoredFile{bytes.substr(0, 2000), 1500000000 - zone});
  EXPECT_EQ(_SendFile(slot, DB_CLASS_TRENDS, base.c_str(), "day", ".dat"), 0);
  ASSERT_EQ(Method(kSeek).size(), 1u);
  EXPECT_EQ(Argument(Method(kSeek)[0]), 2000);
  EXPECT_EQ(ServerBytes(DB_CLASS_TRENDS, "day"), bytes);
}

struct NothingToSendCase {
  const char *name;
  int32_t serverDate;  // as the local file's date is 1500000000
  size_t serverLength;
};

void PrintTo(const NothingToSendCase &c, std::ostream *out) { *out << c.name; }

class NothingToSendTest : public FilesTest,
                          public ::testing::WithParamInterface<NothingToSendCase> {};

TEST_P(NothingToSendTest, SendsNoBlock) {
  WriteLocal("day.dat", Pattern(3000), 1500000000);
  server.PutFile(DB_CLASS_TRENDS, "day",
                 StoredFile{Pattern(GetParam().serverLength), GetParam().serverDate - zone});
  EXPECT_EQ(_SendFile(slot, DB_CLASS_TRENDS, base.c_str(), "day", ".dat"), 0);
  EXPECT_TRUE(Method(kWrite).empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, NothingToSendTest,
                         ::testing::Values(NothingToSendCase{"SameDateAndLength", 1500000000, 3000},
                                           NothingToSendCase{"ServerCopyNewer", 1600000000, 10},
                                           NothingToSendCase{"SameDateServerLonger", 1500000000,
                                                             4000}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(FilesTest, ShortWriteCountFailsTheUploadAndTheNextOneResumes) {
  const std::string bytes = Pattern(5000);
  WriteLocal("day.dat", bytes, 1500000000);
  server.ShortenNextWriteCount(1);
  DBHandle *handle = _DBCreate(slot, DB_CLASS_TRENDS);
  char buffer[1024];
  char stop = 0;
  std::string path = Local("day.dat");
  EXPECT_EQ(__SendFile(handle, 0, buffer, sizeof buffer, path.c_str(), "day", &stop), -1);
  EXPECT_EQ(stop, 2);
  EXPECT_EQ(Method(kWrite).size(), 1u) << "no block after the failed one";
  _DBClose(handle);
  EXPECT_EQ(_SendFile(slot, DB_CLASS_TRENDS, base.c_str(), "day", ".dat"), 0);
  EXPECT_EQ(ServerBytes(DB_CLASS_TRENDS, "day"), bytes);
}

TEST_F(FilesTest, CutUploadResumesToTheSameBytes) {
  const std::string bytes = Pattern(5000);
  WriteLocal("day.dat", bytes, 1500000000);
  server.CutAfterFileBytes(2500);
  EXPECT_EQ(_SendFile(slot, DB_CLASS_TRENDS, base.c_str(), "day", ".dat"), -1);
  ASSERT_EQ(Open(), slot);
  EXPECT_EQ(_SendFile(slot, DB_CLASS_TRENDS, base.c_str(), "day", ".dat"), 0);
  EXPECT_EQ(ServerBytes(DB_CLASS_TRENDS, "day"), bytes);
}

TEST_F(FilesTest, ForcedUploadSendsTheWholeFileAndASetStopSendsNothingAndFails) {
  WriteLocal("day.dat", Pattern(3000), 1500000000);
  server.PutFile(DB_CLASS_TRENDS, "day", StoredFile{Pattern(3000), 1500000000 - zone});
  DBHandle *handle = _DBCreate(slot, DB_CLASS_TRENDS);
  char buffer[512];
  char stop = 0;
  std::string path = Local("day.dat");
  EXPECT_EQ(__SendFile(handle, 1, buffer, sizeof buffer, path.c_str(), "day", &stop), 0);
  EXPECT_EQ(Method(kWrite).size(), 6u);
  // Stopped before the end, the file was not sent whole: a failure, so that
  // the caller keeps its copy.
  stop = 1;
  EXPECT_EQ(__SendFile(handle, 1, buffer, sizeof buffer, path.c_str(), "day", &stop), -1);
  EXPECT_EQ(Method(kWrite).size(), 6u);
  EXPECT_EQ(stop, 1);
  EXPECT_EQ(__SendFile(nullptr, 1, buffer, sizeof buffer, path.c_str(), "day", &stop), -1);
  _DBClose(handle);
}

// ---- temporary files ---------------------------------------------------------------

TEST_F(FilesTest, TemporaryNamesAreStablePerTargetAndSurviveARestart) {
  char *first = TmpMgrGetTempName("/x/a.cfg");
  char *again = TmpMgrGetTempName("/x/a.cfg");
  char *other = TmpMgrGetTempName("/x/b.cfg");
  ASSERT_TRUE(first && again && other);
  EXPECT_STREQ(first, again);
  EXPECT_STRNE(first, other);
  EXPECT_EQ(std::filesystem::path(first).parent_path().string(), TempDir());
  WriteFileBytes(first, "partial");

  TmpMgrDone();
  ASSERT_EQ(TmpMgrInit(), 0);
  char *kept = TmpMgrGetTempName("/x/a.cfg");
  char *fresh = TmpMgrGetTempName("/x/b.cfg");
  EXPECT_STREQ(kept, first) << "its temporary file exists: the entry stays";
  EXPECT_STRNE(fresh, other) << "its temporary file was never made: the entry was dropped";
  for (char *path : {first, again, other, kept, fresh}) std::free(path);
}

TEST_F(FilesTest, CommitMovesTheFileIntoPlace) {
  std::string target = base + kSep + "sub" + kSep + "t.cfg";
  WriteFileBytes(Local("t.cfg"), "unrelated");
  char *temporary = TmpMgrGetTempName(target.c_str());
  EXPECT_EQ(TmpMgrCommit(temporary), -1) << "no temporary file yet";
  WriteFileBytes(temporary, "new");
  EXPECT_EQ(TmpMgrCommit(temporary), 0);
  EXPECT_EQ(FileBytes(target), "new");
  EXPECT_FALSE(std::filesystem::exists(temporary));
  WriteFileBytes(temporary, "again");
  EXPECT_EQ(TmpMgrCommit(temporary), -1) << "its entry is gone";
  std::free(temporary);
}

TEST_F(FilesTest, AForgottenTemporaryFileIsNoLongerTheTargets) {
  char *temporary = TmpMgrGetTempName("/x/a.cfg");
  char *other = TmpMgrGetTempName("/x/b.cfg");
  ASSERT_TRUE(temporary && other);
  WriteFileBytes(temporary, "partial");
  TmpMgrForget(temporary);
  EXPECT_TRUE(std::filesystem::exists(temporary)) << "only the entry goes";
  EXPECT_EQ(TmpMgrCommit(temporary), -1) << "no target any more";
  char *fresh = TmpMgrGetTempName("/x/a.cfg");
  char *kept = TmpMgrGetTempName("/x/b.cfg");
  EXPECT_STRNE(fresh, temporary) << "the target starts afresh";
  EXPECT_STREQ(kept, other) << "other entries stay";
  TmpMgrForget("/elsewhere/unknown.tmp");  // no entry: nothing happens
  TmpMgrForget(nullptr);
  for (char *path : {temporary, other, fresh, kept}) std::free(path);
}

}  // namespace
