// Locked files on Windows: the lock is the open handle itself. It shares no
// deletion, so another run can neither delete the file nor open it with the
// access a take-over asks for; the system closes it when the process ends,
// TerminateProcess included.
#include <windows.h>

#include "platform/file_api.h"
#include "platform/locked_file.h"
#include "platform/win32/extended_path.h"

namespace {

HANDLE ToHandle(int64_t handle) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
}

uint32_t LastCode() {
  DWORD code = GetLastError();
  if (code == ERROR_FILE_EXISTS) return kErrorAlreadyExists;
  return code ? code : kErrorInvalidParameter;
}

}  // namespace

uint32_t LockedFile::Create(const U16String& path, Use use) {
  Close();
  // A journal is written through the handle and shares nothing. The work
  // file is opened by name again (without sharing) by the same run: the
  // lock then has no data access, which such an open would collide with,
  // and shares reading and writing but not deletion.
  DWORD access =
      use == Use::kRecords ? (GENERIC_READ | GENERIC_WRITE | DELETE) : FILE_READ_ATTRIBUTES;
  DWORD share = use == Use::kRecords ? 0 : (FILE_SHARE_READ | FILE_SHARE_WRITE);
  HANDLE file = CreateFileW(ExtendedPath(path).c_str(), access, share, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastCode();
  handle_ = reinterpret_cast<intptr_t>(file);
  use_ = use;
  path_ = path;
  return 0;
}

uint32_t LockedFile::TakeOver(const U16String& path) {
  Close();
  // Asking for deletion without sharing anything collides with any handle a
  // live run keeps: the lock of a journal or of a work file, or the work
  // file's own handle.
  HANDLE file =
      CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    return code == ERROR_SHARING_VIOLATION ? kErrorLockHeld
                                           : (code ? code : kErrorInvalidParameter);
  }
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file, &information) ||
      (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    CloseHandle(file);
    return kErrorInvalidParameter;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  use_ = Use::kRecords;
  path_ = path;
  return 0;
}

uint32_t LockedFile::Append(const void* data, size_t size) {
  if (handle_ == -1) return kErrorInvalidHandle;
  LARGE_INTEGER end{};
  if (!SetFilePointerEx(ToHandle(handle_), end, nullptr, FILE_END)) return LastCode();
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(ToHandle(handle_), next, chunk, &written, nullptr)) return LastCode();
    if (written == 0) return ERROR_WRITE_FAULT;
    next += written;
    size -= written;
  }
  return 0;
}

uint32_t LockedFile::ReadAll(std::string* bytes) {
  bytes->clear();
  if (handle_ == -1) return kErrorInvalidHandle;
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(ToHandle(handle_), start, nullptr, FILE_BEGIN)) return LastCode();
  char block[8192];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(ToHandle(handle_), block, sizeof block, &got, nullptr)) return LastCode();
    if (got == 0) return 0;
    bytes->append(block, got);
  }
}

uint32_t LockedFile::Delete() {
  if (handle_ == -1) return kErrorInvalidHandle;
  uint32_t result = 0;
  if (use_ == Use::kRecords) {
    // Marked for deletion through the handle: it goes when the handle closes,
    // and nobody can open it in between.
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (!SetFileInformationByHandle(ToHandle(handle_), FileDispositionInfo, &disposition,
                                    sizeof disposition)) {
      result = LastCode();
    }
    U16String path = path_;
    Close();
    if (result != 0 && DeleteFileW(ExtendedPath(path).c_str())) result = 0;
    return result;
  }
  // The work file's lock has no right to delete: close it, then delete by
  // name (the run's own data handle is closed by then).
  U16String path = path_;
  Close();
  return DeleteFileW(ExtendedPath(path).c_str()) ? 0 : LastCode();
}

void LockedFile::Close() {
  if (handle_ != -1) CloseHandle(ToHandle(handle_));
  handle_ = -1;
  path_.Clear();
}
