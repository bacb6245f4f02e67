// Path-level operations on Windows: one or two wide-character system calls
// each; results are the system's error numbers.
#include <windows.h>

#include <winnetwk.h>

#include <vector>

#include "platform/file_api.h"
#include "platform/fs_helpers.h"
#include "platform/paths.h"
#include "platform/win32/extended_path.h"
#include "platform/win32/wide_text.h"

namespace {

// The number of scratch names that one prefix allows: four hexadecimal digits.
constexpr unsigned kScratchNames = 0x10000;

bool Found(const U16String& path) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(ExtendedPath(path).c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

U16String HexDigits(unsigned value) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  U16String out;
  for (int shift = 12; shift >= 0; shift -= 4) out.Append(kDigits[(value >> shift) & 0xF]);
  return out;
}

bool NameTaken(DWORD code, const U16String& path) {
  if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return true;
  // A directory of that name answers "access denied".
  return code == ERROR_ACCESS_DENIED &&
         GetFileAttributesW(ExtendedPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The names the system gives scratch files: the prefix's first three
// characters, four hexadecimal digits and ".tmp". The name is built to its
// own length (the system's call writes into a buffer of 260 units whatever
// the directory's length) and the file is made exclusively, so a name that
// exists is passed over and a file is never made by halves.
uint32_t MakeTempFile(const U16String& directory, const U16String& prefix, U16String* name) {
  name->Clear();
  U16String stem = directory;
  EnsureTrailingSeparator(stem);
  stem.Append(prefix.Substring(0, prefix.Length() < 3 ? prefix.Length() : 3));
  unsigned start = GetTickCount() % kScratchNames;
  for (unsigned i = 0; i < kScratchNames; ++i) {
    unsigned unique = (start + i) % kScratchNames;
    if (unique == 0) continue;
    U16String candidate = stem + HexDigits(unique) + u".tmp";
    HANDLE file = CreateFileW(ExtendedPath(candidate).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      *name = candidate;
      return 0;
    }
    DWORD code = GetLastError();
    if (!NameTaken(code, candidate)) return code ? code : kErrorCannotMakeScratchFile;
  }
  return kErrorCannotMakeScratchFile;
}

}  // namespace

U16String RandomNameLetters() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static LONG counter = 0;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  uint64_t state = static_cast<uint64_t>(now.QuadPart) ^
                   (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^
                   static_cast<uint64_t>(InterlockedIncrement(&counter)) * 0x9E3779B97F4A7C15ull;
  U16String letters;
  for (int i = 0; i < 6; ++i) {
    state ^= state >> 33;
    state *= 0xFF51AFD7ED558CCDull;
    state ^= state >> 29;
    letters.Append(static_cast<char16_t>(kAlphabet[state % (sizeof kAlphabet - 1)]));
  }
  return letters;
}

uint32_t GetTempDirectory(U16String* path) {
  // Asked for its length first: the folder may lie deeper than 260 units.
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD length = GetTempPathW(size, buffer.data());
    if (length == 0) return GetLastError();
    if (length < size) {
      *path = U16String(reinterpret_cast<const char16_t*>(buffer.data()), length);
      return 0;
    }
    buffer.resize(length + 1);
  }
}

uint32_t GetTempFreeSpace(uint32_t* bytes) {
  if (bytes == nullptr) return kErrorInvalidParameter;
  *bytes = 0;
  U16String directory;
  if (uint32_t code = GetTempDirectory(&directory)) return code;
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(ExtendedPath(directory).c_str(), &available, nullptr, nullptr))
    return GetLastError();
  *bytes = available.HighPart ? 0xFFFFFFFFu : available.LowPart;
  return 0;
}

// The scratch file is made in the given directory or not at all; it never
// goes elsewhere, so both forms are the same call.
uint32_t CreateTempFile(const U16String& directory, const U16String& prefix, U16String* name) {
  return MakeTempFile(directory, prefix, name);
}

uint32_t CreateTempFileIn(const U16String& directory, const U16String& prefix, U16String* name) {
  return MakeTempFile(directory, prefix, name);
}

