// BMP and ICO files for the tests, written byte by byte here rather than by
// the layer whose reading they test.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace forms_test {

void Put32(std::string& bytes, size_t at, uint32_t value);
void Put16(std::string& bytes, size_t at, uint16_t value);

struct BmpShape {
  int32_t width = 3;
  int32_t height = 2;  // negative: top-down
  uint16_t bits = 24;
  uint32_t colours = 0;  // entries of the colour table named in the header
};

// A BMP file of that shape: headers, the colour table its pixels need and
// rows padded to four bytes, the bytes of the rows counting up.
std::string Bmp(const BmpShape& shape);

// A 24-bit bottom-up BMP file whose pixel (x, y), top row 0, has the colour
// colour(x, y) (0x00RRGGBB).
std::string Bmp24(int32_t width, int32_t height, const std::function<uint32_t(int32_t, int32_t)>& colour);

// An ICO file with one 16 x 16 image of 40 bytes.
std::string Ico();

}  // namespace forms_test
