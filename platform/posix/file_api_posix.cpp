// The handle-based file interface over POSIX descriptors.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_api.h"

namespace {

thread_local uint32_t lastError = 0;

uint32_t MapErrno(int error) {
  return error == ENOENT ? kErrorFileNotFound : kErrorInvalidParameter;
}

uint32_t Fail(uint32_t code) {
  lastError = code;
  return code;
}

uint32_t FailWithErrno() {
  return Fail(MapErrno(errno));
}

constexpr int64_t kFileTimeTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

FileTime FileTimeFromSeconds(time_t seconds) {
  return static_cast<FileTime>(static_cast<int64_t>(seconds) * kFileTimeTicksPerSecond) +
         kUnixEpochAsFileTime;
}

}  // namespace

namespace FileApi {

uint32_t Open(const U16String& path, uint32_t access, uint32_t disposition, FileHandle* handle,
              uint32_t /*share*/) {
  lastError = 0;
  int flags = O_RDONLY;
  if ((access & kAccessWrite) && (access & kAccessRead)) {
    flags = O_RDWR;
  } else if (access & kAccessWrite) {
    flags = O_WRONLY;
  }
  if (disposition == kCreateAlways) flags |= O_CREAT;
  if (disposition == kTruncateExisting) flags |= O_TRUNC;
  // A link planted under the name of a file the program writes (its work
  // file, a template file) is not followed; and no open waits for a writer.
  if (access & kAccessWrite) flags |= O_NOFOLLOW;
  flags |= O_CLOEXEC | O_NONBLOCK;
  int fd = ::open(ToNarrow(path).Data(), flags, 0660);
  if (fd < 0) return FailWithErrno();
  *handle = fd;
  return 0;
}

uint32_t Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* bytesRead,
              void* overlapped) {
  lastError = 0;
  if (bytesRead == nullptr) return overlapped ? 0 : Fail(kErrorInvalidParameter);
  *bytesRead = 0;
  char* out = static_cast<char*>(buffer);
  while (*bytesRead < count) {
    ssize_t n = ::read(static_cast<int>(handle), out + *bytesRead, count - *bytesRead);
    if (n < 0) return FailWithErrno();
    if (n == 0) break;
    *bytesRead += static_cast<uint32_t>(n);
  }
  return 0;
}

uint32_t Write(FileHandle handle, const void* data, uint32_t count, uint32_t* bytesWritten,
               void* overlapped) {
  lastError = 0;
  if (bytesWritten == nullptr && overlapped == nullptr) return Fail(kErrorInvalidParameter);
  if (handle == kInvalidFileHandle) return Fail(kErrorInvalidHandle);
  if (bytesWritten == nullptr) return 0;
  errno = 0;
  ssize_t n = ::write(static_cast<int>(handle), data, count);
  *bytesWritten = n < 0 ? 0 : static_cast<uint32_t>(n);
  if (n < 0 || static_cast<uint32_t>(n) != count) return FailWithErrno();
  return 0;
}

uint32_t Seek(FileHandle handle, uint32_t distanceLow, int32_t* distanceHigh, uint32_t origin) {
  lastError = 0;
  if (handle == kInvalidFileHandle) {
    Fail(kErrorInvalidHandle);
    return 0xFFFFFFFFu;
  }
  int whence = origin == kSeekCurrent ? SEEK_CUR : origin == kSeekEnd ? SEEK_END : SEEK_SET;
  off_t distance = distanceLow;
  if (distanceHigh) {
    distance = static_cast<off_t>(
        (static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) | distanceLow);
  }
  off_t position = ::lseek(static_cast<int>(handle), distance, whence);
  if (position < 0) return 0xFFFFFFFFu;
  if (distanceHigh) *distanceHigh = static_cast<int32_t>(static_cast<uint64_t>(position) >> 32);
  return static_cast<uint32_t>(position);
}

uint32_t Close(FileHandle handle) {
  if (::close(static_cast<int>(handle)) != 0) return FailWithErrno();
  return 0;
}

uint32_t GetTimes(FileHandle handle, FileTime* creation, FileTime* lastAccess,
                  FileTime* lastWrite) {
  lastError = 0;
  struct stat status;
  if (handle == kInvalidFileHandle || ::fstat(static_cast<int>(handle), &status) != 0) {
    return Fail(kErrorInvalidHandle);
  }
  if (creation) *creation = FileTimeFromSeconds(status.st_ctime);
  if (lastAccess) *lastAccess = FileTimeFromSeconds(status.st_atime);
  if (lastWrite) *lastWrite = FileTimeFromSeconds(status.st_mtime);
  return 0;
}

uint32_t SetWriteTime(FileHandle handle, FileTime lastWrite) {
  lastError = 0;
  if (handle == kInvalidFileHandle) return Fail(kErrorInvalidHandle);
  int64_t seconds =
      static_cast<int64_t>(lastWrite / kFileTimeTicksPerSecond) - kSecondsFrom1601To1970;
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
  times[0].tv_nsec = times[1].tv_nsec = 0;
  ::futimens(static_cast<int>(handle), times);
  return 0;
}

uint32_t Truncate(FileHandle handle) {
  lastError = 0;
  if (handle == kInvalidFileHandle) return Fail(kErrorInvalidHandle);
  off_t position = ::lseek(static_cast<int>(handle), 0, SEEK_CUR);
  if (position < 0 || ::ftruncate(static_cast<int>(handle), position) != 0) return FailWithErrno();
  return 0;
}

uint32_t LastError() {
  return lastError;
}

uint32_t FileSize(const U16String& path, uint32_t* size) {
  if (size == nullptr) return 1;
  struct stat status;
  if (::stat(ToNarrow(path).Data(), &status) != 0) return 1;
  uint64_t bytes = static_cast<uint64_t>(status.st_size);
  *size = bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
  return 0;
}

}  // namespace FileApi
