// The test helpers on Linux: POSIX calls on byte paths.

#include "tests/support/test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

namespace {

void RemoveAll(const std::string& path) {
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) return;
  if (S_ISDIR(status.st_mode)) {
    chmod(path.c_str(), 0700);
    if (DIR* dir = opendir(path.c_str())) {
      while (dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        RemoveAll(path + "/" + entry->d_name);
      }
      closedir(dir);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

}  // namespace

TempDir::TempDir() {
  const char* base = std::getenv("SETUP_TEST_TMP");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/setup-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}

TempDir::~TempDir() {
  RemoveAll(path_);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  had_ = old != nullptr;
  if (old) old_ = old;
  if (value) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool FileExists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

void MakeDirs(const std::string& path) {
  std::string partial;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || (path[i] == '/' && i > 0)) {
      partial = path.substr(0, i);
      mkdir(partial.c_str(), 0755);
    }
  }
}

void SetMTime(const std::string& path, int64_t seconds) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
  times[0].tv_nsec = times[1].tv_nsec = 0;
  utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

int64_t GetMTime(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return -1;
  return status.st_mtime;
}

std::vector<std::string> ListTree(const std::string& dir) {
  std::vector<std::string> names;
  std::function<void(const std::string&)> walk = [&](const std::string& relative) {
    std::string full = relative.empty() ? dir : dir + "/" + relative;
    DIR* d = opendir(full.c_str());
    if (!d) return;
    while (dirent* entry = readdir(d)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      std::string name = relative.empty() ? entry->d_name : relative + "/" + entry->d_name;
      struct stat status;
      lstat((dir + "/" + name).c_str(), &status);
      if (S_ISDIR(status.st_mode)) {
        names.push_back(name + "/");
        walk(name);
      } else {
        names.push_back(name);
      }
    }
    closedir(d);
  };
  walk("");
  std::sort(names.begin(), names.end());
  return names;
}

bool LocaleExists(const char* name) {
  locale_t made = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
  if (made == static_cast<locale_t>(0)) return false;
  freelocale(made);
  return true;
}

int Shell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
