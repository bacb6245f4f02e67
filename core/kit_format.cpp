#include "core/kit_format.h"

#include "core/kit_checksum.h"
#include "platform/paths.h"

namespace {

// A component of dots and blanks with two dots or more: Windows drops
// trailing dots and blanks, so each of these can reach the parent.
bool NamesParent(const char16_t* begin, const char16_t* end) {
  int dots = 0;
  for (const char16_t* p = begin; p != end; ++p) {
    if (*p == u'.') {
      ++dots;
    } else if (*p != u' ') {
      return false;
    }
  }
  return dots >= 2;
}

}  // namespace

U16String LoadUtf16(const uint8_t* bytes, uint32_t count) {
  U16String text(static_cast<size_t>(count), u' ');
  char16_t* units = text.MutableData();
  for (uint32_t i = 0; i < count; ++i) {
    units[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
  return text;
}

ChecksumTail ReadChecksumTail(const uint8_t* tail, size_t tailSize, uint32_t blockSize,
                              uint32_t* crcs) {
  if (tailSize < 4 || LoadU32(tail) != kChecksumMarker) return ChecksumTail::kNone;
  if (tailSize < blockSize || LoadU32(tail + 4) == 0) return ChecksumTail::kBroken;
  for (uint32_t at = 8; at < blockSize; at += 4) crcs[(at - 8) / 4] = LoadU32(tail + at);
  return ChecksumTail::kBlock;
}

uint32_t RecordCrc(uint32_t length, const uint8_t* body, size_t fieldBytes) {
  uint8_t field[4];
  StoreU32(field, length);
  return KitCrc32(KitCrc32(0, field, 4), body, fieldBytes);
}

const char* EntryNameProblem(const U16String& name) {
  size_t length = name.Length();
  if (length == 0) return "the name is empty";
  const char16_t* units = name.Data();
  for (size_t i = 0; i < length; ++i) {
    if (units[i] == 0) return "the name holds a zero character";
  }
  if (IsSeparator(units[0])) return "the name starts at a root";
  if (length >= 2 && units[1] == u':' &&
      ((units[0] >= u'A' && units[0] <= u'Z') || (units[0] >= u'a' && units[0] <= u'z')))
    return "the name starts with a drive";
  size_t start = 0;
  while (start <= length) {
    size_t stop = start;
    while (stop < length && !IsSeparator(units[stop])) ++stop;
    if (NamesParent(units + start, units + stop))
      return "the name leads out of the template directory";
    start = stop + 1;
  }
  return nullptr;
}
