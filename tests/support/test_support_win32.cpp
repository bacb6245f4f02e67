// The test helpers on Windows: UTF-8 paths of the tests become UTF-16 for the
// system, so non-ASCII names work as they do on Linux.
#ifdef _WIN32

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

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

fs::path PathOf(const std::string& utf8) {
  return fs::path(Wide(utf8));
}

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

// A handle that may also name a directory, for reading and setting times.
HANDLE OpenForTimes(const std::string& path, DWORD access) {
  return CreateFileW(Wide(path).c_str(), access,
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
  std::error_code ignored;
  fs::path root = PathOf(path_);
  // Read-only files would stop the removal.
  for (auto it = fs::recursive_directory_iterator(root, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::remove_all(root, ignored);
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
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeDirs(const std::string& path) {
  std::error_code ignored;
  fs::create_directories(PathOf(path), ignored);
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
  std::error_code ignored;
  fs::path root = PathOf(dir);
  for (auto it = fs::recursive_directory_iterator(root, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    std::string name = FromWide(it->path().lexically_relative(root).generic_wstring());
    names.push_back(it->is_directory(ignored) ? name + "/" : name);
  }
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
