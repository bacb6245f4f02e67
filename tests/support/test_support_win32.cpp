// The test helpers on Windows: UTF-8 paths of the tests become UTF-16 for the
// system, so non-ASCII names work as they do on Linux.
#ifdef _WIN32

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/win32/extended_path.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

std::wstring Wide(const std::string& utf8) {
  U16String units = U16(utf8);
  return std::wstring(reinterpret_cast<const wchar_t*>(units.Data()), units.Length());
}

std::string FromWide(const std::wstring& wide) {
  return Utf8(U16String(reinterpret_cast<const char16_t*>(wide.c_str()), wide.size()));
}

// Long paths in the extended form, as the program passes them.
std::wstring SystemPath(const std::string& utf8) {
  return ExtendedPath(U16(utf8));
}

fs::path PathOf(const std::string& utf8) {
  return fs::path(SystemPath(utf8));
}

// Every entry under directory, parents before their contents: its full path
// and its path relative to directory. The library's directory walk does not
// take the extended form, so the system's search does it.
void ForEachEntry(const std::wstring& directory,
                  const std::function<void(const std::wstring&, const std::wstring&, bool)>& visit,
                  const std::wstring& relative = std::wstring()) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(SystemPath(FromWide(directory + L"\\*")).c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = directory + L"\\" + name;
    std::wstring inside = relative.empty() ? name : relative + L"\\" + name;
    bool isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    visit(path, inside, isDirectory);
    if (isDirectory) ForEachEntry(path, visit, inside);
  } while (FindNextFileW(search, &data));
  FindClose(search);
}

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

// A handle that may also name a directory, for reading and setting times.
HANDLE OpenForTimes(const std::string& path, DWORD access) {
  return CreateFileW(SystemPath(path).c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

TempDir::TempDir() {
  std::wstring base;
  if (const wchar_t* chosen = _wgetenv(L"SETUP_TEST_TMP"); chosen && *chosen) {
    base = chosen;
  } else {
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) throw std::runtime_error("GetTempPathW failed");
    base.assign(buffer, length);
  }
  if (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
  std::random_device random;
  const wchar_t alphabet[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring candidate = base + L"\\setup-test-";
    for (int i = 0; i < 6; ++i) candidate += alphabet[random() % (std::size(alphabet) - 1)];
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = FromWide(candidate);
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("cannot make a temporary directory");
}

TempDir::~TempDir() {
  std::wstring root = Wide(path_);
  std::vector<std::pair<std::wstring, bool>> entries;
  ForEachEntry(root, [&](const std::wstring& path, const std::wstring&, bool directory) {
    entries.emplace_back(path, directory);
  });
  // Deepest first; read-only files would stop the removal.
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    std::wstring path = SystemPath(FromWide(it->first));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (it->second) {
      RemoveDirectoryW(path.c_str());
    } else {
      DeleteFileW(path.c_str());
    }
  }
  RemoveDirectoryW(SystemPath(path_).c_str());
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  std::wstring wideName = Wide(name);
  const wchar_t* old = _wgetenv(wideName.c_str());
  had_ = old != nullptr;
  if (old) old_ = FromWide(old);
  // _wputenv changes the C library's copy and the system's block. Windows
  // has no empty variables: an empty value unsets the name.
  _wputenv((wideName + L"=" + (value ? Wide(value) : std::wstring())).c_str());
}

ScopedEnv::~ScopedEnv() {
  _wputenv((Wide(name_) + L"=" + (had_ ? Wide(old_) : std::wstring())).c_str());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeDirs(const std::string& path) {
  std::wstring wide = Wide(path);
  for (size_t i = 1; i <= wide.size(); ++i) {
    if (i < wide.size() && wide[i] != L'\\' && wide[i] != L'/') continue;
    // Levels that exist, and a drive, fail harmlessly.
    CreateDirectoryW(SystemPath(FromWide(wide.substr(0, i))).c_str(), nullptr);
  }
}

void SetMTime(const std::string& path, int64_t seconds) {
  HANDLE handle = OpenForTimes(path, FILE_WRITE_ATTRIBUTES);
  if (handle == INVALID_HANDLE_VALUE) return;
  uint64_t ticks = static_cast<uint64_t>((seconds + kSecondsFrom1601To1970) * kTicksPerSecond);
  FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SetFileTime(handle, nullptr, &time, &time);
  CloseHandle(handle);
}

int64_t GetMTime(const std::string& path) {
  HANDLE handle = OpenForTimes(path, FILE_READ_ATTRIBUTES);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  FILETIME time;
  BOOL ok = GetFileTime(handle, nullptr, nullptr, &time);
  CloseHandle(handle);
  if (!ok) return -1;
  uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
}

std::vector<std::string> ListTree(const std::string& dir) {
  std::vector<std::string> names;
  ForEachEntry(Wide(dir), [&](const std::wstring&, const std::wstring& relative, bool directory) {
    std::wstring name = relative;
    std::replace(name.begin(), name.end(), L'\\', L'/');
    names.push_back(FromWide(name) + (directory ? "/" : ""));
  });
  std::sort(names.begin(), names.end());
  return names;
}

bool LocaleExists(const char* name) {
  // "ru_RU.UTF-8" is the locale name "ru-RU"; the encoding part has no
  // meaning there.
  std::string tag(name);
  tag = tag.substr(0, tag.find('.'));
  std::replace(tag.begin(), tag.end(), '_', '-');
  return IsValidLocaleName(Wide(tag).c_str()) != 0;
}

int Shell(const std::string& command) {
  return _wsystem(Wide(command).c_str());
}

#endif  // _WIN32
