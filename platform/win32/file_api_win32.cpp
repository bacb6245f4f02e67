// The handle-based file interface: the system's own file calls. A handle is
// the system's HANDLE; -1 is INVALID_HANDLE_VALUE. Results and the last
// error are the system's, besides the argument checks that the interface
// promises on both systems.
#include <windows.h>

#include "platform/file_api.h"
#include "platform/win32/extended_path.h"

static_assert(kAccessRead == GENERIC_READ && kAccessWrite == GENERIC_WRITE);
static_assert(kCreateNew == CREATE_NEW && kCreateAlways == CREATE_ALWAYS &&
              kOpenExisting == OPEN_EXISTING && kOpenAlways == OPEN_ALWAYS &&
              kTruncateExisting == TRUNCATE_EXISTING);
static_assert(kShareNone == 0 && kShareRead == FILE_SHARE_READ);
static_assert(kSeekBegin == FILE_BEGIN && kSeekCurrent == FILE_CURRENT && kSeekEnd == FILE_END);

namespace {

HANDLE ToHandle(FileHandle handle) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
}

uint32_t Fail(uint32_t code) {
  SetLastError(code);
  return code;
}

uint32_t FailWithLastError() {
  DWORD code = GetLastError();
  return code ? code : Fail(kErrorInvalidParameter);
}

FileTime FromFileTime(const FILETIME& time) {
  return (static_cast<FileTime>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

namespace FileApi {

uint32_t Open(const U16String& path, uint32_t access, uint32_t disposition, FileHandle* handle,
              uint32_t share) {
  // Handles are not inherited: no security attributes.
  HANDLE opened = CreateFileW(ExtendedPath(path).c_str(), access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return FailWithLastError();
  *handle = reinterpret_cast<intptr_t>(opened);
  return 0;
}

uint32_t Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* bytesRead,
              void* overlapped) {
  // The overlapped argument is only a marker: the program never reads
  // asynchronously, so it is never handed to the system.
  if (bytesRead == nullptr) return overlapped ? 0 : Fail(kErrorInvalidParameter);
  *bytesRead = 0;
  if (handle == kInvalidFileHandle) return Fail(kErrorInvalidHandle);
  char* out = static_cast<char*>(buffer);
  while (*bytesRead < count) {
    DWORD got = 0;
    if (!ReadFile(ToHandle(handle), out + *bytesRead, count - *bytesRead, &got, nullptr))
      return FailWithLastError();
    if (got == 0) break;
    *bytesRead += got;
  }
  return 0;
}

uint32_t Write(FileHandle handle, const void* data, uint32_t count, uint32_t* bytesWritten,
               void* overlapped) {
  if (bytesWritten == nullptr && overlapped == nullptr) return Fail(kErrorInvalidParameter);
  if (handle == kInvalidFileHandle) return Fail(kErrorInvalidHandle);
  if (bytesWritten == nullptr) return 0;
  DWORD written = 0;
  BOOL ok = WriteFile(ToHandle(handle), data, count, &written, nullptr);
  *bytesWritten = written;
  if (!ok) return FailWithLastError();
  if (written != count) return Fail(kErrorInvalidParameter);
  return 0;
}

uint32_t Seek(FileHandle handle, uint32_t distanceLow, int32_t* distanceHigh, uint32_t origin) {
  if (handle == kInvalidFileHandle) {
    Fail(kErrorInvalidHandle);
    return INVALID_SET_FILE_POINTER;
  }
  DWORD method = origin == kSeekCurrent ? FILE_CURRENT : origin == kSeekEnd ? FILE_END : FILE_BEGIN;
  // Without a high half the system would take the distance as signed, and
  // entries beyond 2 GiB of a work file could not be reached; as on Linux,
  // it is an unsigned 32-bit distance then.
  LONG high = distanceHigh ? *distanceHigh : 0;
  // 0xFFFFFFFF is also a valid low half: only a set last error tells.
  SetLastError(0);
  DWORD low = SetFilePointer(ToHandle(handle), static_cast<LONG>(distanceLow), &high, method);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return low;
  if (distanceHigh) *distanceHigh = high;
  return low;
}

uint32_t Close(FileHandle handle) {
  if (!CloseHandle(ToHandle(handle))) return FailWithLastError();
  return 0;
}

uint32_t GetTimes(FileHandle handle, FileTime* creation, FileTime* lastAccess,
                  FileTime* lastWrite) {
  if (handle == kInvalidFileHandle) return Fail(kErrorInvalidHandle);
  FILETIME c, a, w;
  if (!GetFileTime(ToHandle(handle), &c, &a, &w)) return FailWithLastError();
  if (creation) *creation = FromFileTime(c);
  if (lastAccess) *lastAccess = FromFileTime(a);
  if (lastWrite) *lastWrite = FromFileTime(w);
  return 0;
}

uint32_t SetWriteTime(FileHandle handle, FileTime lastWrite) {
  if (handle == kInvalidFileHandle) return Fail(kErrorInvalidHandle);
  FILETIME w;
  w.dwLowDateTime = static_cast<DWORD>(lastWrite);
  w.dwHighDateTime = static_cast<DWORD>(lastWrite >> 32);
  if (!SetFileTime(ToHandle(handle), nullptr, nullptr, &w)) return FailWithLastError();
  return 0;
}

uint32_t Truncate(FileHandle handle) {
  if (handle == kInvalidFileHandle) return Fail(kErrorInvalidHandle);
  if (!SetEndOfFile(ToHandle(handle))) return FailWithLastError();
  return 0;
}

uint32_t LastError() {
  return GetLastError();
}

uint32_t FileSize(const U16String& path, uint32_t* size) {
  if (size == nullptr) return 1;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(ExtendedPath(path).c_str(), GetFileExInfoStandard, &data)) return 1;
  *size = data.nFileSizeHigh ? 0xFFFFFFFFu : data.nFileSizeLow;
  return 0;
}

}  // namespace FileApi
