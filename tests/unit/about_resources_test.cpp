// The About window's committed picture and pointer files, read back field by
// field: what the resource compiler and LoadImage will take them for.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace np {
namespace {

std::vector<std::uint8_t> ReadResource(const std::string& name) {
  std::ifstream in(std::string(NP_SOURCE_DIR) + "/resources/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Little-endian field of 1, 2 or 4 bytes.
std::uint32_t Field(const std::vector<std::uint8_t>& file, std::size_t offset, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | file.at(offset + static_cast<std::size_t>(i));
  return value;
}

struct Expected {
  const char* what;
  std::size_t offset;
  int size;
  std::uint32_t value;
};

void ExpectFields(const std::vector<std::uint8_t>& file, std::initializer_list<Expected> fields) {
  for (const Expected& f : fields) EXPECT_EQ(Field(file, f.offset, f.size), f.value) << f.what;
}

TEST(AboutResources, BannerIsAnUncompressedBottomUp24BitBitmapOf466By118) {
  const std::vector<std::uint8_t> bmp = ReadResource("banner.bmp");
  ASSERT_EQ(bmp.size(), 165254u);
  ExpectFields(bmp, {{"signature", 0, 2, 0x4D42},
                     {"file size", 2, 4, 165254},
                     {"pixel offset", 10, 4, 54},
                     {"header size", 14, 4, 40},
                     {"width", 18, 4, 466},
                     {"height, bottom-up", 22, 4, 118},
                     {"planes", 26, 2, 1},
                     {"bits per pixel", 28, 2, 24},
                     {"compression", 30, 4, 0},
                     {"pixel bytes", 34, 4, 165200},
                     {"palette", 46, 4, 0}});
  // Each row of 1398 bytes is padded to 1400 with zeros.
  for (std::size_t row = 0; row < 118; ++row) {
    EXPECT_EQ(Field(bmp, 54 + row * 1400 + 1398, 2), 0u) << "row " << row;
  }
}

TEST(AboutResources, HandPointerIsATwoColour32By32CursorWithItsHotSpotOnTheFingertip) {
  const std::vector<std::uint8_t> cur = ReadResource("hand.cur");
  constexpr std::uint32_t kImageBytes = 40 + 8 + 128 + 128;  // header, palette, colour bits, mask
  ASSERT_EQ(cur.size(), 22u + kImageBytes);
  ExpectFields(cur, {{"reserved", 0, 2, 0},
                     {"type: cursor", 2, 2, 2},
                     {"images", 4, 2, 1},
                     {"width", 6, 1, 32},
                     {"height", 7, 1, 32},
                     {"colours", 8, 1, 2},
                     {"hot spot x", 10, 2, 13},
                     {"hot spot y", 12, 2, 9},
                     {"image bytes", 14, 4, kImageBytes},
                     {"image offset", 18, 4, 22},
                     {"header size", 22, 4, 40},
                     {"dib width", 26, 4, 32},
                     {"dib height, with mask", 30, 4, 64},
                     {"planes", 34, 2, 1},
                     {"bits per pixel", 36, 2, 1},
                     {"compression", 38, 4, 0},
                     {"colour 0 black", 62, 4, 0},
                     {"colour 1 white", 66, 4, 0xFFFFFF}});
  // The mask's bit is 0 where the hand is: the hot spot must be on it, with
  // nothing above it, or the pointer would click beside the fingertip.
  const auto opaque = [&](int x, int y) {
    const std::size_t mask = 22 + 40 + 8 + 128, row = static_cast<std::size_t>(31 - y) * 4;
    return (cur.at(mask + row + static_cast<std::size_t>(x / 8)) & (0x80 >> (x % 8))) == 0;
  };
  EXPECT_TRUE(opaque(13, 9));
  for (int y = 0; y < 9; ++y) EXPECT_FALSE(opaque(13, y)) << "row " << y;
}

}  // namespace
}  // namespace np
