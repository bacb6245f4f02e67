#include "tests/fuzz/fuzz_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Scratch {
  std::string root;
  std::string temp;
};

void RemoveTreeNow(const std::string& path) {
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) return;
  if (S_ISDIR(status.st_mode)) {
    if (DIR* dir = opendir(path.c_str())) {
      while (dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        RemoveTreeNow(path + "/" + entry->d_name);
      }
      closedir(dir);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

Scratch* MakeScratch() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/setup-fuzz-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    std::perror("fuzz: mkdtemp");
    std::abort();
  }
  auto* scratch = new Scratch{buffer.data(), std::string(buffer.data()) + "/tmp"};
  mkdir(scratch->temp.c_str(), 0700);
  setenv("TMPDIR", scratch->temp.c_str(), 1);
  std::atexit([] { RemoveTreeNow(ScratchDirectory()); });
  return scratch;
}

const Scratch& TheScratch() {
  static const Scratch* scratch = MakeScratch();
  return *scratch;
}

}  // namespace

void FuzzFailure(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, condition);
  std::abort();
}

const std::string& ScratchDirectory() {
  return TheScratch().root;
}

const std::string& ScratchTempDirectory() {
  return TheScratch().temp;
}

void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::perror("fuzz: open");
    std::abort();
  }
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) {
      std::perror("fuzz: write");
      std::abort();
    }
    done += static_cast<size_t>(n);
  }
  close(fd);
}

int CountDirectoryEntries(const std::string& path) {
  int count = 0;
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) ++count;
    }
    closedir(dir);
  }
  return count;
}
