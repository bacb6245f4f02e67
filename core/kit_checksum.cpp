// zlib's table-driven crc32 runs at about a third of the speed of inflate,
// which would make checking a kit cost a quarter of its unpacking. Runs of
// 64 bytes or more are folded 64 bytes at a time with carry-less
// multiplication instead (the folding method for the reflected CRC-32
// polynomial 0xEDB88320); the rest goes through zlib.
#include "core/kit_checksum.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>

#include "core/kit_format.h"
#include "platform/result_codes.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KIT_CRC_FOLDING 1
#endif

namespace {

#ifdef KIT_CRC_FOLDING

// Below this length the folding does not pay for its set-up.
constexpr size_t kFoldingMinimum = 64;

// Folds len bytes (a multiple of 16, at least 64) into the inner CRC state
// (the complement of zlib's value) and returns the new state.
__attribute__((target("pclmul,sse4.1"))) uint32_t Fold(const uint8_t* data, size_t len,
                                                       uint32_t state) {
  // x^(512+32), x^(512-32) mod P: folding 64 bytes; then x^(128+32),
  // x^(128-32): folding 16 bytes; x^64 mod P; Barrett's P' and mu.
  alignas(16) static const uint64_t k1k2[] = {0x154442bd4ull, 0x1c6e41596ull};
  alignas(16) static const uint64_t k3k4[] = {0x1751997d0ull, 0x0ccaa009eull};
  alignas(16) static const uint64_t k5k0[] = {0x163cd6124ull, 0};
  alignas(16) static const uint64_t poly[] = {0x1db710641ull, 0x1f7011641ull};
  auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };

  __m128i x1 = load(data);
  __m128i x2 = load(data + 16);
  __m128i x3 = load(data + 32);
  __m128i x4 = load(data + 48);
  x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(state)));
  __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
  data += 64;
  len -= 64;

  while (len >= 64) {
    __m128i x5 = _mm_clmulepi64_si128(x1, k, 0x00);
    __m128i x6 = _mm_clmulepi64_si128(x2, k, 0x00);
    __m128i x7 = _mm_clmulepi64_si128(x3, k, 0x00);
    __m128i x8 = _mm_clmulepi64_si128(x4, k, 0x00);
    x1 = _mm_clmulepi64_si128(x1, k, 0x11);
    x2 = _mm_clmulepi64_si128(x2, k, 0x11);
    x3 = _mm_clmulepi64_si128(x3, k, 0x11);
    x4 = _mm_clmulepi64_si128(x4, k, 0x11);
    x1 = _mm_xor_si128(_mm_xor_si128(x1, x5), load(data));
    x2 = _mm_xor_si128(_mm_xor_si128(x2, x6), load(data + 16));
    x3 = _mm_xor_si128(_mm_xor_si128(x3, x7), load(data + 32));
    x4 = _mm_xor_si128(_mm_xor_si128(x4, x8), load(data + 48));
    data += 64;
    len -= 64;
  }

  // Four lanes into one, then the remaining 16-byte blocks.
  k = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
  const __m128i lanes[] = {x2, x3, x4};
  for (const __m128i& next : lanes) {
    __m128i low = _mm_clmulepi64_si128(x1, k, 0x00);
    x1 = _mm_clmulepi64_si128(x1, k, 0x11);
    x1 = _mm_xor_si128(_mm_xor_si128(x1, next), low);
  }
  while (len >= 16) {
    __m128i low = _mm_clmulepi64_si128(x1, k, 0x00);
    x1 = _mm_clmulepi64_si128(x1, k, 0x11);
    x1 = _mm_xor_si128(_mm_xor_si128(x1, load(data)), low);
    data += 16;
    len -= 16;
  }

  // 128 bits to 64, then to 32 by Barrett reduction.
  __m128i x = _mm_clmulepi64_si128(x1, k, 0x10);
  const __m128i mask32 = _mm_setr_epi32(~0, 0, ~0, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x);
  k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
  x = _mm_srli_si128(x1, 4);
  x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k, 0x00);
  x1 = _mm_xor_si128(x1, x);
  k = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
  x = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k, 0x10);
  x = _mm_clmulepi64_si128(_mm_and_si128(x, mask32), k, 0x00);
  x1 = _mm_xor_si128(x1, x);
  return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

bool HasFolding() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return has;
}

#endif  // KIT_CRC_FOLDING

