#include "cursor.h"

#include <cstdint>
#include <cstring>

extern "C" {

int _XGetInt(char **cur) {
  auto *p = reinterpret_cast<const unsigned char *>(*cur);
  uint32_t value = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  *cur += 4;
  return static_cast<int>(value);
}

unsigned short XGetShort(char **cur) {
  auto *p = reinterpret_cast<const unsigned char *>(*cur);
  *cur += 2;
  return static_cast<unsigned short>(p[0] | p[1] << 8);
}

int _XGetChr(char **cur) {
  signed char value = static_cast<signed char>(**cur);
  *cur += 1;
  return value;
}

char *_XGetStr(char **cur) {
  char *text = *cur;
  *cur += std::strlen(text) + 1;
  return text;
}

void *_XGetBuf(char **cur, void *dst, int n) {
  if (n > 0) {
    std::memcpy(dst, *cur, static_cast<size_t>(n));
    *cur += n;
  }
  return dst;
}

void _XPutInt(char **cur, int value) {
  auto *p = reinterpret_cast<unsigned char *>(*cur);
  uint32_t v = static_cast<uint32_t>(value);
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
  *cur += 4;
}

void XPutShort(char **cur, unsigned short value) {
  auto *p = reinterpret_cast<unsigned char *>(*cur);
  p[0] = static_cast<unsigned char>(value);
  p[1] = static_cast<unsigned char>(value >> 8);
  *cur += 2;
}

void _XPutChr(char **cur, int value) {
  **cur = static_cast<char>(value);
  *cur += 1;
}

const char *_XPutStr(char **cur, const char *text) {
  size_t length = text ? std::strlen(text) : 0;
  if (length) std::memcpy(*cur, text, length);
  (*cur)[length] = '\0';
  *cur += length + 1;
  return text;
}

void _XPutBuf(char **cur, const void *src, int n) {
  if (n > 0) {
    std::memcpy(*cur, src, static_cast<size_t>(n));
    *cur += n;
  }
}

}  // extern "C"
