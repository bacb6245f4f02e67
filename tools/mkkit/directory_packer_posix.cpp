// Reading the tree on Linux: directory streams and lstat, names in the
// locale's encoding.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "core/kit_checksum.h"
#include "core/kit_format.h"
#include "tools/mkkit/directory_packer.h"
#include "tools/mkkit/kit_writer.h"
#include "tools/mkkit/source_files.h"

using packing::FileTimeFromSeconds;
using packing::Quoted;
using packing::Text;

namespace {

// A "\" inside one file-system name would split it in two for the reader.
bool CheckComponent(const U16String& component, const U16String& entryName, U16String* error) {
  if (component.FindLast(u'\\') == U16String::npos) return true;
  const char* problem = EntryNameProblem(entryName);
  if (problem == nullptr) problem = "a file name holds \"\\\", which the kit reads as a separator";
  *error = Text("entry ") + Quoted(entryName) + Text(": ") + Text(problem);
  return false;
}

bool Walk(const NarrowString& directory, const U16String& prefix, std::vector<PackItem>* items,
          U16String* error) {
  DIR* stream = ::opendir(directory.Data());
  if (stream == nullptr) {
    *error = Text("cannot read the directory ") + Quoted(FromNarrow(directory));
    return false;
  }
  bool ok = true;
  while (ok) {
    dirent* found = ::readdir(stream);
    if (found == nullptr) break;
    NarrowString name(found->d_name);
    if (name == "." || name == "..") continue;
    NarrowString path = directory + "/" + name;
    struct stat status;
    if (::lstat(path.Data(), &status) != 0) {
      *error = Text("cannot examine ") + Quoted(FromNarrow(path));
      ok = false;
      break;
    }
    // Links to files are packed as the file; links to directories are not
    // followed, so a loop cannot arise.
    if (S_ISLNK(status.st_mode)) {
      struct stat target;
      if (::stat(path.Data(), &target) != 0 || !S_ISREG(target.st_mode)) continue;
      status = target;
    }
    U16String component = FromNarrow(name);
    U16String entryName = prefix + component;
    if (S_ISDIR(status.st_mode)) {
      ok = CheckComponent(component, entryName, error) &&
           Walk(path, entryName + u'\\', items, error);
    } else if (S_ISREG(status.st_mode)) {
      ok = CheckComponent(component, entryName, error);
      if (ok) {
        PackItem item;
        item.name = entryName;
        item.lastWriteTime = FileTimeFromSeconds(status.st_mtim.tv_sec);
        item.size = static_cast<uint64_t>(status.st_size);
        item.sourcePath = path;
        items->push_back(item);
      }
    }
  }
  ::closedir(stream);
  return ok;
}

bool SameFile(const struct stat& a, const NarrowString& path) {
  struct stat b;
  return ::stat(path.Data(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

bool packing::AddFile(RawDeflateWriter* writer, const PackItem& item, uint8_t* block,
                      uint32_t blockSize, uint32_t* crc, U16String* error) {
  *crc = 0;
  int fd = ::open(item.sourcePath.Data(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = Text("cannot open ") + Quoted(FromNarrow(item.sourcePath));
    return false;
  }
  uint64_t left = item.size;
  bool ok = true;
  while (ok) {
    size_t want = left < blockSize ? static_cast<size_t>(left) : blockSize;
    // Once the size is reached, one more read must find the end.
    ssize_t got = ::read(fd, block, want == 0 ? 1 : want);
    if (got < 0) {
      *error = Text("cannot read ") + Quoted(FromNarrow(item.sourcePath));
      ok = false;
    } else if (want == 0 || got == 0) {
      if (want != 0 || got != 0) {
        *error = Quoted(FromNarrow(item.sourcePath)) + Text(" changed its size while being packed");
        ok = false;
      }
      break;
    } else {
      *crc = KitCrc32(*crc, block, static_cast<size_t>(got));
      if (writer && writer->Add(block, static_cast<size_t>(got)) != 0) {
        *error = Text("cannot write the kit");
        ok = false;
      }
      left -= static_cast<uint64_t>(got);
    }
  }
  ::close(fd);
  return ok;
}

bool CollectDirectory(const U16String& directory, std::vector<PackItem>* items, U16String* error) {
  items->clear();
  NarrowString root = ToNarrow(directory);
  while (root.Length() > 1 && root.EndsWith('/')) root.Truncate(root.Length() - 1);
  struct stat status;
  if (::stat(root.Data(), &status) != 0 || !S_ISDIR(status.st_mode)) {
    *error = Quoted(directory) + Text(" is not a directory");
    return false;
  }
  if (!Walk(root, U16String(), items, error)) return false;
  packing::SortByName(items);
  return true;
}

void packing::DropKitFile(const U16String& kitPath, std::vector<PackItem>* items) {
  struct stat kit;
  if (::stat(ToNarrow(kitPath).Data(), &kit) == 0) {
    std::erase_if(*items, [&](const PackItem& item) { return SameFile(kit, item.sourcePath); });
  }
}
