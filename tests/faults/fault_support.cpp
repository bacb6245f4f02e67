#include "tests/faults/fault_support.h"

#include <dirent.h>
#include <errno.h>
#include <sys/mount.h>

#include <algorithm>
#include <cstring>

#include "core/template_installer.h"
#include "tests/support/test_support.h"
#include "tools/mkkit/kit_writer.h"

std::string KitBytes(const std::vector<KitFileSpec>& files, const KitDescription& description) {
  std::vector<KitFile> kitFiles;
  for (const KitFileSpec& file : files)
    kitFiles.push_back({U16(file.name), AsFileTime(file.time), file.data});
  return DeflateRaw(BuildWorkFile({description}, false, kitFiles));
}

void WriteKit(const std::string& path, const std::vector<KitFileSpec>& files) {
  WriteFileBytes(path, KitBytes(files));
}

TmpfsMount::~TmpfsMount() {
  if (directory_.empty()) return;
  // A lazy unmount still detaches it when something inside is open.
  if (umount(directory_.c_str()) != 0) umount2(directory_.c_str(), MNT_DETACH);
}

bool TmpfsMount::Mount(const std::string& directory, size_t bytes, std::string* reason) {
  std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  if (mount("tmpfs", directory.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    *reason = std::string("mount: ") + std::strerror(errno);
    return false;
  }
  directory_ = directory;
  return true;
}

std::string IncompressibleBytes(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x >> 24);
  }
  return bytes;
}

std::vector<std::string> NamesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        names.push_back(entry->d_name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> FindNamed(const std::string& dir, const std::string& name) {
  std::vector<std::string> found;
  for (std::string path : ListTree(dir)) {
    if (!path.empty() && path.back() == '/') path.pop_back();
    size_t slash = path.rfind('/');
    if (path.substr(slash == std::string::npos ? 0 : slash + 1) == name) found.push_back(path);
  }
  return found;
}
