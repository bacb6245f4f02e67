// The system's side of packing a tree: walking it and reading its files
// (directory_packer_posix.cpp, directory_packer_win32.cpp). What both
// systems share is in directory_packer.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/mkkit/directory_packer.h"
#include "tools/mkkit/kit_writer.h"

namespace packing {

constexpr uint32_t kReadBlockSize = 0x100000;

inline U16String Text(const char* text) {
  return FromNarrow(text);
}
inline U16String Quoted(const U16String& text) {
  return Text("\"") + text + Text("\"");
}
// FILETIME of whole seconds since 1970; 0 for anything before 1601.
inline FileTime FileTimeFromSeconds(int64_t seconds) {
  int64_t ticks = seconds * 10000000 + static_cast<int64_t>(kUnixEpochAsFileTime);
  return ticks < 0 ? 0 : static_cast<FileTime>(ticks);
}

// Entries in the order of their names' 16-bit units.
void SortByName(std::vector<PackItem>* items);
// Reads one source file through block, into the kit's stream when writer
// is given, and gives the CRC-32 of its bytes; its size must not have
// changed since it was collected.
bool AddFile(RawDeflateWriter* writer, const PackItem& item, uint8_t* block, uint32_t blockSize,
             uint32_t* crc, U16String* error);
// Leaves out the kit file itself, should it lie inside the tree.
void DropKitFile(const U16String& kitPath, std::vector<PackItem>* items);

}  // namespace packing
