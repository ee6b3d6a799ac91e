#include "bitmaps.h"

#include <cstring>

namespace forms_test {

void Put32(std::string& bytes, size_t at, uint32_t value) { std::memcpy(&bytes[at], &value, 4); }
void Put16(std::string& bytes, size_t at, uint16_t value) { std::memcpy(&bytes[at], &value, 2); }

std::string Bmp(const BmpShape& shape) {
  const uint32_t table = (shape.colours ? shape.colours : (shape.bits <= 8 ? 1u << shape.bits : 0)) * 4;
  const uint32_t stride = (static_cast<uint32_t>(shape.width) * shape.bits + 31) / 32 * 4;
  const uint32_t rows = stride * static_cast<uint32_t>(shape.height < 0 ? -shape.height : shape.height);
  std::string file(54 + table + rows, '\0');
  file[0] = 'B';
  file[1] = 'M';
  Put32(file, 2, static_cast<uint32_t>(file.size()));
  Put32(file, 10, 54 + table);
  Put32(file, 14, 40);
  Put32(file, 18, static_cast<uint32_t>(shape.width));
  Put32(file, 22, static_cast<uint32_t>(shape.height));
  Put16(file, 26, 1);
  Put16(file, 28, shape.bits);
  Put32(file, 46, shape.colours);
  for (uint32_t i = 0; i < rows; ++i) file[54 + table + i] = static_cast<char>(i);
  return file;
}

std::string Bmp24(int32_t width, int32_t height, const std::function<uint32_t(int32_t, int32_t)>& colour) {
  std::string file = Bmp({width, height, 24, 0});
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t rgb = colour(x, y);
      char* pixel = &file[54 + static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 3];
      pixel[0] = static_cast<char>(rgb & 0xFF);
      pixel[1] = static_cast<char>((rgb >> 8) & 0xFF);
      pixel[2] = static_cast<char>((rgb >> 16) & 0xFF);
    }
  return file;
}

std::string Ico() {
  std::string file(6 + 16 + 40, '\0');
  Put16(file, 2, 1);
  Put16(file, 4, 1);
  file[6] = 16;
  file[7] = 16;
  Put32(file, 6 + 8, 40);
  Put32(file, 6 + 12, 22);
  return file;
}

}  // namespace forms_test
