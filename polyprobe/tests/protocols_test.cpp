#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "log_capture.h"
#include "protocols.h"

namespace {

std::string TempPath(const std::string &name) { return testing::TempDir() + "polyprobe-" + name; }

void WriteFile(const std::string &path, const std::string &bytes) {
  FILE *file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// The description key, written out here apart from the library's copy.
std::string Scrambled(std::string bytes) {
  static const unsigned char key[8] = {0x5c, 0xa3, 0x07, 0xe9, 0x41, 0xb8, 0x2d, 0x76};
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(bytes[i] ^ key[(bytes.size() - 1 - i) % 8]);
  return bytes;
}

const char kDescriptions[] =
    "<?xml version=\"1.0\"?>\n"
    "<pmonitor>\n"
    " <service name=\"Echo\" port=\"7\" protocol=\"udp\">\n"
    "  <info>Echo service</info>\n"
    "  <send><text>ABC<br/></text></send>\n"
    "  <receive><text start=\"0\">ABC</text></receive>\n"
    " </service>\n"
    " <service name=\"Hex\" port=\"9\" protocol=\"carrier-pigeon\">\n"
    "  <send><hexadecimal>0d0A1</hexadecimal></send>\n"
    "  <receive><hexadecimal start=\"0\" end=\"0\">01020304</hexadecimal>"
    "<hexadecimal start=\"2\" end=\"10\">AABBCC</hexadecimal></receive>\n"
    " </service>\n"
    " <service name=\"NoPort\"><info>skipped</info></service>\n"
    "</pmonitor>\n";

struct LoadedList {
  explicit LoadedList(const std::string &path) : list(ProtocolListCreate(nullptr)) {
    count = ProtocolListLoad(list, path.c_str());
  }
  ~LoadedList() { ProtocolListFree(list); }
  ProtocolDesc *Find(const char *name) { return ProtocolFind(list, name); }
  LockedList *list;
  int count;
};

std::string Bytes(const ProtocolDesc *desc) {
  return std::string(reinterpret_cast<const char *>(desc->sendBytes), static_cast<size_t>(desc->sendLength));
}

TEST(Descriptions, LoadServicesWithTheirSendBytesAndTransports) {
  std::string path = TempPath("plain.dat");
  WriteFile(path, kDescriptions);
  LoadedList loaded(path);
  ASSERT_EQ(loaded.count, 2);  // the service without a port is skipped
  ProtocolDesc *echo = loaded.Find("ECHO");
  ASSERT_NE(echo, nullptr);
  EXPECT_STREQ(echo->info, "Echo service");
  EXPECT_EQ(echo->transport, kUdp);
  EXPECT_EQ(echo->port, 7);
  EXPECT_EQ(Bytes(echo), "ABC\r\n");
  EXPECT_EQ(echo->textFlag, 1);
  ProtocolDesc *hex = loaded.Find("hex");
  ASSERT_NE(hex, nullptr);
  EXPECT_EQ(hex->transport, kTcp);
  EXPECT_EQ(Bytes(hex), std::string("\x0d\x0a\x10", 3));
  EXPECT_EQ(hex->textFlag, 0);
  int sendLength, minimumReply, bufferSize;
  ProtocolDescRequest(hex, &sendLength, &minimumReply, &bufferSize);
  EXPECT_EQ(sendLength, 3);
  EXPECT_EQ(minimumReply, 4);
  EXPECT_EQ(bufferSize, 13);
}

TEST(Descriptions, AScrambledFileLoadsToTheSameList) {
  std::string plainPath = TempPath("plain2.dat"), scrambledPath = TempPath("scrambled.dat");
  WriteFile(plainPath, kDescriptions);
  WriteFile(scrambledPath, Scrambled(kDescriptions));
  LoadedList plain(plainPath), scrambled(scrambledPath);
  ASSERT_EQ(scrambled.count, plain.count);
  for (const char *name : {"Echo", "Hex"}) {
    ProtocolDesc *a = plain.Find(name), *b = scrambled.Find(name);
    ASSERT_NE(b, nullptr) << name;
    EXPECT_EQ(Bytes(a), Bytes(b));
    EXPECT_EQ(a->port, b->port);
    EXPECT_EQ(a->patterns->Count, b->patterns->Count);
  }
}

TEST(Descriptions, TheTransformUsesTheKeyFromTheEnd) {
  char three[3] = {0, 0, 0};
  ScrambleData(three, 3);
  EXPECT_EQ(static_cast<unsigned char>(three[0]), 0x07);
  EXPECT_EQ(static_cast<unsigned char>(three[1]), 0xa3);
  EXPECT_EQ(static_cast<unsigned char>(three[2]), 0x5c);
  ScrambleData(three, 3);
  EXPECT_EQ(std::string(three, 3), std::string(3, '\0'));
}

TEST(Descriptions, AFileThatCantBeReadIsReportedAndEmptiesTheList) {
  LogCapture log;
  std::string path = TempPath("plain3.dat");
  WriteFile(path, kDescriptions);
  LoadedList loaded(path);
  ASSERT_EQ(loaded.count, 2);
  EXPECT_EQ(ProtocolListLoad(loaded.list, TempPath("missing.dat").c_str()), -1);
  EXPECT_EQ(loaded.Find("Echo"), nullptr);
  EXPECT_TRUE(log.Contains("can't read the description file", -1));
  std::string bad = TempPath("bad.dat");
  WriteFile(bad, "<other/>");
  EXPECT_EQ(ProtocolListLoad(loaded.list, bad.c_str()), -1);
  EXPECT_TRUE(log.Contains("no description list", -1));
}

// Loads on two threads (two handles) at the same time both succeed.
TEST(Descriptions, TwoListsLoadAtTheSameTime) {
  std::string path = TempPath("shared.dat");
  WriteFile(path, kDescriptions);
  std::atomic<int> failures{0};
  auto loadMany = [&] {
    LockedList *list = ProtocolListCreate(nullptr);
    for (int i = 0; i < 100; ++i)
      if (ProtocolListLoad(list, path.c_str()) != 2) ++failures;
    ProtocolListFree(list);
  };
  std::thread first(loadMany), second(loadMany);
  first.join();
  second.join();
  EXPECT_EQ(failures.load(), 0);
}

struct PatternCase {
  int start, end, compare;
  std::string pattern, reply;
  int expected;
};

class Matching : public testing::TestWithParam<PatternCase> {};

TEST_P(Matching, ComparesOnlyWithinTheReceivedBytes) {
  const PatternCase &c = GetParam();
  ProtocolDesc *desc = ProtocolDescNew("case");
  desc->patterns = _Co_Create(1, 1, nullptr);
  ReceivePattern pattern{c.start, c.end,
                         reinterpret_cast<unsigned char *>(const_cast<char *>(c.pattern.data())),
                         c.compare, static_cast<int32_t>(c.pattern.size())};
  _Co_Add(desc->patterns, &pattern);
  // The reply sits in a block of exactly its size, so a read beyond it is caught.
  std::vector<unsigned char> reply(c.reply.begin(), c.reply.end());
  EXPECT_EQ(ProtocolDescMatch(desc, reply.data(), static_cast<int>(reply.size())), c.expected);
  _Co_RemoveItem(desc->patterns, 0);
  ProtocolDescFree(desc);
}

void PrintTo(const PatternCase &c, std::ostream *out) { *out << c.pattern << "@" << c.start << "-" << c.end << " in " << c.reply; }

INSTANTIATE_TEST_SUITE_P(
    Descriptions, Matching,
    testing::Values(PatternCase{0, 0, 0, "+OK", "+OK ready", 1},
                    PatternCase{0, 0, 0, "+OK", "-ERR", 0},
                    PatternCase{0, 0, 1, "A", "B", 1},     // reply byte greater
                    PatternCase{0, 0, -1, "B", "A", 1},    // reply byte smaller
                    PatternCase{2, 10, 0, "CD", "ABCD", 1},
                    PatternCase{2, 10, 0, "DE", "ABCD", 0},  // offsets past the end not read
                    PatternCase{-1, 0, 0, "ok", "all ok", 1},
                    PatternCase{0, 0, 0, "longer", "short", 0}));

}  // namespace
