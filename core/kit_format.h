// Pieces of the work file format shared by the kit reader and the kit maker:
// little-endian fields, record sizes and the rule for entry names.
#pragma once

#include <cstdint>

#include "platform/strings.h"

// Smallest records: a description of four empty strings, an entry with an
// empty name.
constexpr uint32_t kMinDescriptionRecordSize = 4 + 4 * 4;
constexpr uint32_t kMinEntryRecordSize = 24;

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
