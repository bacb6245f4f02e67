// The kit is mapped whole and handed to zlib at once; the output leaves in
// 32 KiB blocks, one write per block.
#include "core/kit_unpack.h"

#include <zlib.h>

#include <memory>
#include <new>

#include "platform/file_api.h"
#include "platform/file_mapping.h"

namespace {

constexpr uint32_t kOutputBlockSize = 0x8000;

// Writes one block of output; a short write is a failure.
uint32_t WriteBlock(FileHandle work, const uint8_t* data, uint32_t count) {
  uint32_t written = 0;
  uint32_t result = FileApi::Write(work, data, count, &written);
  if (result == 0 && written != count) result = kErrorWriteFault;
  return result;
}

// Runs the inflate loop over the whole input; 0 or the outcome's code.
uint32_t Inflate(const uint8_t* input, uint32_t inputLength, FileHandle work,
                 uint64_t outputLimit) {
  z_stream stream{};
  stream.next_in = const_cast<Bytef*>(input);
  stream.avail_in = inputLength;
  // The library's own version and structure size: a fixed version string of
  // another release line would be refused by inflateInit2_.
  if (inflateInit2(&stream, -15) != Z_OK) return kErrorInvalidData;

  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kOutputBlockSize]);
  if (!block) {
    inflateEnd(&stream);
    return kErrorNotEnoughMemory;
  }

  uint32_t outcome = 0;
  uint64_t total = 0;
  for (;;) {
    stream.next_out = block.get();
    stream.avail_out = kOutputBlockSize;
    int result = inflate(&stream, Z_NO_FLUSH);
    uint32_t produced = kOutputBlockSize - stream.avail_out;
    bool corrupt = false;
    if (result == Z_BUF_ERROR) {
      // Without input left zlib only asks for more: the stream is cut short.
      if (stream.avail_in > 0) {
        corrupt = true;
      } else {
        result = Z_OK;
      }
    }
    total += produced;
    if (total > outputLimit) {
      outcome = kErrorInvalidData;
      break;
    }
    if (produced > 0) {
      uint32_t written = WriteBlock(work, block.get(), produced);
      if (written != 0) {
        outcome = written;
        break;
      }
    }
    if (corrupt) {
      outcome = kErrorInvalidData;
      break;
    }
    if (result != Z_OK) {
      outcome = result == Z_STREAM_END ? 0 : kErrorInvalidData;
      break;
    }
    if (stream.avail_out != 0) break;
  }
  inflateEnd(&stream);
  return outcome;
}

}  // namespace

uint32_t UnpackKit(const U16String& kitPath, const U16String& workPath, uint64_t outputLimit) {
  FileHandle kit = kInvalidFileHandle;
  uint32_t result = FileApi::Open(kitPath, kAccessRead, kOpenExisting, &kit, kShareNone);
  if (result != 0) return result;
  FileHandle work = kInvalidFileHandle;
  result = FileApi::Open(workPath, kAccessWrite, kCreateAlways, &work, kShareNone);
  if (result != 0) {
    FileApi::Close(kit);
    return result;
  }

  int32_t high = 0;
  uint32_t low = FileApi::Seek(kit, 0, &high, kSeekEnd);
  // 0xFFFFFFFF is also the failure value; such a kit is refused either way.
  if (high != 0 || low == 0xFFFFFFFFu) {
    result = kErrorFileTooLarge;
  } else {
    FileMapping mapping;
    if (low > 0) result = MapFileReadOnly(kit, low, &mapping);
    if (result == 0) result = Inflate(mapping.data, low, work, outputLimit);
    UnmapFile(&mapping);
  }

  // The work file holds exactly the inflated bytes, whatever it held before.
  if (result == 0) result = FileApi::Truncate(work);
  // A late write error may only show when the file is closed.
  uint32_t closed = FileApi::Close(work);
  if (result == 0) result = closed;
  FileApi::Close(kit);
  return result;
}
