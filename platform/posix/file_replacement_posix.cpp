// Replacing a file whole on Linux: a new file in the same folder, fsync,
// the old mode and owner, rename over the old file.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/file_api.h"
#include "platform/file_replacement.h"
#include "platform/result_codes.h"

namespace {

// Links followed before giving up, as the kernel does for a path.
constexpr int kMaxLinkDepth = 40;

uint32_t CodeOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return kErrorAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    default:
      return kErrorInvalidParameter;
  }
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file that path leads to through any symbolic links at its end. A
// link whose target does not exist yields that target: the new file is made
// there and the link keeps pointing at it.
bool ResolveLinks(std::string path, std::string* resolved) {
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
      *resolved = path;
      return true;
    }
    std::string link(static_cast<size_t>(status.st_size > 0 ? status.st_size : 255) + 1, '\0');
    ssize_t length;
    while ((length = ::readlink(path.c_str(), link.data(), link.size())) ==
           static_cast<ssize_t>(link.size())) {
      link.resize(link.size() * 2);
    }
    if (length < 0) return false;
    link.resize(static_cast<size_t>(length));
    path = link[0] == '/' ? link : FolderOf(path) + "/" + link;
  }
  return false;
}

}  // namespace

uint32_t FileReplacement::Begin(const U16String& path) {
  Abandon();
  std::string target;
  if (path.IsEmpty() || !ResolveLinks(ToNarrow(path).Data(), &target)) {
    return kErrorInvalidParameter;
  }
  struct stat status;
  existed_ = ::stat(target.c_str(), &status) == 0;
  if (existed_) {
    // Only a regular file is replaced: a device or a pipe under the name is
    // not the settings file, and renaming over it would take it away.
    if (!S_ISREG(status.st_mode)) return kErrorAccessDenied;
    // A file that may not be written keeps its contents, as it did when it
    // was rewritten in place (root may write any file, as before).
    int probe = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0) return CodeOf(errno);
    ::close(probe);
    mode_ = status.st_mode & 07777;
    owner_ = status.st_uid;
    group_ = status.st_gid;
  } else if (errno != ENOENT) {
    return CodeOf(errno);
  }

  // A new file gets the mode the user's umask gives any new file; a
  // replacement gets the old mode at Commit, and is private until then.
  const mode_t createMode = existed_ ? 0600 : 0666;
  size_t slash = target.rfind('/');
  std::string stem = slash == std::string::npos
                         ? "./." + target
                         : target.substr(0, slash + 1) + "." + target.substr(slash + 1);
  stem += ".new-" + std::to_string(::getpid()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = stem + std::to_string(attempt);
    int fd =
        ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, createMode);
    if (fd >= 0) {
      ::close(fd);
      target_ = FromNarrow(target.c_str());
      newPath_ = FromNarrow(candidate.c_str());
      return 0;
    }
    if (errno != EEXIST) return CodeOf(errno);
  }
  return kErrorCannotMakeScratchFile;
}

uint32_t FileReplacement::Commit() {
  if (newPath_.IsEmpty()) return kErrorInvalidParameter;
  NarrowString from = ToNarrow(newPath_);
  int fd = ::open(from.Data(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  uint32_t result = fd < 0 ? CodeOf(errno) : 0;
  // The contents reach the disk before the name does: after a power cut the
  // name leads to the old contents or the whole new ones.
  if (result == 0 && ::fsync(fd) != 0) result = CodeOf(errno);
  if (result == 0 && existed_) {
    // Only root may give a file to another owner; a user's own file keeps
    // its owner anyway.
    if (::fchown(fd, static_cast<uid_t>(owner_), static_cast<gid_t>(group_)) != 0) {
      (void)::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(group_));
    }
    if (::fchmod(fd, static_cast<mode_t>(mode_)) != 0) result = CodeOf(errno);
  }
  if (fd >= 0) ::close(fd);
  if (result == 0 && ::rename(from.Data(), ToNarrow(target_).Data()) != 0) result = CodeOf(errno);
  if (result != 0) {
    Abandon();
    return result;
  }
  newPath_.Clear();
  // The rename itself reaches the disk with the folder.
  std::string folder = FolderOf(ToNarrow(target_).Data());
  int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    ::fsync(directory);
    ::close(directory);
  }
  return 0;
}

void FileReplacement::Abandon() {
  if (newPath_.IsEmpty()) return;
  ::unlink(ToNarrow(newPath_).Data());
  newPath_.Clear();
}
