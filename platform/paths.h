// Paths as text: the separators, a directory's trailing separator, the
// parent directory and joining a name. "/" and "\" are both read as
// separators on both systems (the kit's names use "\"); the build's own
// separator is the one written.
#pragma once

#include <cstddef>

#include "platform/strings.h"

#ifdef _WIN32
constexpr char16_t kSeparator = u'\\';
constexpr char16_t kForeignSeparator = u'/';
#else
constexpr char16_t kSeparator = u'/';
constexpr char16_t kForeignSeparator = u'\\';
#endif

inline bool IsSeparator(char16_t unit) {
  return unit == u'/' || unit == u'\\';
}

inline bool EndsWithAnySeparator(const U16String& path) {
  return !path.IsEmpty() && IsSeparator(path.Last());
}

// Appends the build's separator unless the path is empty or ends in one.
inline void EnsureTrailingSeparator(U16String& path) {
  if (!path.IsEmpty() && !EndsWithAnySeparator(path)) path.Append(kSeparator);
}

// The position of the last "/" or "\", U16String::npos when there is none.
size_t FindLastSeparator(const U16String& path);

// The path before its last separator; empty when it has none.
U16String ParentDirectory(const U16String& path);

// The directory, the build's separator unless it is empty or ends in one,
// then the name.
U16String JoinPath(const U16String& directory, const U16String& name);
