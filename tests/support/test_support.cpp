// Test helpers that are the same on both systems.
#include "tests/support/test_support.h"

U16String U16(const std::string& utf8) {
  return FromUtf8(utf8.data(), utf8.size());
}

std::string Utf8(const U16String& text) {
  NarrowString bytes = ToUtf8(text);
  return std::string(bytes.Data(), bytes.Length());
}

std::string Utf16le(const std::string& utf8) {
  U16String units = U16(utf8);
  std::string bytes;
  for (size_t i = 0; i < units.Length(); ++i) {
    bytes += static_cast<char>(units[i] & 0xFF);
    bytes += static_cast<char>(units[i] >> 8);
  }
  return bytes;
}
