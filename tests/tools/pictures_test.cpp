// Checks the pictures that scripts/make-pictures draws, in the forms the two
// front ends compile in: the XPM data of the GTK wizard and the Windows
// bitmap and icon resources.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ui/gtk/side_picture.xpm"
#include "ui/gtk/window_icon.xpm"

namespace {

struct XpmCase {
  const char* name;
  const char* const* data;
  size_t lineCount;
  const char* header;
  int width;
  int height;
  int colours;
  int transparentColours;
};

// Parses the colour lines of an XPM image with two characters per pixel:
// code -> colour value ("#RRGGBB" or "None").
std::map<std::string, std::string> XpmColours(const XpmCase& c) {
  std::map<std::string, std::string> colours;
  for (int i = 1; i <= c.colours; ++i) {
    std::string line = c.data[i];
    EXPECT_GT(line.size(), 5u) << c.name << " colour line " << i;
    if (line.size() <= 5) continue;
    EXPECT_EQ(line.substr(2, 3), " c ") << c.name << " colour line " << i;
    colours[line.substr(0, 2)] = line.substr(5);
  }
  return colours;
}

// Decodes an XPM's pixels into 0xRRGGBB values, -1 for transparent.
std::vector<int32_t> XpmPixels(const XpmCase& c) {
  std::map<std::string, int32_t> value;
  for (const auto& [code, colour] : XpmColours(c)) {
    value[code] =
        colour == "None" ? -1 : static_cast<int32_t>(std::stoul(colour.substr(1), nullptr, 16));
  }
  std::vector<int32_t> pixels;
  for (int y = 0; y < c.height; ++y) {
    std::string row = c.data[1 + c.colours + y];
    for (int x = 0; x + 1 < static_cast<int>(row.size()); x += 2)
      pixels.push_back(value[row.substr(x, 2)]);
  }
  return pixels;
}

const XpmCase kXpmCases[] = {
    {"side picture", side_picture_xpm, std::size(side_picture_xpm), "158 286 302 2", 158, 286, 302,
     0},
    {"window icon", window_icon_xpm, std::size(window_icon_xpm), "256 256 5050 2", 256, 256, 5050,
     1},
};

TEST(Pictures, XpmDataIsCompleteAndConsistent) {
  for (const XpmCase& c : kXpmCases) {
    SCOPED_TRACE(c.name);
    ASSERT_STREQ(c.data[0], c.header);
    ASSERT_EQ(c.lineCount, static_cast<size_t>(1 + c.colours + c.height));

    std::map<std::string, std::string> colours = XpmColours(c);
    EXPECT_EQ(colours.size(), static_cast<size_t>(c.colours)) << "colour codes are not unique";
    std::set<std::string> values;
    int transparent = 0;
    for (const auto& [code, colour] : colours) {
      values.insert(colour);
      if (colour == "None") {
        ++transparent;
      } else {
        EXPECT_EQ(colour.size(), 7u) << code;
        EXPECT_EQ(colour[0], '#') << code;
        EXPECT_EQ(colour.find_first_not_of("#0123456789ABCDEF"), std::string::npos) << code;
      }
    }
    EXPECT_EQ(values.size(), static_cast<size_t>(c.colours)) << "colour values are not distinct";
    EXPECT_EQ(transparent, c.transparentColours);

    std::set<std::string> used;
    int unknown = 0;
    for (int y = 0; y < c.height; ++y) {
      std::string row = c.data[1 + c.colours + y];
      ASSERT_EQ(row.size(), static_cast<size_t>(c.width * 2)) << "row " << y;
      for (int x = 0; x < c.width * 2; x += 2) {
        std::string code = row.substr(x, 2);
        if (colours.count(code) == 0) ++unknown;
        used.insert(code);
      }
    }
    EXPECT_EQ(unknown, 0) << "pixels with codes that name no colour";
    int unused = 0;
    for (const auto& entry : colours) unused += used.count(entry.first) == 0;
    EXPECT_EQ(unused, 0) << "colours that no pixel uses";
  }
}

TEST(Pictures, WindowIconIsTransparentAroundItsPicture) {
  std::vector<int32_t> pixels = XpmPixels(kXpmCases[1]);
  ASSERT_EQ(pixels.size(), 256u * 256u);
  EXPECT_EQ(pixels[0], -1);
  EXPECT_EQ(pixels[255], -1);
  EXPECT_NE(pixels[128 * 256 + 128], -1);
}

std::vector<uint8_t> ReadResource(const std::string& name) {
  std::ifstream in(std::string(SETUP_SOURCE_DIR) + "/ui/win32/res/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8;
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return Le16(b, at) | static_cast<uint32_t>(Le16(b, at + 2)) << 16;
}
uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

TEST(Pictures, SideBitmapIsTheXpmPictureIn24BitsBottomUp) {
  std::vector<uint8_t> bmp = ReadResource("side_picture.bmp");
  const int width = 158, height = 286, stride = (width * 3 + 3) & ~3;
  ASSERT_EQ(bmp.size(), static_cast<size_t>(54 + stride * height));
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(Le32(bmp, 2), bmp.size());
  ASSERT_EQ(Le32(bmp, 10), 54u);
  EXPECT_EQ(Le32(bmp, 14), 40u);
  EXPECT_EQ(static_cast<int32_t>(Le32(bmp, 18)), width);
  EXPECT_EQ(static_cast<int32_t>(Le32(bmp, 22)), height) << "a positive height is bottom-up";
  EXPECT_EQ(Le16(bmp, 26), 1u);
  EXPECT_EQ(Le16(bmp, 28), 24u);
  EXPECT_EQ(Le32(bmp, 30), 0u) << "uncompressed";

  std::vector<int32_t> xpm = XpmPixels(kXpmCases[0]);
  ASSERT_EQ(xpm.size(), static_cast<size_t>(width * height));
  int different = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      size_t at = 54 + static_cast<size_t>(height - 1 - y) * stride + x * 3;
      int32_t rgb = bmp[at + 2] << 16 | bmp[at + 1] << 8 | bmp[at];
      if (rgb != xpm[y * width + x]) ++different;
    }
  }
  EXPECT_EQ(different, 0) << "pixels that differ from the GTK side picture";
}

