// What a directory holds: every name (directories end in "/"), and for each
// file its bytes and modification time. Two snapshots compare equal exactly
// when nothing was added, removed or changed.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>

struct SnapshotEntry {
  std::string bytes;
  int64_t mtime = 0;
  bool operator==(const SnapshotEntry&) const = default;
};

using TreeSnapshot = std::map<std::string, SnapshotEntry>;

TreeSnapshot TakeSnapshot(const std::string& dir);
// Names found under dir that start with prefix (not recursive).
int CountEntriesStartingWith(const std::string& dir, const std::string& prefix);

std::ostream& operator<<(std::ostream& out, const SnapshotEntry& entry);