uint32_t MakeDirectoryPath(const U16String& original) {
  U16String path = original;
  path.ReplaceAll(u'/', u'\\');
  if (path.EndsWith(u'\\')) path.Truncate(path.Length() - 1);
  if (Found(path)) return kErrorAlreadyExists;
  bool made = true;
  uint32_t code = 0;
  for (size_t i = 0; i <= path.Length(); ++i) {
    if (i < path.Length() && path[i] != u'\\') continue;
    U16String level = path.Substring(0, i);
    if (Found(level)) continue;
    made = CreateDirectoryW(ExtendedPath(level).c_str(), nullptr) != 0;
    code = made ? 0 : GetLastError();
  }
  return made ? 0 : code;
}

uint32_t MovePath(const U16String& from, const U16String& to) {
  return MoveFileW(ExtendedPath(from).c_str(), ExtendedPath(to).c_str()) ? 0 : GetLastError();
}

uint32_t RemoveDirectoryPath(const U16String& path) {
  return RemoveDirectoryW(ExtendedPath(path).c_str()) ? 0 : GetLastError();
}

uint32_t DeleteFilePath(const U16String& path) {
  return DeleteFileW(ExtendedPath(path).c_str()) ? 0 : GetLastError();
}

bool IsRootPath(const U16String& path) {
  size_t length = path.Length();
  if ((length == 2 || length == 3) && path[1] == u':') return true;
  if (length >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    int pieces = 0;
    bool inPiece = false;
    for (size_t i = 2; i < length; ++i) {
      if (IsSeparator(path[i])) {
        inPiece = false;
      } else if (!inPiece) {
        inPiece = true;
        ++pieces;
      }
    }
    return pieces <= 2;
  }
  return false;
}

bool IsNetworkPath(const U16String& path) {
  if (path.Length() >= 2 && path[0] == u'\\' && path[1] == u'\\') return true;
  // A path on a mapped drive has a universal name. ERROR_MORE_DATA also
  // means that the system found one: only the buffer was too small for it.
  alignas(UNIVERSAL_NAME_INFOW) unsigned char buffer[1024];
  DWORD size = sizeof buffer;
  DWORD result = WNetGetUniversalNameW(Wide(path), UNIVERSAL_NAME_INFO_LEVEL, buffer, &size);
  return result == NO_ERROR || result == ERROR_MORE_DATA;
}

bool PathExists(const U16String& path) {
  // The attributes of exactly this name: no wildcard matching.
  return !path.IsEmpty() &&
         GetFileAttributesW(ExtendedPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectoryPath(const U16String& path) {
  if (path.IsEmpty()) return false;
  DWORD attributes = GetFileAttributesW(ExtendedPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

PathKind GetPathKind(const U16String& path) {
  DWORD attributes =
      path.IsEmpty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(ExtendedPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::File;
}

// The temporary folder of a Windows user is the user's own, and a new
// directory inherits its access: that keeps it private.
uint32_t CreatePrivateDirectory(const U16String& path) {
  return CreateDirectoryW(ExtendedPath(path).c_str(), nullptr) ? 0 : GetLastError();
}

bool DirectorySearch::FindFirst(const U16String& searchPath) {
  EndSearch();
  handle_ = FindFirstFileW(ExtendedPath(searchPath).c_str(), &data_);
  return handle_ != INVALID_HANDLE_VALUE;
}

bool DirectorySearch::FindNext() {
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  if (FindNextFileW(handle_, &data_)) return true;
  // As on Linux, an exhausted search is closed and has no current entry.
  EndSearch();
  return false;
}

U16String DirectorySearch::CurrentName() const {
  return handle_ != INVALID_HANDLE_VALUE ? FromWide(data_.cFileName) : U16String();
}

uint32_t DirectorySearch::CurrentAttributes() const {
  return handle_ != INVALID_HANDLE_VALUE ? (data_.dwFileAttributes & kAttributeDirectory) : 0;
}

void DirectorySearch::EndSearch() {
  if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}
