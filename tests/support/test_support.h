// Helpers shared by the tests: temporary folders, small files, environment.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/strings.h"

// The system's separator in the tests' UTF-8 paths, and the variable that
// names the temporary directory.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
constexpr char kTempVariable[] = "TMP";
#else
constexpr char kPathSeparator = '/';
constexpr char kTempVariable[] = "TMPDIR";
#endif

// name with every "/" turned into the system's separator.
inline std::string NativePath(std::string name) {
  for (char& c : name) {
    if (c == '/') c = kPathSeparator;
  }
  return name;
}

// A fresh directory under the system's temporary folder, removed with all
// its contents when the object dies. Paths are UTF-8.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // Path without a trailing separator.
  const std::string& path() const { return path_; }
  // The path of name inside; a "/" in name is a separator on both systems.
  std::string operator/(const std::string& name) const {
    return path_ + kPathSeparator + NativePath(name);
  }

 private:
  std::string path_;
};

// Sets (or with nullptr unsets) an environment variable for one scope
// (Windows: for the C library and the system alike).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_;
};

void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
void MakeDirs(const std::string& path);
// Sets a file's modification (and access) time in whole seconds since 1970.
void SetMTime(const std::string& path, int64_t seconds);
int64_t GetMTime(const std::string& path);
// Names under dir (recursively, relative, sorted); directories end in "/",
// and "/" separates the levels on both systems.
std::vector<std::string> ListTree(const std::string& dir);

U16String U16(const std::string& utf8);
std::string Utf8(const U16String& text);
// UTF-16LE bytes of UTF-8 text, without a byte-order mark.
std::string Utf16le(const std::string& utf8);

// True when the named locale ("ru_RU.UTF-8") exists on this machine.
bool LocaleExists(const char* name);

// Runs a shell command and returns its exit status.
int Shell(const std::string& command);
