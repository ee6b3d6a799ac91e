#include "graphics.h"

#include <cstring>

namespace forms {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr int64_t kMaxSide = 32768;  // no picture of the installer comes near

uint32_t U32(const std::string& bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

uint16_t U16(const std::string& bytes, size_t at) {
  uint16_t value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

[[noreturn]] void Invalid(const std::string& what) { throw EInvalidGraphic("The picture is not a bitmap: " + what); }

[[noreturn]] void InvalidIcon(const std::string& what) {
  throw EInvalidGraphic("The icon is not an icon file: " + what);
}

// The bytes of the colour table that follows a bitmap information header:
// the colours it says it uses, or all that its pixels can name.
uint64_t ColourTableSize(uint16_t bit_count, uint32_t colours_used) {
  if (colours_used == 0 && bit_count <= 8) return uint64_t{4} << bit_count;
  return uint64_t{colours_used} * 4;
}

}  // namespace

TBitmapLayout ReadBitmapLayout(const std::string& file) {
  if (file.size() < kFileHeaderSize + kInfoHeaderSize) Invalid("too short for its headers");
  if (file[0] != 'B' || file[1] != 'M') Invalid("it does not start with \"BM\"");
  const uint32_t header_size = U32(file, 14);
  if (header_size < kInfoHeaderSize || header_size > file.size() - kFileHeaderSize)
    Invalid("an information header of an unknown size");
  const auto width = static_cast<int32_t>(U32(file, 18));
  const auto height = static_cast<int32_t>(U32(file, 22));
  const uint16_t planes = U16(file, 26);
  const uint16_t bit_count = U16(file, 28);
  const uint32_t compression = U32(file, 30);
  const uint32_t colours_used = U32(file, 46);
  if (width <= 0 || height == 0 || width > kMaxSide || height > kMaxSide || height < -kMaxSide)
    Invalid("a size of " + IntToStr(width) + " x " + IntToStr(height));
  if (planes != 1) Invalid("more than one plane");
  if (bit_count != 1 && bit_count != 4 && bit_count != 8 && bit_count != 16 && bit_count != 24 && bit_count != 32)
    Invalid(IntToStr(bit_count) + " bits a pixel");
  if (compression != 0) Invalid("compressed pixels");
  if ((bit_count <= 8 && colours_used > (1u << bit_count)) || colours_used > 256)
    Invalid("more colours than its pixels can name");
  TBitmapLayout layout;
  layout.width = width;
  layout.height = height < 0 ? -height : height;
  layout.top_down = height < 0;
  layout.bit_count = bit_count;
  layout.stride = static_cast<uint32_t>((int64_t{width} * bit_count + 31) / 32 * 4);
  layout.bits_offset = U32(file, 10);
  const uint64_t table_end = uint64_t{kFileHeaderSize} + header_size + ColourTableSize(bit_count, colours_used);
  if (layout.bits_offset < table_end || layout.bits_offset > file.size()) Invalid("its pixels overlap its headers");
  if (uint64_t{layout.stride} * static_cast<uint64_t>(layout.height) > file.size() - layout.bits_offset)
    Invalid("fewer pixel bytes than its size needs");
  return layout;
}

std::string BitmapFileFromDib(const std::string& dib) {
  if (dib.size() < kInfoHeaderSize) Invalid("too short for its headers");
  const uint32_t header_size = U32(dib, 0);
  const uint16_t bit_count = U16(dib, 14);
  const uint32_t colours_used = U32(dib, 32);
  if (header_size < kInfoHeaderSize || header_size > dib.size()) Invalid("an information header of an unknown size");
  const uint64_t bits_offset = uint64_t{kFileHeaderSize} + header_size + ColourTableSize(bit_count, colours_used);
  const uint64_t size = uint64_t{kFileHeaderSize} + dib.size();
  if (size > UINT32_MAX || bits_offset > size) Invalid("too short for its colours");
  std::string file(kFileHeaderSize, '\0');
  file[0] = 'B';
  file[1] = 'M';
  const auto size32 = static_cast<uint32_t>(size), offset32 = static_cast<uint32_t>(bits_offset);
  std::memcpy(&file[2], &size32, sizeof size32);
  std::memcpy(&file[10], &offset32, sizeof offset32);
  file += dib;
  ReadBitmapLayout(file);
  return file;
}

#ifndef _WIN32
// Only Windows programs carry resources.
bool FindBitmapResource(const std::string&, std::string&) { return false; }
#endif

const ClassInfo& TPicture::StaticClass() {
  using C = TPicture;
  static const ClassInfo info{[] {
    ClassInfo made{"TPicture", &TPersistent::StaticClass(), nullptr,
                   {BinaryProp<C>("Data", &C::Data, &C::SetData),
                    StringProp<C>("ResourceName", &C::ResourceNameValue, &C::SetResourceName)}};
    // A picture from a resource is stored by its name alone.
    made.properties[0].stored = [](const TPersistent& o) { return static_cast<const C&>(o).resource_name_.empty(); };
    return made;
  }()};
  return info;
}

void TPicture::Take(std::string data, const TBitmapLayout& layout, const std::string& resource_name) {
  data_ = std::move(data);
  layout_ = layout;
  resource_name_ = resource_name;
  if (on_change_) on_change_();
}

void TPicture::SetData(const std::string& data) {
  if (data.empty()) return Clear();
  TBitmapLayout layout = ReadBitmapLayout(data);
  Take(data, layout, "");
}

void TPicture::SetResourceName(const std::string& name) {
  if (name.empty()) return Clear();
  if (!LoadFromResourceName(name)) throw EInvalidGraphic("There is no bitmap resource " + name);
}

bool TPicture::LoadFromResourceName(const std::string& name) {
  std::string dib;
  if (!FindBitmapResource(name, dib)) return false;
  std::string file = BitmapFileFromDib(dib);
  TBitmapLayout layout = ReadBitmapLayout(file);
  Take(std::move(file), layout, name);
  return true;
}

void TPicture::Assign(const TPicture& source) {
  if (&source != this) Take(source.data_, source.layout_, source.resource_name_);
}

void TPicture::Clear() { Take("", TBitmapLayout{}, ""); }

const ClassInfo& TIcon::StaticClass() {
  static const ClassInfo info{"TIcon", &TPersistent::StaticClass(), nullptr,
                              {BinaryProp<TIcon>("Data", &TIcon::Data, &TIcon::SetData)}};
  return info;
}

void TIcon::SetData(const std::string& data) {
  if (data.empty()) {
    data_.clear();
    width_ = height_ = 0;
    return;
  }
  // An ICO file: a directory of its images (reserved 0, type 1, count),
  // 16 bytes an entry (width, height, ..., size and offset of the image).
  if (data.size() < 6) InvalidIcon("too short for its directory");
  const uint16_t count = U16(data, 4);
  if (U16(data, 0) != 0 || U16(data, 2) != 1) InvalidIcon("it does not start as one");
  if (count == 0) InvalidIcon("it holds no image");
  if (data.size() < 6 + size_t{count} * 16) InvalidIcon("too short for its directory");
  for (size_t entry = 6; entry < 6 + size_t{count} * 16; entry += 16) {
    const uint64_t size = U32(data, entry + 8), offset = U32(data, entry + 12);
    if (size == 0 || offset < 6 + uint64_t{count} * 16 || offset + size > data.size())
      InvalidIcon("an image outside the file");
  }
  // A stored 0 stands for 256 pixels.
  width_ = static_cast<unsigned char>(data[6]) ? static_cast<unsigned char>(data[6]) : 256;
  height_ = static_cast<unsigned char>(data[7]) ? static_cast<unsigned char>(data[7]) : 256;
  data_ = data;
}

}  // namespace forms
