#include "tests/support/tree_snapshot.h"

#include <dirent.h>

#include <cstring>

#include "tests/support/test_support.h"

TreeSnapshot TakeSnapshot(const std::string& dir) {
  TreeSnapshot snapshot;
  for (const std::string& name : ListTree(dir)) {
    SnapshotEntry entry;
    if (name.back() != '/') {
      entry.bytes = ReadFileBytes(dir + "/" + name);
      entry.mtime = GetMTime(dir + "/" + name);
    }
    snapshot[name] = entry;
  }
  return snapshot;
}

int CountEntriesStartingWith(const std::string& dir, const std::string& prefix) {
  int count = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d)) {
      if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0) ++count;
    }
    closedir(d);
  }
  return count;
}

std::ostream& operator<<(std::ostream& out, const SnapshotEntry& entry) {
  return out << "{" << entry.bytes.size() << " bytes, mtime " << entry.mtime << "}";
}