// Compares the CRC-32 of each entry's bytes with dataCrcs, reading the file
// once in the order of the offsets, in blocks of 1 MiB. 0; 13 with mismatch
// set to an entry whose data differ; a read's or seek's code; 8.
uint32_t CheckEntryData(FileHandle handle, const std::vector<KitEntry>& entries,
                        const std::vector<uint32_t>& dataCrcs, size_t* mismatch) {
  constexpr uint32_t kBlockSize = 0x100000;
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kBlockSize]);
  if (!block) return kErrorNotEnoughMemory;

  // In the order of the offsets, so that consecutive entries (as mkkit
  // writes them) share the blocks read and the file is read once.
  std::vector<size_t> order(entries.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return entries[a].offset < entries[b].offset; });

  uint64_t blockStart = 0;  // the file bytes the block holds
  uint64_t blockEnd = 0;
  for (size_t index : order) {
    uint64_t at = entries[index].offset;
    uint64_t end = at + entries[index].size;
    uint32_t crc = 0;
    while (at < end) {
      if (at < blockStart || at >= blockEnd) {
        // With the high half given, positions past 2 GiB are not negative.
        int32_t high = static_cast<int32_t>(at >> 32);
        uint32_t low = FileApi::Seek(handle, static_cast<uint32_t>(at), &high, kSeekBegin);
        if ((static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32 | low) != at) {
          uint32_t error = FileApi::LastError();
          return error != 0 ? error : kErrorInvalidData;
        }
        uint32_t got = 0;
        uint32_t result = FileApi::Read(handle, block.get(), kBlockSize, &got);
        if (result != 0) return result;
        if (got == 0) return kErrorInvalidData;
        blockStart = at;
        blockEnd = at + got;
      }
      uint64_t stop = std::min(end, blockEnd);
      crc = KitCrc32(crc, block.get() + (at - blockStart), static_cast<size_t>(stop - at));
      at = stop;
    }
    if (crc != dataCrcs[index]) {
      *mismatch = index;
      return kErrorInvalidData;
    }
  }
  return 0;
}

}  // namespace

uint32_t KitCrc32(uint32_t crc, const uint8_t* data, size_t size) {
#ifdef KIT_CRC_FOLDING
  if (size >= kFoldingMinimum && HasFolding()) {
    size_t folded = size & ~static_cast<size_t>(15);
    crc = ~Fold(data, folded, ~crc);
    data += folded;
    size -= folded;
  }
#endif
  return static_cast<uint32_t>(crc32_z(crc, data, size));
}

bool KitChecksumCheck::Description(uint32_t index, const KitDescription& description,
                                   uint32_t length, const std::vector<uint8_t>& body,
                                   size_t fieldBytes) {
  uint32_t crc = 0;
  if (!Block(body, fieldBytes, kDescriptionChecksumBlockSize, &crc)) {
    NoBlock(KitChecksumFault::kDescriptionBlock, index, description.languageCode);
    return true;
  }
  if (crc != RecordCrc(length, body.data(), fieldBytes))
    return Fault(KitChecksumFault::kDescriptionRecord, index, description.languageCode);
  return true;
}

bool KitChecksumCheck::Entry(uint32_t index, const KitEntry& entry, uint32_t length,
                             const std::vector<uint8_t>& body, size_t fieldBytes) {
  uint32_t crcs[2] = {};
  if (!Block(body, fieldBytes, kEntryChecksumBlockSize, crcs)) {
    NoBlock(KitChecksumFault::kEntryBlock, index, entry.name);
    dataCrcs_.push_back(0);
    return true;
  }
  if (crcs[1] != RecordCrc(length, body.data(), fieldBytes))
    return Fault(KitChecksumFault::kEntryRecord, index, entry.name);
  dataCrcs_.push_back(crcs[0]);
  return true;
}

uint32_t KitChecksumCheck::Finish(FileHandle handle, const std::vector<KitEntry>& entries,
                                  uint64_t dataStart, uint64_t dataEnd) {
  if (!report_.carried) return 0;
  if (without_.fault != KitChecksumFault::kNone) {
    Fault(without_.fault, without_.index, without_.record);
    return kErrorInvalidData;
  }
  // mkkit leaves nothing after the last entry's data; bytes there mean that
  // the directory lost records.
  uint64_t furthest = dataStart;
  for (const KitEntry& entry : entries)
    furthest = std::max<uint64_t>(furthest, static_cast<uint64_t>(entry.offset) + entry.size);
  if (furthest != dataEnd) {
    Fault(KitChecksumFault::kDataAfterEntries, 0, U16String());
    return kErrorInvalidData;
  }
  size_t mismatch = 0;
  uint32_t result = CheckEntryData(handle, entries, dataCrcs_, &mismatch);
  if (result == kErrorInvalidData)
    Fault(KitChecksumFault::kEntryData, static_cast<uint32_t>(mismatch), entries[mismatch].name);
  return result;
}

// A marker alone shows that the kit carries checksums.
bool KitChecksumCheck::Block(const std::vector<uint8_t>& body, size_t fieldBytes,
                             uint32_t blockSize, uint32_t* crcs) {
  ChecksumTail tail =
      ReadChecksumTail(body.data() + fieldBytes, body.size() - fieldBytes, blockSize, crcs);
  if (tail != ChecksumTail::kNone) report_.carried = true;
  return tail == ChecksumTail::kBlock;
}

void KitChecksumCheck::NoBlock(KitChecksumFault fault, uint32_t index, const U16String& record) {
  if (without_.fault == KitChecksumFault::kNone) without_ = {true, fault, index, record};
}

bool KitChecksumCheck::Fault(KitChecksumFault fault, uint32_t index, const U16String& record) {
  report_ = {true, fault, index, record};
  return false;
}
