#include "tools/mkkit/directory_packer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "core/kit_format.h"
#include "core/kit_unpack.h"
#include "platform/fs_helpers.h"
#include "tools/mkkit/kit_writer.h"

namespace {

constexpr uint32_t kReadBlockSize = 0x100000;

U16String Text(const char* text) {
  return FromNarrow(text);
}

U16String Quoted(const U16String& text) {
  return Text("\"") + text + Text("\"");
}

FileTime FileTimeFromSeconds(int64_t seconds) {
  int64_t ticks = seconds * 10000000 + static_cast<int64_t>(kUnixEpochAsFileTime);
  return ticks < 0 ? 0 : static_cast<FileTime>(ticks);
}

bool LessByUnits(const PackItem& a, const PackItem& b) {
  return std::lexicographical_compare(a.name.Data(), a.name.Data() + a.name.Length(), b.name.Data(),
                                      b.name.Data() + b.name.Length());
}

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

bool CheckItems(const PackOptions& options, const std::vector<PackItem>& items, U16String* error) {
  if (options.single && options.descriptions.size() != 1) {
    *error = Text("a single-description kit needs exactly one description");
    return false;
  }
  if (options.level < 0 || options.level > 9) {
    *error = Text("the compression level must lie between 0 and 9");
    return false;
  }
  for (const PackItem& item : items) {
    const char* problem = EntryNameProblem(item.name);
    if (problem != nullptr) {
      *error = Text("entry ") + Quoted(item.name) + Text(": ") + Text(problem);
      return false;
    }
    if (item.size > 0xFFFFFFFFull) {
      *error =
          Text("entry ") + Quoted(item.name) + Text(": a file of 4 GiB or more cannot be packed");
      return false;
    }
  }
  return true;
}

// Streams one source file into the kit; its size must not have changed.
bool AddFile(RawDeflateWriter& writer, const PackItem& item, uint8_t* block, U16String* error) {
  int fd = ::open(item.sourcePath.Data(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = Text("cannot open ") + Quoted(FromNarrow(item.sourcePath));
    return false;
  }
  uint64_t left = item.size;
  bool ok = true;
  while (ok) {
    size_t want = left < kReadBlockSize ? static_cast<size_t>(left) : kReadBlockSize;
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
    } else if (writer.Add(block, static_cast<size_t>(got)) != 0) {
      *error = Text("cannot write the kit");
      ok = false;
    } else {
      left -= static_cast<uint64_t>(got);
    }
  }
  ::close(fd);
  return ok;
}

bool SameFile(const struct stat& a, const NarrowString& path) {
  struct stat b;
  return ::stat(path.Data(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

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
  std::sort(items->begin(), items->end(), LessByUnits);
  return true;
}

bool WriteKit(const U16String& kitPath, const PackOptions& options,
              const std::vector<PackItem>& items, U16String* error) {
  if (!CheckItems(options, items, error)) return false;

  std::vector<KitEntry> entries;
  uint64_t dataSize = 0;
  for (const PackItem& item : items) {
    KitEntry entry;
    entry.name = item.name;
    entry.lastWriteTime = item.lastWriteTime;
    entry.offset = static_cast<uint32_t>(dataSize);
    entry.size = static_cast<uint32_t>(item.size);
    entries.push_back(entry);
    dataSize += item.size;
  }
  std::string head = KitHeader(options.descriptions, options.single) + KitDirectory(entries);
  if (head.size() + dataSize > kMaxWorkFileSize) {
    *error = Text("the inflated kit would exceed 4 GiB, which the kit format cannot address");
    return false;
  }

  FileHandle output = kInvalidFileHandle;
  if (FileApi::Open(kitPath, kAccessWrite, kCreateAlways, &output) != 0) {
    *error = Text("cannot create ") + Quoted(kitPath);
    return false;
  }
  RawDeflateWriter writer;
  bool ok = writer.Start(output, options.level) == 0 && writer.Add(head.data(), head.size()) == 0;
  if (!ok) *error = Text("cannot write the kit");
  std::unique_ptr<uint8_t[]> block(new uint8_t[kReadBlockSize]);
  for (size_t i = 0; ok && i < items.size(); ++i)
    ok = AddFile(writer, items[i], block.get(), error);
  if (ok && (writer.Finish() != 0 || FileApi::Truncate(output) != 0)) {
    *error = Text("cannot write the kit");
    ok = false;
  }
  if (FileApi::Close(output) != 0 && ok) {
    *error = Text("cannot write the kit");
    ok = false;
  }
  if (!ok) DeleteFilePath(kitPath);
  return ok;
}

bool PackDirectory(const U16String& kitPath, const PackOptions& options, const U16String& directory,
                   U16String* error) {
  std::vector<PackItem> items;
  if (!CollectDirectory(directory, &items, error)) return false;
  struct stat kit;
  if (::stat(ToNarrow(kitPath).Data(), &kit) == 0) {
    std::erase_if(items, [&](const PackItem& item) { return SameFile(kit, item.sourcePath); });
  }
  return WriteKit(kitPath, options, items, error);
}
