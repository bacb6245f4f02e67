// Paths as text: either separator is read, the build's own is written.
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

namespace {

// "|" stands for the build's separator in the expectations.
std::string Native(std::string text) {
  for (char& c : text) {
    if (c == '|') c = static_cast<char>(kSeparator);
  }
  return text;
}

TEST(PathsTest, ParentJoinAndTrailingSeparator) {
  struct Case {
    const char* path;
    const char* parent;
    const char* withSeparator;  // "|" is the build's separator
    const char* joined;         // path joined with "x"
  };
  const Case cases[] = {
      {"", "", "", "x"},
      {"name", "", "name|", "name|x"},
      {"/", "", "/", "/x"},
      {"a/b", "a", "a/b|", "a/b|x"},
      {"a\\b", "a", "a\\b|", "a\\b|x"},
      {"a\\b/c", "a\\b", "a\\b/c|", "a\\b/c|x"},
      {"a/b\\", "a/b", "a/b\\", "a/b\\x"},
      {"C:\\dir\\", "C:\\dir", "C:\\dir\\", "C:\\dir\\x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    U16String path = U16(c.path);
    EXPECT_EQ(Utf8(ParentDirectory(path)), c.parent);
    U16String withSeparator = path;
    EnsureTrailingSeparator(withSeparator);
    EXPECT_EQ(Utf8(withSeparator), Native(c.withSeparator));
    EXPECT_EQ(EndsWithAnySeparator(withSeparator), !path.IsEmpty());
    EXPECT_EQ(Utf8(JoinPath(path, U16("x"))), Native(c.joined));
  }
  EXPECT_EQ(FindLastSeparator(U16("a/b\\c")), 3u);
  EXPECT_EQ(FindLastSeparator(U16("abc")), U16String::npos);
}

}  // namespace
