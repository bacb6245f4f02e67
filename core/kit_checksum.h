// CRC-32 for the kit's checksum blocks, and the check of the entries' data
// against them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/distribution_kit.h"

// Continues crc (0 to start) over size bytes: the same values as zlib's
// crc32 (the polynomial of zip and PNG), computed with carry-less
// multiplication where the processor has it.
uint32_t KitCrc32(uint32_t crc, const uint8_t* data, size_t size);

// Compares the CRC-32 of each entry's bytes in the open work file (at their
// absolute offsets, which must lie inside it) with dataCrcs, one per entry.
// The file is read once in the order of the offsets, in blocks of 1 MiB.
// 0 when all match; 13 with *mismatch set to an entry whose data differs;
// the code of a failing read or seek, or 8 when the buffer cannot be had.
uint32_t CheckEntryData(FileHandle handle, const std::vector<KitEntry>& entries,
                        const std::vector<uint32_t>& dataCrcs, size_t* mismatch);
