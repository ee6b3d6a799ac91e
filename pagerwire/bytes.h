// Bounded byte writer and reader for the OSCAR packets. FLAP, SNAC and TLV
// fields are big-endian; the fields of the ICQ meta requests inside them are
// little-endian. A writer that runs out of room, or a reader that runs out
// of data, fails and stays failed, so a run of calls needs one check.
#ifndef PAGERWIRE_BYTES_H
#define PAGERWIRE_BYTES_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace icq {

// Every FLAP frame starts with this byte and a 6-byte header (start,
// channel, BE16 sequence, BE16 data length); a SNAC header is 10 bytes
// (family, subtype, flags, BE32 request id).
constexpr uint8_t kFlapStart = 0x2A;
constexpr size_t kFlapHeaderSize = 6;
constexpr size_t kSnacHeaderSize = 10;

class Writer {
 public:
  Writer(uint8_t *data, size_t capacity) : data_(data), capacity_(capacity) {}

  void Byte(uint8_t value) { Bytes(&value, 1); }
  void Be16(uint16_t value) {
    const uint8_t bytes[2] = {uint8_t(value >> 8), uint8_t(value)};
    Bytes(bytes, 2);
  }
  void Be32(uint32_t value) {
    Be16(uint16_t(value >> 16));
    Be16(uint16_t(value));
  }
  void Le16(uint16_t value) {
    const uint8_t bytes[2] = {uint8_t(value), uint8_t(value >> 8)};
    Bytes(bytes, 2);
  }
  void Le32(uint32_t value) {
    Le16(uint16_t(value));
    Le16(uint16_t(value >> 16));
  }
  void Bytes(const void *bytes, size_t count) {
    if (!Room(count)) return;
    if (count) std::memcpy(data_ + size_, bytes, count);
    size_ += count;
  }
  // Hands out the next `count` bytes for the caller to fill; null when
  // they don't fit.
  uint8_t *Claim(size_t count) {
    if (!Room(count)) return nullptr;
    size_ += count;
    return data_ + size_ - count;
  }
  void Zeros(size_t count) {
    if (!Room(count)) return;
    std::memset(data_ + size_, 0, count);
    size_ += count;
  }

  bool ok() const { return ok_; }
  size_t size() const { return size_; }

 private:
  bool Room(size_t count) {
    if (!ok_ || count > capacity_ - size_) ok_ = false;
    return ok_;
  }

  uint8_t *data_;
  size_t capacity_;
  size_t size_ = 0;
  bool ok_ = true;
};

class Reader {
 public:
  Reader(const uint8_t *data, size_t length) : data_(data), remaining_(length) {}

  bool Byte(uint8_t &value) {
    if (!Take(1)) return false;
    value = data_[-1];
    return true;
  }
  bool Be16(uint16_t &value) {
    if (!Take(2)) return false;
    value = uint16_t(data_[-2] << 8 | data_[-1]);
    return true;
  }
  bool Be32(uint32_t &value) {
    uint16_t high, low;
    if (!Be16(high) || !Be16(low)) return false;
    value = uint32_t(high) << 16 | low;
    return true;
  }
  bool Le16(uint16_t &value) {
    if (!Take(2)) return false;
    value = uint16_t(data_[-1] << 8 | data_[-2]);
    return true;
  }
  bool Le32(uint32_t &value) {
    uint16_t low, high;
    if (!Le16(low) || !Le16(high)) return false;
    value = uint32_t(high) << 16 | low;
    return true;
  }
  // Points `bytes` at the next `count` bytes and steps over them.
  bool Bytes(size_t count, const uint8_t *&bytes) {
    if (!Take(count)) return false;
    bytes = data_ - count;
    return true;
  }
  bool Skip(size_t count) { return Take(count); }
  bool PeekBe16(uint16_t &value) const {
    Reader copy = *this;
    return copy.Be16(value);
  }

  const uint8_t *position() const { return data_; }
  size_t remaining() const { return remaining_; }

 private:
  bool Take(size_t count) {
    if (count > remaining_) return false;
    data_ += count;
    remaining_ -= count;
    return true;
  }

  const uint8_t *data_;
  size_t remaining_;
};

}  // namespace icq

#endif
