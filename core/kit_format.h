// Pieces of the work file format shared by the kit reader and the kit maker:
// little-endian fields, record sizes, the checksum blocks and the rule for
// entry names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/strings.h"

// Smallest records: a description of four empty strings, an entry with an
// empty name.
constexpr uint32_t kMinDescriptionRecordSize = 4 + 4 * 4;
constexpr uint32_t kMinEntryRecordSize = 24;

// Checksum blocks. Every reader skips a record's bytes after its last field
// by the record length, and mkkit puts a checksum block there, so that a kit
// damaged in transit is refused before anything is installed:
//
//   entry record, after the size field (16 bytes):
//     "KCRC" | version | CRC-32 of the entry's data |
//     CRC-32 of the record from its length field to the end of its size field
//   description record, after the fourth string (12 bytes):
//     "KCRC" | version | CRC-32 of the record from its length field to the
//     end of its fourth string
//
// All fields are 32-bit little-endian; CRC-32 is zlib's crc32. The
// single-description header has no record and so no block. A tail that
// starts with the marker holds a block: its version is 1 or more (a later
// version keeps these fields where they are and may add more after them)
// and it is whole, or the record is damaged. A kit carries checksums when
// its records hold blocks; then every record must hold one, every checksum
// must match, and the data area must end where the furthest entry's data
// ends (mkkit leaves nothing after it), so that a damaged count of records
// cannot pass either. A kit whose records hold no block is read without
// these checks.
constexpr uint32_t kChecksumMarker = 0x4352434Bu;  // "KCRC" in file order
constexpr uint32_t kChecksumVersion = 1;
constexpr uint32_t kEntryChecksumBlockSize = 16;
constexpr uint32_t kDescriptionChecksumBlockSize = 12;

inline uint32_t LoadU32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}
inline void StoreU32(uint8_t* bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
  bytes[2] = static_cast<uint8_t>(value >> 16);
  bytes[3] = static_cast<uint8_t>(value >> 24);
}
// count UTF-16LE code units.
U16String LoadUtf16(const uint8_t* bytes, uint32_t count);

// What a record's tail (the bytes after its last field) holds.
enum class ChecksumTail {
  kNone,    // no block: the tail is empty or does not start with the marker
  kBlock,   // a block; its checksums are in crcs
  kBroken,  // the marker, but a version of 0 or a block cut short
};
// Reads the checksum block of blockSize bytes from the start of a tail:
// crcs receives its (blockSize - 8) / 4 checksums.
ChecksumTail ReadChecksumTail(const uint8_t* tail, size_t tailSize, uint32_t blockSize,
                              uint32_t* crcs);
// CRC-32 of a record's length field followed by the first fieldBytes bytes
// of its body: what a block's record checksum covers.
uint32_t RecordCrc(uint32_t length, const uint8_t* body, size_t fieldBytes);

// Why an entry name may not be installed, or nullptr when it may: a name must
// stay inside the template directory wherever it is installed, so it is not
// empty, holds no zero unit, does not start at a root or a drive ("\", "/",
// "X:") and has no component of dots only that names a parent ("..", and
// the forms Windows treats alike, such as "..." or ".. ") under either
// separator.
const char* EntryNameProblem(const U16String& name);
inline bool IsSafeEntryName(const U16String& name) {
  return EntryNameProblem(name) == nullptr;
}
