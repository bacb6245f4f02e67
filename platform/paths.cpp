#include "platform/paths.h"

size_t FindLastSeparator(const U16String& path) {
  for (size_t i = path.Length(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i - 1;
  }
  return U16String::npos;
}

U16String ParentDirectory(const U16String& path) {
  size_t last = FindLastSeparator(path);
  return last == U16String::npos ? U16String() : path.Substring(0, last);
}

U16String JoinPath(const U16String& directory, const U16String& name) {
  U16String path = directory;
  EnsureTrailingSeparator(path);
  path.Append(name);
  return path;
}
