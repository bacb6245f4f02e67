// Test helpers that are the same on both systems.
#include "tests/support/test_support.h"

U16String U16(const std::string& utf8) {
  return FromUtf8(utf8.data(), utf8.size());
}

std::string Utf8(const U16String& text) {
  NarrowString bytes = ToUtf8(text);
  return std::string(bytes.Data(), bytes.Length());
}
