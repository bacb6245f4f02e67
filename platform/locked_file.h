// A file in the temporary directory that says "a live run owns this": the
// run holds a lock on it that the system drops when the process ends, however
// it ends (Linux: flock on an open descriptor; Windows: an open handle that
// denies the sharing another run would need). A later run takes over the
// files whose lock is free: their owner died.
#pragma once

#include <cstdint>
#include <string>

#include "platform/result_codes.h"
#include "platform/strings.h"

class LockedFile {
 public:
  // How the owner uses the file besides holding the lock.
  enum class Use {
    // Written through this object (a journal).
    kRecords,
    // Opened and written by name elsewhere in the same process (the work
    // file); on Windows the lock then denies only deletion to others.
    kOpenedByName,
  };

  LockedFile() = default;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  // Releases the lock; the file stays.
  ~LockedFile() { Close(); }

  // Creates path, which must not exist, and holds its lock from the first
  // moment: no other run can take it for a dead run's file. 0, 183 when the
  // name is taken, or another code.
  uint32_t Create(const U16String& path, Use use);
  // Creates directory + prefix + six letters or digits + suffix, a name no
  // file has yet, as Create does. name receives the full path.
  uint32_t CreateUnique(const U16String& directory, const U16String& prefix,
                        const U16String& suffix, Use use, U16String* name);
  // Opens an existing file and takes its lock: 0, kErrorLockHeld when a live
  // process holds it, or another code (gone, not a regular file, ...).
  uint32_t TakeOver(const U16String& path);

  // Appends the bytes (all of them or a code). They are in the system's
  // hands when the call returns, so they outlive the process; they reach the
  // disk with the system's own writing back (no flush per call).
  uint32_t Append(const void* data, size_t size);
  // The whole file from its start.
  uint32_t ReadAll(std::string* bytes);

  // Deletes the file and releases the lock; no other run sees the file
  // unlocked in between (Linux) or can open it meanwhile (Windows).
  uint32_t Delete();
  // Releases the lock and closes the file.
  void Close();

  bool IsOpen() const { return handle_ != -1; }
  const U16String& path() const { return path_; }

 private:
  int64_t handle_ = -1;
  Use use_ = Use::kRecords;
  U16String path_;
};