TEST(Pictures, IconHoldsEverySizeAndDepth) {
  std::vector<uint8_t> ico = ReadResource("setup.ico");
  ASSERT_GE(ico.size(), 6u);
  EXPECT_EQ(Le16(ico, 0), 0u);
  EXPECT_EQ(Le16(ico, 2), 1u) << "type icon";
  const size_t count = Le16(ico, 4);
  ASSERT_GE(ico.size(), 6 + 16 * count);

  std::set<std::pair<int, int>> expected = {{256, 32}};
  for (int size : {48, 40, 32, 16})
    for (int depth : {4, 8, 24, 32}) expected.insert({size, depth});
  std::set<std::pair<int, int>> found;
  size_t end = 6 + 16 * count;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * i;
    const int size = ico[entry] == 0 ? 256 : ico[entry];
    const int depth = static_cast<int>(Le16(ico, entry + 6));
    const uint32_t bytes = Le32(ico, entry + 8), offset = Le32(ico, entry + 12);
    SCOPED_TRACE(std::to_string(size) + " pixels, " + std::to_string(depth) + " bits");
    found.insert({size, depth});
    EXPECT_EQ(ico[entry + 1], ico[entry]);
    EXPECT_EQ(ico[entry + 2], depth == 4 ? 16 : 0) << "colour count";
    EXPECT_EQ(Le16(ico, entry + 4), 1u) << "planes";
    ASSERT_EQ(offset, end) << "images follow each other without gaps or overlaps";
    ASSERT_LE(static_cast<size_t>(offset) + bytes, ico.size());
    end = offset + bytes;

    if (size == 256) {
      // PNG signature, then IHDR: 256 x 256, 8 bits per sample, RGBA.
      ASSERT_GE(bytes, 33u);
      EXPECT_EQ(Be32(ico, offset), 0x89504E47u);
      EXPECT_EQ(Be32(ico, offset + 12), 0x49484452u);
      EXPECT_EQ(Be32(ico, offset + 16), 256u);
      EXPECT_EQ(Be32(ico, offset + 20), 256u);
      EXPECT_EQ(ico[offset + 24], 8);
      EXPECT_EQ(ico[offset + 25], 6);
      continue;
    }
    ASSERT_GE(bytes, 40u);
    EXPECT_EQ(Le32(ico, offset), 40u);
    EXPECT_EQ(static_cast<int>(Le32(ico, offset + 4)), size);
    EXPECT_EQ(static_cast<int>(Le32(ico, offset + 8)), 2 * size) << "colour bits and mask";
    EXPECT_EQ(static_cast<int>(Le16(ico, offset + 14)), depth);
    const size_t palette = depth <= 8 ? 4u << depth : 0;
    const size_t colourStride = (size * depth + 31) / 32 * 4, maskStride = (size + 31) / 32 * 4;
    ASSERT_EQ(bytes, 40 + palette + (colourStride + maskStride) * size);

    // The corner is see-through and the middle is drawn, in the mask and in
    // the alpha channel of the 32-bit images. Rows are stored bottom-up.
    const size_t mask = offset + 40 + palette + colourStride * size;
    const size_t topRowMask = mask + (size - 1) * maskStride;
    const size_t middleRowMask = mask + (size / 2) * maskStride;
    EXPECT_TRUE(ico[topRowMask] & 0x80) << "top-left corner is masked";
    EXPECT_FALSE(ico[middleRowMask + size / 2 / 8] & (0x80 >> (size / 2 % 8))) << "middle is drawn";
    if (depth == 32) {
      const size_t bits = offset + 40;
      EXPECT_EQ(ico[bits + (size - 1) * colourStride + 3], 0) << "corner alpha";
      EXPECT_EQ(ico[bits + (size / 2) * colourStride + (size / 2) * 4 + 3], 255) << "middle alpha";
    }
  }
  EXPECT_EQ(found, expected);
  EXPECT_EQ(count, expected.size());
  EXPECT_EQ(end, ico.size()) << "nothing after the last image";
}

}  // namespace
