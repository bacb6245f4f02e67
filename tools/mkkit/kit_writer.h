// Work file bytes and raw deflate streams: what the kit maker writes, and
// what tests use to make good and malformed kits.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/distribution_kit.h"

// Little-endian composition of work file bytes, field by field, with no
// checks, so that malformed files can be made as easily as good ones.
class WorkFileBuilder {
 public:
  WorkFileBuilder& U32(uint32_t value);
  WorkFileBuilder& U64(uint64_t value);
  // The text's UTF-16LE units, without a length.
  WorkFileBuilder& Units(const U16String& text);
  // A string field: the number of units, then the units.
  WorkFileBuilder& String(const U16String& text);
  WorkFileBuilder& Bytes(const std::string& bytes);

  const std::string& bytes() const { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  std::string bytes_;
};

// One description record, its length field included; with checksum, its
// tail holds the checksum block (see kit_format.h).
std::string DescriptionRecord(const KitDescription& description, bool checksum = false);
// One entry record; entry.offset is relative to the data area. With
// dataCrc, its tail holds the checksum block with that data checksum.
std::string EntryRecord(const KitEntry& entry, const uint32_t* dataCrc = nullptr);
// The header: format 0 from the one description when single, otherwise
// format 1 with the list of description records (with checksum blocks when
// checksums).
std::string KitHeader(const std::vector<KitDescription>& descriptions, bool single,
                      bool checksums = false);
// The file directory: the count, then the entry records; with dataCrcs (one
// per entry) each record holds its checksum block.
std::string KitDirectory(const std::vector<KitEntry>& entries,
                         const std::vector<uint32_t>* dataCrcs = nullptr);

struct KitFile {
  U16String name;
  FileTime lastWriteTime = 0;
  std::string data;
};
// A whole work file: header, directory with consecutive offsets from 0, data;
// with checksums, every record holds its checksum block, as mkkit writes it.
std::string BuildWorkFile(const std::vector<KitDescription>& descriptions, bool single,
                          const std::vector<KitFile>& files, bool checksums = false);

// Raw deflate (no zlib or gzip wrapper) of bytes at a level from 0 to 9.
std::string DeflateRaw(const std::string& bytes, int level = Z_BEST_COMPRESSION);

// A raw deflate stream written to an open file while its input arrives, so
// that large inputs never sit in memory whole.
class RawDeflateWriter {
 public:
  RawDeflateWriter() = default;
  ~RawDeflateWriter();
  RawDeflateWriter(const RawDeflateWriter&) = delete;
  RawDeflateWriter& operator=(const RawDeflateWriter&) = delete;

  // 0, or non-zero when zlib refuses the level.
  uint32_t Start(FileHandle output, int level);
  // 0, or the code of a failed write.
  uint32_t Add(const void* data, size_t size);
  // Ends the stream and writes what is left.
  uint32_t Finish();
  uint64_t bytesIn() const { return bytesIn_; }
  uint64_t bytesOut() const { return bytesOut_; }

 private:
  uint32_t Deflate(int flush);

  z_stream stream_{};
  bool started_ = false;
  FileHandle output_ = kInvalidFileHandle;
  std::unique_ptr<uint8_t[]> buffer_;
  uint64_t bytesIn_ = 0;
  uint64_t bytesOut_ = 0;
};
