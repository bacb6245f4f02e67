// Path-level operations on Linux: direct system calls, with Windows result
// codes. A path reaches the system exactly as given.
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/random.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <vector>

#include "platform/file_api.h"
#include "platform/fs_helpers.h"

namespace {

bool IsDirectory(const char* path) {
  struct stat status;
  return ::stat(path, &status) == 0 && (status.st_mode & 0xF000) == 0x4000;
}

// Creates a new empty file named prefix + six random characters inside
// directory; the file must not exist before and a link is never followed.
bool CreateExclusive(const NarrowString& directory, const NarrowString& prefix,
                     NarrowString* made) {
  if (directory.IsEmpty() || !IsDirectory(directory.Data())) return false;
  NarrowString base = directory;
  if (!base.EndsWith('/')) base.Append('/');
  base.Append(prefix);
  for (int attempt = 0; attempt < 100; ++attempt) {
    NarrowString candidate = base + ToNarrow(RandomNameLetters());
    int fd = ::open(candidate.Data(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      *made = candidate;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

// mkdir of one level; an existing directory counts as made.
bool MakeOneLevel(const char* level) {
  if (::mkdir(level, 0777) == 0) return true;
  if (errno != EEXIST) return false;
  if (IsDirectory(level)) return true;
  errno = EEXIST;
  return false;
}

bool WriteAll(int fd, const char* data, size_t count) {
  while (count > 0) {
    ssize_t n = ::write(fd, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

// The bytes, permission bits and times of the regular file source into the
// new file fd. The source is never opened through a link, and opening it
// cannot block (a FIFO put there meanwhile is refused).
bool CopyRegularFile(const char* source, int fd) {
  int in = ::open(source, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return false;
  struct stat status;
  bool ok = ::fstat(in, &status) == 0 && S_ISREG(status.st_mode);
  static constexpr size_t kBlock = 256 * 1024;
  std::unique_ptr<char[]> block(ok ? new (std::nothrow) char[kBlock] : nullptr);
  ok = ok && block != nullptr;
  while (ok) {
    ssize_t n = ::read(in, block.get(), kBlock);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    ok = WriteAll(fd, block.get(), static_cast<size_t>(n));
  }
  ::close(in);
  if (!ok) return false;
  // The owner as well where the process may set it (root); else its own.
  [[maybe_unused]] bool owned = ::fchown(fd, status.st_uid, status.st_gid) == 0;
  struct timespec times[2] = {status.st_atim, status.st_mtim};
  return ::fchmod(fd, status.st_mode & 07777) == 0 && ::futimens(fd, times) == 0;
}

// A move between file systems: a copy under a fresh name beside the
// destination, renamed over it once complete, then the source removed. A
// failed copy is removed again; the destination is untouched until then.
bool MoveAcrossFileSystems(const NarrowString& source, const NarrowString& destination) {
  struct stat status;
  if (::lstat(source.Data(), &status) != 0) return false;
  if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) return false;
  NarrowString scratch;
  bool made = false;
  for (int attempt = 0; attempt < 100 && !made; ++attempt) {
    scratch = destination + ".mv" + ToNarrow(RandomNameLetters());
    if (S_ISLNK(status.st_mode)) {
      std::vector<char> link(static_cast<size_t>(status.st_size) + 1);
      ssize_t n = ::readlink(source.Data(), link.data(), link.size());
      if (n < 0 || static_cast<size_t>(n) >= link.size()) return false;
      link[static_cast<size_t>(n)] = 0;
      made = ::symlink(link.data(), scratch.Data()) == 0;
    } else {
      int fd = ::open(scratch.Data(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd >= 0) {
        bool copied = CopyRegularFile(source.Data(), fd);
        // close reports a write that failed late (a full volume).
        copied = ::close(fd) == 0 && copied;
        if (!copied) {
          ::unlink(scratch.Data());
          return false;
        }
        made = true;
      }
    }
    if (!made && errno != EEXIST) return false;
  }
  if (!made || ::rename(scratch.Data(), destination.Data()) != 0) {
    if (made) ::unlink(scratch.Data());
    return false;
  }
  // A source that cannot be removed leaves a second copy, never none.
  ::unlink(source.Data());
  return true;
}

// Removes the entry name of the directory dirFd: a file or link at once, a
// directory with everything in it. Links are removed, never followed, so
// nothing outside the tree is touched.
void RemoveEntry(int dirFd, const char* name) {
  if (::unlinkat(dirFd, name, 0) == 0 || errno == ENOENT) return;
  if (errno != EISDIR && errno != EPERM) return;
  int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  DIR* stream = ::fdopendir(fd);
  if (stream == nullptr) {
    ::close(fd);
    return;
  }
  while (struct dirent* entry = ::readdir(stream)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    RemoveEntry(::dirfd(stream), entry->d_name);
  }
  ::closedir(stream);
  ::unlinkat(dirFd, name, AT_REMOVEDIR);
}

}  // namespace

U16String RandomNameLetters() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    static thread_local unsigned seed =
        static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr));
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(rand_r(&seed));
  }
  U16String letters;
  for (unsigned char b : bytes) letters.Append(kAlphabet[b % (sizeof kAlphabet - 1)]);
  return letters;
}

uint32_t GetTempDirectory(U16String* path) {
  const char* tmpdir = std::getenv("TMPDIR");
  const char* chosen = (tmpdir && IsDirectory(tmpdir)) ? tmpdir : "/tmp";
  *path = FromNarrow(chosen);
  EnsureTrailingSeparator(*path);
  return 0;
}

uint32_t GetTempFreeSpace(uint32_t* bytes) {
  if (bytes == nullptr) return kErrorInvalidParameter;
  *bytes = 0;
  U16String directory;
  GetTempDirectory(&directory);
  struct statvfs info;
  if (::statvfs(ToNarrow(directory).Data(), &info) != 0) return kErrorInvalidParameter;
  unsigned __int128 total = static_cast<unsigned __int128>(info.f_bfree) * info.f_frsize;
  *bytes = total > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(total);
  return 0;
}

uint32_t CreateTempFileIn(const U16String& directory, const U16String& prefix, U16String* name) {
  NarrowString made;
  if (!CreateExclusive(ToNarrow(directory), ToNarrow(prefix), &made)) {
    name->Clear();
    return kErrorCannotMakeScratchFile;
  }
  *name = FromNarrow(made);
  return 0;
}

uint32_t CreateTempFile(const U16String& directory, const U16String& prefix, U16String* name) {
  // The given directory first; where it cannot be used, the places the C
  // library's scratch-file naming falls back to.
  NarrowString narrowPrefix = ToNarrow(prefix);
  NarrowString made;
  const char* tmpdir = std::getenv("TMPDIR");
  const NarrowString candidates[] = {ToNarrow(directory), NarrowString(tmpdir ? tmpdir : ""),
                                     NarrowString(P_tmpdir), NarrowString("/tmp")};
  for (const NarrowString& candidate : candidates) {
    if (CreateExclusive(candidate, narrowPrefix, &made)) {
      *name = FromNarrow(made);
      return 0;
    }
  }
  name->Clear();
  return kErrorCannotMakeScratchFile;
}

uint32_t MakeDirectoryPath(const U16String& path) {
  NarrowString narrow = ToNarrow(path);
  if (narrow.IsEmpty()) return kErrorFileNotFound;
  // The parent usually exists: one call then does it.
  if (MakeOneLevel(narrow.Data())) return 0;
  if (errno != ENOENT) return kErrorFileNotFound;
  for (size_t i = 1; i <= narrow.Length(); ++i) {
    if (i < narrow.Length() && narrow[i] != '/') continue;
    if (narrow[i - 1] == '/') continue;
    if (!MakeOneLevel(narrow.Substring(0, i).Data())) return kErrorFileNotFound;
  }
  return 0;
}

uint32_t MovePath(const U16String& from, const U16String& to) {
  NarrowString source = ToNarrow(from);
  NarrowString destination = ToNarrow(to);
  if (::rename(source.Data(), destination.Data()) == 0) return 0;
  if (errno != EXDEV) return kErrorFileNotFound;
  return MoveAcrossFileSystems(source, destination) ? 0 : kErrorFileNotFound;
}

uint32_t RemoveDirectoryPath(const U16String& path) {
  NarrowString narrow = ToNarrow(path);
  while (narrow.Length() > 1 && narrow.EndsWith('/')) narrow.Truncate(narrow.Length() - 1);
  if (narrow.IsEmpty()) return kErrorFileNotFound;
  RemoveEntry(AT_FDCWD, narrow.Data());
  struct stat status;
  if (::lstat(narrow.Data(), &status) != 0 && errno == ENOENT) return 0;
  return kErrorAccessDenied;
}

uint32_t DeleteFilePath(const U16String& path) {
  if (::unlink(ToNarrow(path).Data()) == 0 || errno == ENOENT) return 0;
  return errno == ENOTDIR ? 0 : kErrorAccessDenied;
}

bool IsRootPath(const U16String& path) {
  return path == u"/";
}

bool IsNetworkPath(const U16String&) {
  return false;
}

bool PathExists(const U16String& path) {
  struct stat status;
  return !path.IsEmpty() && ::lstat(ToNarrow(path).Data(), &status) == 0;
}

bool IsDirectoryPath(const U16String& path) {
  return IsDirectory(ToNarrow(path).Data());
}

PathKind GetPathKind(const U16String& path) {
  NarrowString narrow = ToNarrow(path);
  struct stat status;
  if (::stat(narrow.Data(), &status) != 0) {
    return ::lstat(narrow.Data(), &status) == 0 ? PathKind::File : PathKind::Missing;
  }
  if (S_ISDIR(status.st_mode)) return PathKind::Directory;
  return S_ISREG(status.st_mode) ? PathKind::File : PathKind::Special;
}

uint32_t CreatePrivateDirectory(const U16String& path) {
  if (::mkdir(ToNarrow(path).Data(), 0700) == 0) return 0;
  if (errno == EEXIST) return kErrorAlreadyExists;
  return errno == ENOENT ? kErrorPathNotFound : kErrorInvalidParameter;
}

bool DirectorySearch::FindFirst(const U16String& searchPath) {
  EndSearch();
  searchPath_ = ToNarrow(searchPath);
  size_t slash = searchPath_.FindLast('/');
  if (slash == NarrowString::npos) {
    directory_ = searchPath_;
    pattern_ = searchPath_;
  } else {
    directory_ = searchPath_.Substring(0, slash);
    pattern_ = searchPath_.Substring(slash + 1);
  }
  if (directory_.IsEmpty()) return false;
  stream_ = ::opendir(directory_.Data());
  if (stream_ == nullptr) return false;
  return FindNext();
}

bool DirectorySearch::FindNext() {
  if (stream_ == nullptr) return false;
  while (struct dirent* entry = ::readdir(stream_)) {
    int match = ::fnmatch(pattern_.Data(), entry->d_name, FNM_NOESCAPE);
    if (match == FNM_NOMATCH) continue;
    if (match != 0) return false;
    name_ = NarrowString(entry->d_name);
    NarrowString full = directory_ + "/" + name_;
    // A dangling link is still an entry: report it as a file rather than
    // ending the search, so that no entry after it is lost.
    if (::stat(full.Data(), &status_) == 0 || ::lstat(full.Data(), &status_) == 0) return true;
  }
  EndSearch();
  return false;
}

U16String DirectorySearch::CurrentName() const {
  return stream_ ? FromNarrow(name_) : U16String();
}

uint32_t DirectorySearch::CurrentAttributes() const {
  return (stream_ && (status_.st_mode & 0xF000) == 0x4000) ? kAttributeDirectory : 0;
}

void DirectorySearch::EndSearch() {
  if (stream_) ::closedir(stream_);
  stream_ = nullptr;
}
