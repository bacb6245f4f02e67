// Replacing a file whole: the new contents go to a new file in the same
// folder, which then takes the old file's place in one step, so that a
// reader sees either all of the old contents or all of the new, and a
// failure at any point leaves the old file as it was.
#pragma once

#include <cstdint>

#include "platform/strings.h"

class FileReplacement {
 public:
  FileReplacement() = default;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  // An uncommitted new file is removed.
  ~FileReplacement() { Abandon(); }

  // Makes an empty new file beside the file that path names. A symbolic
  // link is followed: the file it leads to is replaced and the link stays.
  // 0, or a code when an existing file may not be written (read-only, not
  // a regular file, held by another program on Windows) or the new file
  // cannot be made in its folder; nothing is changed then.
  uint32_t Begin(const U16String& path);
  // The new file, to be written by the caller (and closed before Commit).
  const U16String& NewPath() const { return newPath_; }
  // Stores the new file on disk, gives it the old file's permission bits
  // (Linux: mode, and the owner where the process may set it; Windows: the
  // hidden, system and archive attributes) and moves it over the old file.
  // 0, or a code after which the old file is unchanged and the new one gone.
  uint32_t Commit();
  // Removes the new file; the old one is untouched.
  void Abandon();

 private:
  U16String target_;   // the file replaced (links resolved)
  U16String newPath_;  // empty when there is nothing to commit or remove
  bool existed_ = false;
  uint32_t mode_ = 0;  // Linux: permission bits; Windows: attributes
  int64_t owner_ = -1;
  int64_t group_ = -1;
};
