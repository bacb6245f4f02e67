// Reading the tree on Windows: the wide find calls, and the files through
// the handle-based file interface.
#include <windows.h>

#include <algorithm>

#include "core/kit_checksum.h"
#include "core/kit_format.h"
#include "platform/win32/wide_text.h"
#include "tools/mkkit/directory_packer.h"
#include "tools/mkkit/kit_writer.h"
#include "tools/mkkit/source_files.h"

using packing::Quoted;
using packing::Text;

namespace {

// Whole seconds, as the Linux tool takes them from the file system.
FileTime WholeSeconds(const FILETIME& time) {
  FileTime ticks = static_cast<FileTime>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
  return ticks - ticks % 10000000;
}

U16String Join(const U16String& directory, const U16String& name) {
  return directory.EndsWith(u'\\') ? directory + name : directory + u"\\" + name;
}

// Size, time and identity of what path names, links followed.
bool Examine(const U16String& path, BY_HANDLE_FILE_INFORMATION* information) {
  HANDLE file = CreateFileW(Wide(path), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileInformationByHandle(file, information) != 0;
  CloseHandle(file);
  return ok;
}

bool Walk(const U16String& directory, const U16String& prefix, std::vector<PackItem>* items,
          U16String* error) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(Wide(Join(directory, U16String(u"*"))), &found);
  if (search == INVALID_HANDLE_VALUE) {
    // A directory with no entries at all still reports "." and "..".
    *error = Text("cannot read the directory ") + Quoted(directory);
    return false;
  }
  bool ok = true;
  do {
    U16String name = FromWide(found.cFileName);
    if (name == u"." || name == u"..") continue;
    U16String path = Join(directory, name);
    U16String entryName = prefix + name;
    bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // Directory links and junctions are not followed, so no loop arises.
      if (!link) ok = Walk(path, entryName + u'\\', items, error);
      continue;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!Examine(path, &information)) {
      // A link whose target is gone is left out, as on Linux.
      if (link) continue;
      *error = Text("cannot examine ") + Quoted(path);
      ok = false;
      break;
    }
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    PackItem item;
    item.name = entryName;
    item.lastWriteTime = WholeSeconds(information.ftLastWriteTime);
    item.size = static_cast<uint64_t>(information.nFileSizeHigh) << 32 | information.nFileSizeLow;
    item.sourcePath = path;
    items->push_back(item);
  } while (ok && FindNextFileW(search, &found));
  FindClose(search);
  return ok;
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const U16String& path) {
  BY_HANDLE_FILE_INFORMATION b;
  return Examine(path, &b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

bool packing::AddFile(RawDeflateWriter* writer, const PackItem& item, uint8_t* block,
                      uint32_t blockSize, uint32_t* crc, U16String* error) {
  *crc = 0;
  FileHandle file = kInvalidFileHandle;
  if (FileApi::Open(item.sourcePath, kAccessRead, kOpenExisting, &file, kShareRead) != 0) {
    *error = Text("cannot open ") + Quoted(item.sourcePath);
    return false;
  }
  uint64_t left = item.size;
  bool ok = true;
  while (ok) {
    uint32_t want = left < blockSize ? static_cast<uint32_t>(left) : blockSize;
    // Once the size is reached, one more read must find the end.
    uint32_t got = 0;
    if (FileApi::Read(file, block, want == 0 ? 1 : want, &got) != 0) {
      *error = Text("cannot read ") + Quoted(item.sourcePath);
      ok = false;
    } else if (want == 0 || got == 0) {
      if (want != 0 || got != 0) {
        *error = Quoted(item.sourcePath) + Text(" changed its size while being packed");
        ok = false;
      }
      break;
    } else {
      *crc = KitCrc32(*crc, block, got);
      if (writer && writer->Add(block, got) != 0) {
        *error = Text("cannot write the kit");
        ok = false;
      }
      left -= got;
    }
  }
  FileApi::Close(file);
  return ok;
}

bool CollectDirectory(const U16String& directory, std::vector<PackItem>* items, U16String* error) {
  items->clear();
  U16String root = directory;
  root.ReplaceAll(u'/', u'\\');
  // A drive's root keeps its separator: "C:" alone names a current directory.
  while (root.Length() > 1 && root.EndsWith(u'\\') && !(root.Length() == 3 && root[1] == u':'))
    root.Truncate(root.Length() - 1);
  DWORD attributes = GetFileAttributesW(Wide(root));
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = Quoted(directory) + Text(" is not a directory");
    return false;
  }
  if (!Walk(root, U16String(), items, error)) return false;
  packing::SortByName(items);
  return true;
}

void packing::DropKitFile(const U16String& kitPath, std::vector<PackItem>* items) {
  BY_HANDLE_FILE_INFORMATION kit;
  if (!Examine(kitPath, &kit)) return;
  std::erase_if(*items, [&](const PackItem& item) { return SameFile(kit, item.sourcePath); });
}
