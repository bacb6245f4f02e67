// Locked files on Linux: flock on an open descriptor. The lock belongs to the
// open file, not to the process's other descriptors of the same file, so
// opening and closing the work file by name elsewhere never drops it.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_api.h"
#include "platform/locked_file.h"

namespace {

uint32_t CodeOf(int error) {
  switch (error) {
    case EEXIST:
      return kErrorAlreadyExists;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EWOULDBLOCK:
      return kErrorLockHeld;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
      return kErrorAccessDenied;
    default:
      return kErrorInvalidParameter;
  }
}

// The descriptor still names the file at path: a run that took the file
// over and deleted it between our open and our lock leaves us a file that
// no longer has this name.
bool StillNamed(int fd, const NarrowString& path) {
  struct stat open, named;
  return ::fstat(fd, &open) == 0 && open.st_nlink > 0 && ::lstat(path.Data(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

uint32_t LockedFile::Create(const U16String& path, Use use) {
  Close();
  NarrowString name = ToNarrow(path);
  int fd = ::open(name.Data(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return CodeOf(errno);
  // Another run may have opened the new file and locked it before us (it
  // found an unlocked file with a run's name); it then deletes the file, and
  // this name counts as taken.
  if (::flock(fd, LOCK_EX) != 0 || !StillNamed(fd, name)) {
    ::close(fd);
    return kErrorAlreadyExists;
  }
  handle_ = fd;
  use_ = use;
  path_ = path;
  return 0;
}

uint32_t LockedFile::TakeOver(const U16String& path) {
  Close();
  NarrowString name = ToNarrow(path);
  int fd = ::open(name.Data(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return CodeOf(errno);
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return kErrorInvalidParameter;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    uint32_t code = CodeOf(errno);
    ::close(fd);
    return code;
  }
  if (!StillNamed(fd, name)) {
    ::close(fd);
    return kErrorFileNotFound;
  }
  handle_ = fd;
  use_ = Use::kRecords;
  path_ = path;
  return 0;
}

uint32_t LockedFile::Append(const void* data, size_t size) {
  if (handle_ == -1) return kErrorInvalidHandle;
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = ::write(static_cast<int>(handle_), next, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return CodeOf(errno);
    }
    next += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

uint32_t LockedFile::ReadAll(std::string* bytes) {
  bytes->clear();
  if (handle_ == -1) return kErrorInvalidHandle;
  char block[8192];
  for (off_t offset = 0;;) {
    ssize_t got = ::pread(static_cast<int>(handle_), block, sizeof block, offset);
    if (got < 0) {
      if (errno == EINTR) continue;
      return CodeOf(errno);
    }
    if (got == 0) return 0;
    bytes->append(block, static_cast<size_t>(got));
    offset += got;
  }
}

uint32_t LockedFile::Delete() {
  if (handle_ == -1) return kErrorInvalidHandle;
  // Unlinked while still locked: a run that opened the file meanwhile finds
  // it no longer named and leaves it.
  uint32_t result = ::unlink(ToNarrow(path_).Data()) == 0 ? 0 : CodeOf(errno);
  Close();
  return result;
}

void LockedFile::Close() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
  handle_ = -1;
  path_.Clear();
}
