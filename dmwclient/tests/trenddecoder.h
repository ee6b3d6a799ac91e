// Trend day files as the tests read and make them, with code of their own:
// the header fields by offset, the entries inflated through zlib's stream
// interface (the library uses the one-call functions).
#ifndef DMWCLIENT_TESTS_TRENDDECODER_H
#define DMWCLIENT_TESTS_TRENDDECODER_H

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kEmpty = 0xFFFFFFFF;
constexpr uint32_t kMagic = 0x41441213;

inline uint32_t LittleU32(const std::string &bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; i--) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

inline void AppendU32(std::string &out, uint32_t v) {
  for (int i = 0; i < 4; i++) out += static_cast<char>(v >> (8 * i));
}

// A day file as read by a program of its own: the header fields by offset,
// and the 1440 entries, inflated with zlib's stream interface when the
// compressed flag is set.
struct Day {
  uint32_t magic = 0;
  int version = 0;
  int interval = 0;
  int compressed = -1;
  std::vector<uint32_t> entries;
};

inline Day Decode(const std::string &bytes) {
  Day day;
  if (bytes.size() < 24) return day;
  day.magic = LittleU32(bytes, 0);
  day.version = static_cast<unsigned char>(bytes[4]);
  day.interval = static_cast<unsigned char>(bytes[6]) | static_cast<unsigned char>(bytes[7]) << 8;
  day.compressed = bytes[8];
  std::string data(1440 * 4, '\0');
  if (day.compressed == 1) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return day;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data() + 24));
    stream.avail_in = static_cast<uInt>(bytes.size() - 24);
    stream.next_out = reinterpret_cast<Bytef *>(data.data());
    stream.avail_out = static_cast<uInt>(data.size());
    int status = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    if (status != Z_STREAM_END || stream.avail_out != 0) return day;
  } else {
    if (bytes.size() < 24 + data.size()) return day;
    data = bytes.substr(24, data.size());
  }
  for (size_t i = 0; i < 1440; i++) day.entries.push_back(LittleU32(data, 4 * i));
  return day;
}

// A stored day made by the test itself: header fields as given, the
// entries raw or compressed with zlib's one-call compress.
inline std::string Encode(uint32_t magic, int interval, bool compressed,
                   const std::vector<uint32_t> &entries) {
  std::string header;
  AppendU32(header, magic);
  header += '\x02';
  header += '\0';
  header += static_cast<char>(interval);
  header += static_cast<char>(interval >> 8);
  header += static_cast<char>(compressed ? 1 : 0);
  header += std::string(15, '\0');
  std::string raw;
  for (uint32_t v : entries) AppendU32(raw, v);
  if (!compressed) return header + raw;
  uLongf length = compressBound(raw.size());
  std::string packed(length, '\0');
  compress(reinterpret_cast<Bytef *>(packed.data()), &length,
           reinterpret_cast<const Bytef *>(raw.data()), raw.size());
  packed.resize(length);
  return header + packed;
}

#endif
