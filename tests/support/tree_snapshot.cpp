#include "tests/support/tree_snapshot.h"

#include <dirent.h>

#include <cstring>

#include "tests/support/test_support.h"

TreeSnapshot TakeSnapshot(const std::string& dir) {
  TreeSnapshot snapshot;
  for (const std::string& name : ListTree(dir)) {
    SnapshotEntry entry;
    if (name.back() != '/') {
      std::string path = dir + kPathSeparator + NativePath(name);
      entry.bytes = ReadFileBytes(path);
      entry.mtime = GetMTime(path);
    }
    snapshot[name] = entry;
  }
  return snapshot;
}

int CountEntriesStartingWith(const std::string& dir, const std::string& prefix) {
  int count = 0;
#ifdef _WIN32
  // The wide calls: a narrow path would go through the ANSI code page.
  U16String path = U16(dir);
  if (_WDIR* d = _wopendir(reinterpret_cast<const wchar_t*>(path.Data()))) {
    while (_wdirent* entry = _wreaddir(d)) {
      std::string name = Utf8(U16String(reinterpret_cast<const char16_t*>(entry->d_name)));
      if (name.compare(0, prefix.size(), prefix) == 0) ++count;
    }
    _wclosedir(d);
  }
#else
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d)) {
      if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0) ++count;
    }
    closedir(d);
  }
#endif
  return count;
}

std::ostream& operator<<(std::ostream& out, const SnapshotEntry& entry) {
  return out << "{" << entry.bytes.size() << " bytes, mtime " << entry.mtime << "}";
}
