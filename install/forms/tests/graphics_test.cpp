// Pictures and icons: what a BMP or ICO file must be to be taken, how the
// stored stream carries them (as binary data, or a picture by the name of
// its resource) and what a script with a picture that is none says. The
// files are written here, byte by byte, not by the form layer.
#include "graphics.h"

#include <gtest/gtest.h>

#include "bitmaps.h"
#include "stream.h"
#include "widgets.h"

namespace forms_test {
namespace {

using namespace forms;

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

TEST(BitmapLayout, EveryUncompressedDepthInEitherRowOrder) {
  struct Case {
    BmpShape shape;
    uint32_t stride, bits_offset;
  };
  for (const Case& c : {Case{{3, 2, 1, 0}, 4, 62}, Case{{9, 2, 4, 0}, 8, 118}, Case{{5, 3, 8, 2}, 8, 62},
                        Case{{3, 2, 16, 0}, 8, 54}, Case{{3, 2, 24, 0}, 12, 54}, Case{{3, -2, 32, 0}, 12, 54}}) {
    SCOPED_TRACE(c.shape.bits);
    TBitmapLayout layout = ReadBitmapLayout(Bmp(c.shape));
    EXPECT_EQ(layout.width, c.shape.width);
    EXPECT_EQ(layout.height, c.shape.height < 0 ? -c.shape.height : c.shape.height);
    EXPECT_EQ(layout.top_down, c.shape.height < 0);
    EXPECT_EQ(layout.bit_count, c.shape.bits);
    EXPECT_EQ(layout.stride, c.stride);
    EXPECT_EQ(layout.bits_offset, c.bits_offset);
  }
}

struct BadBitmap {
  const char* name;
  std::string file;
  const char* reason;
};

void PrintTo(const BadBitmap& bad, std::ostream* os) { *os << bad.name; }

std::string With32(std::string file, size_t at, uint32_t value) {
  Put32(file, at, value);
  return file;
}

std::string With16(std::string file, size_t at, uint16_t value) {
  Put16(file, at, value);
  return file;
}

class BadBitmapTest : public ::testing::TestWithParam<BadBitmap> {};

TEST_P(BadBitmapTest, IsRefusedSayingWhy) {
  try {
    ReadBitmapLayout(GetParam().file);
    FAIL() << "taken";
  } catch (const EInvalidGraphic& error) {
    EXPECT_EQ(error.Message(), std::string("The picture is not a bitmap: ") + GetParam().reason);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, BadBitmapTest,
    ::testing::Values(
        BadBitmap{"empty", "", "too short for its headers"},
        BadBitmap{"no_signature", "XY" + Bmp({}).substr(2), "it does not start with \"BM\""},
        BadBitmap{"header_beyond_the_file", With32(Bmp({}), 14, 4000), "an information header of an unknown size"},
        BadBitmap{"core_header", With32(Bmp({}), 14, 12), "an information header of an unknown size"},
        BadBitmap{"no_width", Bmp({0, 2, 24, 0}), "a size of 0 x 2"},
        BadBitmap{"huge", With32(Bmp({}), 18, 100000), "a size of 100000 x 2"},
        BadBitmap{"most_negative_height", With32(Bmp({}), 22, 0x80000000u), "a size of 3 x -2147483648"},
        BadBitmap{"two_planes", With16(Bmp({}), 26, 2), "more than one plane"},
        BadBitmap{"three_bits", With16(Bmp({}), 28, 3), "3 bits a pixel"},
        BadBitmap{"compressed", With32(Bmp({}), 30, 1), "compressed pixels"},
        BadBitmap{"too_many_colours", With32(Bmp({3, 2, 1, 0}), 46, 3), "more colours than its pixels can name"},
        BadBitmap{"pixels_in_the_headers", With32(Bmp({3, 2, 8, 0}), 10, 60), "its pixels overlap its headers"},
        BadBitmap{"rows_cut_short", Bmp({}).substr(0, 60), "fewer pixel bytes than its size needs"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BitmapLayout, AResourcesBitmapBecomesAFile) {
  const std::string file = Bmp({5, 3, 8, 2});
  const std::string dib = file.substr(14);
  EXPECT_EQ(BitmapFileFromDib(dib), file);
  EXPECT_THROW(BitmapFileFromDib(dib.substr(0, 30)), EInvalidGraphic);
  EXPECT_THROW(BitmapFileFromDib(dib.substr(0, 50)), EInvalidGraphic);
}

TEST(Picture, TakesABitmapCopiesItAndTellsOfEachChange) {
  TPicture picture;
  int changes = 0;
  picture.SetOnChange([&] { ++changes; });
  EXPECT_TRUE(picture.Empty());
  picture.SetData(Bmp({4, -6, 24, 0}));
  EXPECT_EQ(picture.Width(), 4);
  EXPECT_EQ(picture.Height(), 6);
  EXPECT_THROW(picture.SetData("BM"), EInvalidGraphic);
  EXPECT_EQ(picture.Width(), 4) << "a refused picture changes nothing";
  TPicture copy;
  copy.Assign(picture);
  EXPECT_EQ(copy.Data(), picture.Data());
  picture.Clear();
  EXPECT_TRUE(picture.Empty());
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(changes, 2);
  EXPECT_FALSE(copy.Empty()) << "the copy is its own";
}

TEST(Picture, AMissingResourceLeavesThePictureOrFails) {
  TPicture picture;
  picture.SetData(Bmp({}));
  EXPECT_FALSE(picture.LoadFromResourceName("NO_SUCH_PICTURE"));
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_THROW(picture.SetResourceName("NO_SUCH_PICTURE"), EInvalidGraphic);
}

TEST(Icon, TakesAnIconFileAndRefusesOthers) {
  TIcon icon;
  icon.SetData(Ico());
  EXPECT_EQ(icon.Width(), 16);
  EXPECT_EQ(icon.Height(), 16);
  std::string large = Ico();
  large[6] = 0;  // 256 pixels
  icon.SetData(large);
  EXPECT_EQ(icon.Width(), 256);
  for (const std::string& bad : {std::string("\0\0\1\0", 4), With16(Ico(), 2, 2), With16(Ico(), 4, 0),
                                 With16(Ico(), 4, 3), With32(Ico(), 6 + 12, 30), With32(Ico(), 6 + 8, 0)})
    EXPECT_THROW(icon.SetData(bad), EInvalidGraphic) << Hex(bad);
  EXPECT_EQ(icon.Width(), 256) << "a refused icon changes nothing";
  TIcon copy;
  copy.Assign(icon);
  EXPECT_EQ(copy.Data(), large);
  icon.SetData("");
  EXPECT_TRUE(icon.Empty());
}

class PictureStream : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterTestClasses();
    form_ = New<TTestForm>(nullptr);
  }
  void TearDown() override {
    Free(form_);
    UnregisterClasses();
  }
  TTestWidget* Widget() { return dynamic_cast<TTestWidget*>(form_->FindComponent("W")); }
  TTestForm* form_ = nullptr;
};

TEST_F(PictureStream, BinaryDataReadsAcrossLinesAndWritesBackTheSame) {
  const std::string bitmap = Bmp({}), icon = Ico();
  std::string hex = Hex(bitmap);
  ReadComponent(*form_, "TTestForm F {\n  TTestWidget W {\n    Picture.Data = {\n      " + hex.substr(0, 17) +
                            "\n   " + hex.substr(17) + "  }\n    Icon.Data = {" + Hex(icon) + "}\n  }\n}\n");
  ASSERT_TRUE(Widget());
  EXPECT_EQ(Widget()->Picture().Data(), bitmap);
  EXPECT_EQ(Widget()->Icon().Data(), icon);
  const std::string written = WriteComponent(*form_);
  EXPECT_NE(written.find("    Picture.Data = {\n      424D"), std::string::npos) << written;
  auto* copy = New<TTestForm>(nullptr);
  ReadComponent(*copy, written);
  EXPECT_EQ(WriteComponent(*copy), written);
  EXPECT_EQ(dynamic_cast<TTestWidget*>(copy->FindComponent("W"))->Picture().Data(), bitmap);
  Free(copy);
}

TEST_F(PictureStream, BinaryDataWithoutItsEndFailsTheLoad) {
  try {
    ReadComponent(*form_, "TTestForm F { TTestWidget W {\n Picture.Data = { 42");
    FAIL() << "loaded";
  } catch (const EReadError& error) {
    EXPECT_EQ(error.Message(), "Line 2: unterminated binary data");
  }
}

TEST_F(PictureStream, AnEmptyPictureIsNotWritten) {
  ReadComponent(*form_, "TTestForm F { TTestWidget W { Picture.Data = { } } }");
  EXPECT_TRUE(Widget()->Picture().Empty());
  EXPECT_EQ(WriteComponent(*form_).find("Picture"), std::string::npos);
}

struct BadPictureScript {
  const char* name;
  std::string text;
  std::string message;
};

void PrintTo(const BadPictureScript& bad, std::ostream* os) { *os << bad.name; }

class BadPictureScriptTest : public PictureStream, public ::testing::WithParamInterface<BadPictureScript> {};

TEST_P(BadPictureScriptTest, FailsTheLoadNamingTheLine) {
  try {
    ReadComponent(*form_, "TTestForm F {\n TTestWidget W {\n" + GetParam().text + "\n }\n}\n");
    FAIL() << "loaded";
  } catch (const EReadError& error) {
    EXPECT_EQ(error.Message(), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, BadPictureScriptTest,
    ::testing::Values(
        BadPictureScript{"not_a_bitmap", "  Picture.Data = { 0102 }",
                         "Line 3: Invalid value for property Picture.Data: The picture is not a bitmap: too short for "
                         "its headers"},
        BadPictureScript{"rows_missing", "  Caption = \"x\"\n  Picture.Data = {\n" + Hex(Bmp({}).substr(0, 60)) + "\n }",
                         "Line 4: Invalid value for property Picture.Data: The picture is not a bitmap: fewer pixel "
                         "bytes than its size needs"},
        BadPictureScript{"not_an_icon", "  Icon.Data = { 0000 0200 0100 }",
                         "Line 3: Invalid value for property Icon.Data: The icon is not an icon file: it does not "
                         "start as one"},
        BadPictureScript{"no_such_resource", "  Picture.ResourceName = \"NO_SUCH_PICTURE\"",
                         "Line 3: Invalid value for property Picture.ResourceName: There is no bitmap resource "
                         "NO_SUCH_PICTURE"},
        BadPictureScript{"odd_digits", "  Picture.Data = {\n 424 }", "Line 3: an odd number of hexadecimal digits"},
        BadPictureScript{"not_a_digit", "  Picture.Data = {\n 42 4G }", "Line 4: 'G' is not a hexadecimal digit"},
        BadPictureScript{"text_for_data", "  Picture.Data = \"BM\"", "Line 3: Invalid value 'BM' for property Data"},
        BadPictureScript{"picture_without_property", "  Picture = { }",
                         "Line 3: Property Picture is an object: set its properties instead"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace forms_test
