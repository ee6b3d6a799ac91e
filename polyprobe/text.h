// Small text helpers shared by the library's modules; texts are C strings
// taken from and given back to the C heap.
#ifndef POLYPROBE_TEXT_H
#define POLYPROBE_TEXT_H

#include <cctype>
#include <cstdlib>
#include <cstring>

// A heap copy of `text` (null for null or when out of memory).
inline char *DupText(const char *text) {
  if (!text) return nullptr;
  size_t length = std::strlen(text) + 1;
  auto *copy = static_cast<char *>(std::malloc(length));
  if (copy) std::memcpy(copy, text, length);
  return copy;
}

// Whether two texts are equal apart from letter case; null equals nothing.
inline bool EqualNoCase(const char *a, const char *b) {
  if (!a || !b) return false;
  for (; *a && *b; ++a, ++b)
    if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

#endif
