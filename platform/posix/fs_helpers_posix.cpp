// Path-level operations on Linux: libc for queries, the shell tools mkdir,
// mv and rm for changes, with Windows result codes.
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/random.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/file_api.h"
#include "platform/fs_helpers.h"
#include "platform/shell_command.h"

namespace {

NarrowString Quoted(const U16String& path) {
  NarrowString out("\"");
  out.Append(EscapeForDoubleQuotes(ToNarrow(path)));
  out.Append('"');
  return out;
}

bool IsDirectory(const char* path) {
  struct stat status;
  return ::stat(path, &status) == 0 && (status.st_mode & 0xF000) == 0x4000;
}

constexpr char kNameAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

NarrowString RandomSuffix() {
  unsigned char bytes[6];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    static thread_local unsigned seed =
        static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr));
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(rand_r(&seed));
  }
  char suffix[7];
  for (int i = 0; i < 6; ++i) suffix[i] = kNameAlphabet[bytes[i] % (sizeof kNameAlphabet - 1)];
  suffix[6] = 0;
  return NarrowString(suffix);
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
    NarrowString candidate = base + RandomSuffix();
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

}  // namespace

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
  NarrowString command("mkdir -p ");
  command.Append(Quoted(path));
  command.Append(" 2>/dev/null");
  int status = RunShellCommand(command);
  if (status == -1) return kErrorInvalidParameter;
  if (((status >> 8) & 0xFF) != 0) return kErrorFileNotFound;
  return 0;
}

uint32_t MovePath(const U16String& from, const U16String& to) {
  NarrowString command("mv ");
  command.Append(Quoted(from));
  command.Append(' ');
  command.Append(Quoted(to));
  command.Append(" 2>/dev/null");
  int status = RunShellCommand(command);
  if (status == -1) return kErrorInvalidParameter;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 1) return kErrorFileNotFound;
  return 0;
}

uint32_t RemoveDirectoryPath(const U16String& path) {
  NarrowString command("rm -rf ");
  command.Append(Quoted(path));
  command.Append(" 2>/dev/null");
  RunShellCommand(command);
  return 0;
}

uint32_t DeleteFilePath(const U16String& path) {
  NarrowString command("rm -f ");
  command.Append(Quoted(path));
  RunShellCommand(command);
  return 0;
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

bool IsDirectoryPath(const U16String& path) { return IsDirectory(ToNarrow(path).Data()); }

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
