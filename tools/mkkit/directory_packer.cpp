// Packing a tree, the part both systems share: the checks and the writing
// of the kit.
#include "tools/mkkit/directory_packer.h"

#include <algorithm>
#include <memory>

#include "core/kit_format.h"
#include "core/kit_unpack.h"
#include "platform/fs_helpers.h"
#include "tools/mkkit/kit_writer.h"
#include "tools/mkkit/source_files.h"

using packing::Quoted;
using packing::Text;

namespace {

bool LessByUnits(const PackItem& a, const PackItem& b) {
  return std::lexicographical_compare(a.name.Data(), a.name.Data() + a.name.Length(), b.name.Data(),
                                      b.name.Data() + b.name.Length());
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

}  // namespace

void packing::SortByName(std::vector<PackItem>* items) {
  std::sort(items->begin(), items->end(), LessByUnits);
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
  // The directory comes first in the stream and holds each file's checksum:
  // the files are read once for it, and again into the stream. Its size
  // does not depend on the checksums' values.
  std::vector<uint32_t> dataCrcs(items.size());
  const std::vector<uint32_t>* checksums = options.checksums ? &dataCrcs : nullptr;
  uint64_t headSize = KitHeader(options.descriptions, options.single, options.checksums).size() +
                      KitDirectory(entries, checksums).size();
  if (headSize + dataSize > kMaxWorkFileSize) {
    *error = Text("the inflated kit would exceed 4 GiB, which the kit format cannot address");
    return false;
  }
  std::unique_ptr<uint8_t[]> block(new uint8_t[packing::kReadBlockSize]);
  for (size_t i = 0; checksums && i < items.size(); ++i) {
    if (!packing::AddFile(nullptr, items[i], block.get(), packing::kReadBlockSize, &dataCrcs[i],
                          error))
      return false;
  }
  std::string head = KitHeader(options.descriptions, options.single, options.checksums) +
                     KitDirectory(entries, checksums);

  FileHandle output = kInvalidFileHandle;
  if (FileApi::Open(kitPath, kAccessWrite, kCreateAlways, &output) != 0) {
    *error = Text("cannot create ") + Quoted(kitPath);
    return false;
  }
  RawDeflateWriter writer;
  bool ok = writer.Start(output, options.level) == 0 && writer.Add(head.data(), head.size()) == 0;
  if (!ok) *error = Text("cannot write the kit");
  for (size_t i = 0; ok && i < items.size(); ++i) {
    uint32_t crc = 0;
    ok = packing::AddFile(&writer, items[i], block.get(), packing::kReadBlockSize, &crc, error);
    if (ok && checksums && crc != dataCrcs[i]) {
      *error = Quoted(items[i].name) + Text(" changed while being packed");
      ok = false;
    }
  }
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
  packing::DropKitFile(kitPath, &items);
  return WriteKit(kitPath, options, items, error);
}
