#include "tools/mkkit/kit_writer.h"

#include "core/kit_checksum.h"
#include "core/kit_format.h"

namespace {

constexpr uint32_t kOutputBufferSize = 0x40000;

uint32_t Units32(const U16String& text) {
  return static_cast<uint32_t>(text.Length());
}

// The record's length field and its fields, followed, with checksum, by
// the checksum block: an entry's data checksum (dataCrc) comes first.
std::string Record(const std::string& fields, uint32_t blockSize, const uint32_t* dataCrc,
                   bool checksum) {
  uint32_t length = static_cast<uint32_t>(4 + fields.size() + (checksum ? blockSize : 0));
  WorkFileBuilder record;
  record.U32(length).Bytes(fields);
  if (checksum) {
    uint32_t recordCrc =
        RecordCrc(length, reinterpret_cast<const uint8_t*>(fields.data()), fields.size());
    record.U32(kChecksumMarker).U32(kChecksumVersion);
    if (dataCrc) record.U32(*dataCrc);
    record.U32(recordCrc);
  }
  return record.bytes();
}

}  // namespace

WorkFileBuilder& WorkFileBuilder::U32(uint32_t value) {
  uint8_t bytes[4];
  StoreU32(bytes, value);
  bytes_.append(reinterpret_cast<const char*>(bytes), 4);
  return *this;
}

WorkFileBuilder& WorkFileBuilder::U64(uint64_t value) {
  U32(static_cast<uint32_t>(value));
  return U32(static_cast<uint32_t>(value >> 32));
}

WorkFileBuilder& WorkFileBuilder::Units(const U16String& text) {
  for (size_t i = 0; i < text.Length(); ++i) {
    bytes_.push_back(static_cast<char>(text[i] & 0xFF));
    bytes_.push_back(static_cast<char>(text[i] >> 8));
  }
  return *this;
}

WorkFileBuilder& WorkFileBuilder::String(const U16String& text) {
  U32(Units32(text));
  return Units(text);
}

WorkFileBuilder& WorkFileBuilder::Bytes(const std::string& bytes) {
  bytes_.append(bytes);
  return *this;
}

std::string DescriptionRecord(const KitDescription& description, bool checksum) {
  WorkFileBuilder fields;
  fields.String(description.languageCode)
      .String(description.productName)
      .String(description.vendorName)
      .String(description.descriptionLink);
  return Record(fields.bytes(), kDescriptionChecksumBlockSize, nullptr, checksum);
}

std::string EntryRecord(const KitEntry& entry, const uint32_t* dataCrc) {
  WorkFileBuilder fields;
  fields.String(entry.name).U64(entry.lastWriteTime).U32(entry.offset).U32(entry.size);
  return Record(fields.bytes(), kEntryChecksumBlockSize, dataCrc, dataCrc != nullptr);
}

std::string KitHeader(const std::vector<KitDescription>& descriptions, bool single,
                      bool checksums) {
  WorkFileBuilder header;
  if (single) {
    KitDescription only = descriptions.empty() ? KitDescription() : descriptions.front();
    header.U32(0).String(only.productName).String(only.vendorName).String(only.descriptionLink);
    return header.bytes();
  }
  header.U32(1).U32(static_cast<uint32_t>(descriptions.size()));
  for (const KitDescription& description : descriptions) {
    header.Bytes(DescriptionRecord(description, checksums));
  }
  return header.bytes();
}

std::string KitDirectory(const std::vector<KitEntry>& entries,
                         const std::vector<uint32_t>* dataCrcs) {
  WorkFileBuilder directory;
  directory.U32(static_cast<uint32_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i)
    directory.Bytes(EntryRecord(entries[i], dataCrcs ? &(*dataCrcs)[i] : nullptr));
  return directory.bytes();
}

std::string BuildWorkFile(const std::vector<KitDescription>& descriptions, bool single,
                          const std::vector<KitFile>& files, bool checksums) {
  std::vector<KitEntry> entries;
  std::vector<uint32_t> dataCrcs;
  std::string data;
  for (const KitFile& file : files) {
    KitEntry entry;
    entry.name = file.name;
    entry.lastWriteTime = file.lastWriteTime;
    entry.offset = static_cast<uint32_t>(data.size());
    entry.size = static_cast<uint32_t>(file.data.size());
    entries.push_back(entry);
    dataCrcs.push_back(
        KitCrc32(0, reinterpret_cast<const uint8_t*>(file.data.data()), file.data.size()));
    data += file.data;
  }
  return KitHeader(descriptions, single, checksums) +
         KitDirectory(entries, checksums ? &dataCrcs : nullptr) + data;
}

std::string DeflateRaw(const std::string& bytes, int level) {
  z_stream stream{};
  if (deflateInit2(&stream, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out;
  out.resize(deflateBound(&stream, bytes.size()));
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

RawDeflateWriter::~RawDeflateWriter() {
  if (started_) deflateEnd(&stream_);
}

uint32_t RawDeflateWriter::Start(FileHandle output, int level) {
  if (started_) return kErrorInvalidParameter;
  if (deflateInit2(&stream_, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    return kErrorInvalidParameter;
  started_ = true;
  output_ = output;
  buffer_.reset(new uint8_t[kOutputBufferSize]);
  return 0;
}

uint32_t RawDeflateWriter::Add(const void* data, size_t size) {
  if (!started_) return kErrorInvalidParameter;
  const Bytef* next = static_cast<const Bytef*>(data);
  while (size > 0) {
    uInt piece = size > 0x40000000u ? 0x40000000u : static_cast<uInt>(size);
    stream_.next_in = const_cast<Bytef*>(next);
    stream_.avail_in = piece;
    uint32_t result = Deflate(Z_NO_FLUSH);
    if (result != 0) return result;
    next += piece;
    size -= piece;
    bytesIn_ += piece;
  }
  return 0;
}

uint32_t RawDeflateWriter::Finish() {
  if (!started_) return kErrorInvalidParameter;
  stream_.next_in = nullptr;
  stream_.avail_in = 0;
  return Deflate(Z_FINISH);
}

// Runs deflate until it has taken all input (and, when finishing, has ended
// the stream), writing each full output buffer.
uint32_t RawDeflateWriter::Deflate(int flush) {
  for (;;) {
    stream_.next_out = buffer_.get();
    stream_.avail_out = kOutputBufferSize;
    int result = deflate(&stream_, flush);
    if (result == Z_STREAM_ERROR) return kErrorInvalidParameter;
    uint32_t produced = kOutputBufferSize - stream_.avail_out;
    if (produced > 0) {
      uint32_t written = 0;
      uint32_t failed = FileApi::Write(output_, buffer_.get(), produced, &written);
      if (failed != 0) return failed;
      bytesOut_ += produced;
    }
    if (flush == Z_FINISH ? result == Z_STREAM_END
                          : stream_.avail_in == 0 && stream_.avail_out != 0)
      return 0;
  }
}
