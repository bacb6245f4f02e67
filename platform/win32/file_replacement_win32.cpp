// Replacing a file whole on Windows: a new file in the same folder, flushed,
// with the old file's attributes, moved over the old file by MoveFileExW.
#include <windows.h>

#include <string>

#include "platform/file_api.h"
#include "platform/file_replacement.h"
#include "platform/win32/extended_path.h"

namespace {

// Attributes that travel from the old file to the new one; read-only never
// does, since a read-only file is refused before anything is made.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

uint32_t LastCode() {
  DWORD code = GetLastError();
  return code ? code : kErrorInvalidParameter;
}

// The file a symbolic link (or a chain of them) leads to; the path itself
// when it is no link.
U16String ResolveLinks(const U16String& path) {
  DWORD attributes = GetFileAttributesW(ExtendedPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return path;
  HANDLE file = CreateFileW(ExtendedPath(path).c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return path;
  std::wstring buffer(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  CloseHandle(file);
  if (length == 0 || length >= buffer.size()) return path;
  return U16String(reinterpret_cast<const char16_t*>(buffer.data()), length);
}

}  // namespace

uint32_t FileReplacement::Begin(const U16String& path) {
  Abandon();
  if (path.IsEmpty()) return kErrorInvalidParameter;
  U16String target = ResolveLinks(path);
  DWORD attributes = GetFileAttributesW(ExtendedPath(target).c_str());
  existed_ = attributes != INVALID_FILE_ATTRIBUTES;
  if (existed_) {
    // A read-only file refuses writing on Windows; said here as well, since
    // a process that may write any file (root under Wine) would not be told.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
      return ERROR_ACCESS_DENIED;
    // Opened for writing as a rewrite in place would open it: a read-only
    // file, or one that another program holds without sharing, is refused.
    HANDLE probe =
        CreateFileW(ExtendedPath(target).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return LastCode();
    CloseHandle(probe);
    mode_ = attributes & kKeptAttributes;
  } else {
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return error ? error : kErrorInvalidParameter;
  }

  // "name.new-PID-N" beside the old file.
  U16String stem = target + u".new-";
  std::string pid = std::to_string(GetCurrentProcessId()) + "-";
  for (char c : pid) stem.Append(static_cast<char16_t>(c));
  for (int attempt = 0; attempt < 100; ++attempt) {
    U16String candidate = stem;
    for (char c : std::to_string(attempt)) candidate.Append(static_cast<char16_t>(c));
    HANDLE made = CreateFileW(ExtendedPath(candidate).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (made != INVALID_HANDLE_VALUE) {
      CloseHandle(made);
      target_ = target;
      newPath_ = candidate;
      return 0;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
      return error ? error : kErrorInvalidParameter;
  }
  return kErrorCannotMakeScratchFile;
}

uint32_t FileReplacement::Commit() {
  if (newPath_.IsEmpty()) return kErrorInvalidParameter;
  uint32_t result = 0;
  // The contents reach the disk before the name does.
  HANDLE file = CreateFileW(ExtendedPath(newPath_).c_str(), GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    result = LastCode();
  } else {
    if (!FlushFileBuffers(file)) result = LastCode();
    CloseHandle(file);
  }
  if (result == 0 && existed_ && mode_ != 0 &&
      !SetFileAttributesW(ExtendedPath(newPath_).c_str(), mode_)) {
    result = LastCode();
  }
  if (result == 0 && !MoveFileExW(ExtendedPath(newPath_).c_str(), ExtendedPath(target_).c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    result = LastCode();
  if (result != 0) {
    Abandon();
    return result;
  }
  newPath_.Clear();
  return 0;
}

void FileReplacement::Abandon() {
  if (newPath_.IsEmpty()) return;
  // A hidden or system new file is removed as well.
  SetFileAttributesW(ExtendedPath(newPath_).c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(ExtendedPath(newPath_).c_str());
  newPath_.Clear();
}
