#include "ui/console/console_text.h"

#include <wchar.h>

void WriteLine(FILE* stream, const U16String& text) {
  NarrowString narrow = ToNarrow(text);
  std::fwrite(narrow.Data(), 1, narrow.Length(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

size_t DisplayWidth(const U16String& text) {
  size_t width = 0;
  for (size_t i = 0; i < text.Length(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.Length() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    // Unprintable units reach the terminal as a replacement: one column.
    int columns = wcwidth(static_cast<wchar_t>(c));
    width += columns < 0 ? 1 : static_cast<size_t>(columns);
  }
  return width;
}
