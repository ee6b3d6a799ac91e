#include "distribution/tests/distribution_fixture.h"

#include <array>
#include <cstring>
#include <stdexcept>

namespace fixture {

namespace {

constexpr size_t kHeader = 56, kTrailer = 40;

uint32_t Rotate(uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

void PutLe(std::string& bytes, size_t at, int32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF);
}

int32_t GetLe(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
  return static_cast<int32_t>(value);
}

std::string Range(const std::string& bytes, int32_t first, int32_t last) {
  if (first < 0 || last < first || static_cast<size_t>(last) >= bytes.size()) return "";
  return bytes.substr(first, last - first + 1);
}

}  // namespace

std::string Sha1Hex(const std::string& bytes) {
  std::array<uint32_t, 5> h = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  std::string message = bytes + '\x80';
  while (message.size() % 64 != 56) message += '\0';
  uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
  for (int i = 7; i >= 0; --i) message += static_cast<char>((bits >> (8 * i)) & 0xFF);
  for (size_t block = 0; block < message.size(); block += 64) {
    std::array<uint32_t, 80> w{};
    for (int t = 0; t < 16; ++t)
      for (int i = 0; i < 4; ++i) w[t] = (w[t] << 8) | static_cast<uint8_t>(message[block + 4 * t + i]);
    for (int t = 16; t < 80; ++t) w[t] = Rotate(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int t = 0; t < 80; ++t) {
      uint32_t f, k;
      if (t < 20) {
        f = (b & c) | (~b & d);
        k = 0x5A827999;
      } else if (t < 40) {
        f = b ^ c ^ d;
        k = 0x6ED9EBA1;
      } else if (t < 60) {
        f = (b & c) | (b & d) | (c & d);
        k = 0x8F1BBCDC;
      } else {
        f = b ^ c ^ d;
        k = 0xCA62C1D6;
      }
      uint32_t next = Rotate(a, 5) + f + e + k + w[t];
      e = d;
      d = c;
      c = Rotate(b, 30);
      b = a;
      a = next;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
  }
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (uint32_t word : h)
    for (int shift = 28; shift >= 0; shift -= 4) text += kHex[(word >> shift) & 0xF];
  return text;
}

std::string SelfExtractHeaderBytes(const std::string& marker, int32_t setup1_first, int32_t setup1_last,
                                   int32_t files1_first, int32_t files1_last) {
  std::string header(kHeader, '\0');
  header[0] = static_cast<char>(marker.size());
  header.replace(1, marker.size(), marker);
  PutLe(header, 16, setup1_first);
  PutLe(header, 20, setup1_last);
  PutLe(header, 24, files1_first);
  PutLe(header, 28, files1_last);
  return header;
}

SetupExe SplitSetupExe(const std::string& bytes, bool with_trailer) {
  size_t behind = with_trailer ? kTrailer : 0;
  if (bytes.size() < kHeader + behind) throw std::runtime_error("too short for a setup.exe");
  SetupExe exe;
  size_t header_at = bytes.size() - behind - kHeader;
  std::string header = bytes.substr(header_at, kHeader);
  exe.covered = bytes.substr(0, bytes.size() - behind);
  exe.trailer = bytes.substr(bytes.size() - behind);
  exe.marker_length = static_cast<uint8_t>(header[0]);
  exe.marker = header.substr(1, 14);
  exe.zeros = header[15] == '\0' && header.substr(32) == std::string(24, '\0');
  exe.setup1_first = GetLe(header, 16);
  exe.setup1_last = GetLe(header, 20);
  exe.files1_first = GetLe(header, 24);
  exe.files1_last = GetLe(header, 28);
  if (exe.setup1_first > 0) {
    exe.loader = bytes.substr(0, exe.setup1_first);
    exe.setup1 = Range(bytes, exe.setup1_first, exe.setup1_last);
    exe.files1 = exe.files1_first ? Range(bytes, exe.files1_first, exe.files1_last) : "";
    int32_t end = exe.files1_first ? exe.files1_last : exe.setup1_last;
    if (end >= 0 && static_cast<size_t>(end) < header_at) exe.between = bytes.substr(end + 1, header_at - (end + 1));
  }
  return exe;
}

std::vector<FileListRecord> ReadFileList(const std::string& bytes) {
  constexpr size_t kRecord = 80;
  if (bytes.size() < 4) throw std::runtime_error("no count");
  int32_t count = GetLe(bytes, 0);
  if (count < 0 || bytes.size() != 4 + kRecord * static_cast<size_t>(count))
    throw std::runtime_error("the list is not count records long");
  std::vector<FileListRecord> records;
  for (int32_t i = 0; i < count; ++i) {
    std::string record = bytes.substr(4 + kRecord * i, kRecord);
    FileListRecord read;
    read.size = GetLe(record, 0);
    read.padding_zero = GetLe(record, 4) == 0;
    std::memcpy(&read.date, record.data() + 8, sizeof read.date);
    std::string name = record.substr(16, 40), version = record.substr(56, 24);
    read.terminated = name.find('\0') != std::string::npos && version.find('\0') != std::string::npos;
    read.name = name.substr(0, name.find('\0'));
    read.version = version.substr(0, version.find('\0'));
    records.push_back(read);
  }
  return records;
}

}  // namespace fixture
