#include "cursor.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Cursor, PutsLittleEndianUnalignedAndAdvances) {
  char buffer[32] = {};
  char *cur = buffer + 1;  // deliberately unaligned
  _XPutInt(&cur, 0x12345678);
  XPutShort(&cur, 0xABCD);
  _XPutChr(&cur, 0x1FF);  // only the low byte
  _XPutStr(&cur, "hi");
  _XPutBuf(&cur, "\x01\x02", 2);
  EXPECT_EQ(cur - buffer, 1 + 4 + 2 + 1 + 3 + 2);
  const unsigned char expected[] = {0x78, 0x56, 0x34, 0x12, 0xCD, 0xAB, 0xFF, 'h', 'i', 0, 1, 2};
  EXPECT_EQ(std::memcmp(buffer + 1, expected, sizeof expected), 0);
}

TEST(Cursor, GetsWhatWasPut) {
  char buffer[32];
  char *put = buffer + 3;
  _XPutInt(&put, -2);
  XPutShort(&put, 65535);
  _XPutChr(&put, 0xFF);
  _XPutStr(&put, "text");
  _XPutStr(&put, nullptr);
  _XPutBuf(&put, "abc", 3);

  char *get = buffer + 3;
  EXPECT_EQ(_XGetInt(&get), -2);
  EXPECT_EQ(XGetShort(&get), 65535);
  EXPECT_EQ(_XGetChr(&get), -1);  // sign-extended
  char *text = _XGetStr(&get);
  EXPECT_STREQ(text, "text");
  EXPECT_EQ(text, buffer + 3 + 4 + 2 + 1);  // points into the buffer
  EXPECT_STREQ(_XGetStr(&get), "");
  char out[3];
  EXPECT_EQ(_XGetBuf(&get, out, 3), out);
  EXPECT_EQ(std::memcmp(out, "abc", 3), 0);
  EXPECT_EQ(get, put);
}

TEST(Cursor, NullStringIsOneNul) {
  char buffer[4] = {'x', 'x', 'x', 'x'};
  char *cur = buffer;
  EXPECT_EQ(_XPutStr(&cur, nullptr), nullptr);
  EXPECT_EQ(cur, buffer + 1);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], 'x');
}

}  // namespace
