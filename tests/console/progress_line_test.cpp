// The terminal's progress line: what one redraw shows at a given width.
#include "ui/console/progress_line.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "ui/console/console_text.h"

namespace {

std::string Utf8(const U16String& text) {
  std::string out;
  for (size_t i = 0; i < text.Length(); ++i) {
    char32_t c = text[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Wide characters are measured in the character set of a UTF-8 locale.
class ProgressLineFormat : public testing::Test {
 protected:
  void SetUp() override {
    const char* previous = std::setlocale(LC_CTYPE, nullptr);
    previous_ = previous ? previous : "C";
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  }
  void TearDown() override { std::setlocale(LC_CTYPE, previous_.c_str()); }

 private:
  std::string previous_;
};

}  // namespace

TEST_F(ProgressLineFormat, BarPercentageAndFileWithinTheWidth) {
  const U16String longPath(
      u"/home/admin/.Tarn/tarn8/tmplts/Accounting/Quarterly/Reports/Balance sheet.tmpl");
  struct Case {
    int percentage;
    U16String file;
    size_t columns;
    const char* expected;
  } cases[] = {
      {0, u"", 80, "[--------------------]   0%"},
      {40, u"Trade/Order.tmpl", 80, "[########------------]  40%  Trade/Order.tmpl"},
      {100, u"Copying complete...", 80, "[####################] 100%  Copying complete..."},
      {-3, u"a", 80, "[--------------------]   0%  a"},
      {250, u"a", 80, "[####################] 100%  a"},
      // The path's end stays; exactly one column is left free.
      {99, longPath, 60, "[###################-]  99%  .../Reports/Balance sheet.tmpl"},
      // Too narrow for any of the file: the bar alone.
      {50, longPath, 32, "[##########----------]  50%"},
      {50, longPath, 36, "[##########----------]  50%  ...mpl"},
      // Wide characters take two columns each, and never half of it.
      {10, u"模板/订单.tmpl", 44, "[##------------------]  10%  模板/订单.tmpl"},
      {10, u"模板/订单.tmpl", 40, "[##------------------]  10%  ...单.tmpl"},
      {10, u"模板/订单.tmpl", 39, "[##------------------]  10%  ....tmpl"},
  };
  for (const Case& c : cases) {
    U16String line = FormatProgressLine(c.percentage, c.file, c.columns);
    EXPECT_EQ(Utf8(line), c.expected) << c.percentage << " " << c.columns;
    EXPECT_LT(DisplayWidth(line), c.columns) << c.expected;
  }
}
