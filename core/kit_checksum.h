// CRC-32, and the check of a kit against the checksum blocks in its
// records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/distribution_kit.h"

// Continues crc (0 to start) over size bytes: the same values as zlib's
// crc32 (the polynomial of zip and PNG), computed with carry-less
// multiplication where the processor has it.
uint32_t KitCrc32(uint32_t crc, const uint8_t* data, size_t size);

// The checksum blocks of a kit's records (see kit_format.h), met one record
// at a time as the reader parses them, and what they promise of the data,
// checked once the directory is read. A failed check is in report().
class KitChecksumCheck {
 public:
  // A record as read: its length field and its body, whose first fieldBytes
  // bytes are its fields and the rest its tail. false when the record's
  // block does not match it.
  bool Description(uint32_t index, const KitDescription& description, uint32_t length,
                   const std::vector<uint8_t>& body, size_t fieldBytes);
  bool Entry(uint32_t index, const KitEntry& entry, uint32_t length,
             const std::vector<uint8_t>& body, size_t fieldBytes);

  // After the directory, when the records hold blocks: every record holds
  // one, the data area (dataStart to dataEnd in the open work file) ends
  // with the furthest entry, and each entry's data (at its absolute offset)
  // matches. 0; 13 when a check fails; the code of a failing read or seek,
  // or 8 when the 1 MiB read buffer cannot be had.
  uint32_t Finish(FileHandle handle, const std::vector<KitEntry>& entries, uint64_t dataStart,
                  uint64_t dataEnd);

  const KitChecksumReport& report() const { return report_; }

 private:
  bool Block(const std::vector<uint8_t>& body, size_t fieldBytes, uint32_t blockSize,
             uint32_t* crcs);
  void NoBlock(KitChecksumFault fault, uint32_t index, const U16String& record);
  bool Fault(KitChecksumFault fault, uint32_t index, const U16String& record);

  KitChecksumReport report_;
  KitChecksumReport without_;  // the first record without a whole block
  std::vector<uint32_t> dataCrcs_;
};
