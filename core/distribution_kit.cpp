// The kit reader: inflates the kit into a work file, then reads each record
// with two calls (its length, then its whole body) and parses it from memory.
// Every size read from the file is checked against the bytes that are left
// before anything is allocated or read for it. Checksum blocks in the
// records' tails are checked as each record is parsed; the entries' data
// in one pass over the data area once the directory is read.
#include "core/distribution_kit.h"

#include "core/kit_checksum.h"
#include "core/kit_format.h"
#include "core/kit_unpack.h"
#include "platform/fs_helpers.h"

namespace {

// The reader's internal failure; it never leaves ReadKitDirectory.
struct KitReadError {
  uint32_t code;
};

[[noreturn]] void Fail(uint32_t code) {
  throw KitReadError{code};
}

// Sequential reads from the work file that never pass its end.
class WorkFileReader {
 public:
  WorkFileReader(FileHandle handle, uint64_t size) : handle_(handle), remaining_(size) {}

  uint64_t Remaining() const { return remaining_; }

  void ReadExactly(uint8_t* buffer, uint32_t count) {
    if (count > remaining_) Fail(kErrorInvalidData);
    uint32_t got = 0;
    uint32_t result = FileApi::Read(handle_, buffer, count, &got);
    if (result != 0) Fail(result);
    if (got != count) Fail(kErrorInvalidData);
    remaining_ -= count;
  }
  uint32_t ReadU32() {
    uint8_t bytes[4];
    ReadExactly(bytes, 4);
    return LoadU32(bytes);
  }
  U16String ReadString() {
    uint64_t bytes = static_cast<uint64_t>(ReadU32()) * 2;
    if (bytes > remaining_) Fail(kErrorInvalidData);
    buffer_.resize(bytes);
    ReadExactly(buffer_.data(), static_cast<uint32_t>(bytes));
    return LoadUtf16(buffer_.data(), static_cast<uint32_t>(bytes / 2));
  }
  // The body of a record whose length field (included in length) was just
  // read; minimum is the smallest length its fields allow.
  const std::vector<uint8_t>& ReadBody(uint32_t length, uint32_t minimum) {
    if (length < minimum) Fail(kErrorInvalidData);
    // A length past the end of the file must not cost an allocation of its size.
    if (length - 4 > remaining_) Fail(kErrorInvalidData);
    buffer_.resize(length - 4);
    ReadExactly(buffer_.data(), length - 4);
    return buffer_;
  }

 private:
  FileHandle handle_;
  uint64_t remaining_;
  std::vector<uint8_t> buffer_;
};

// Fields taken from the start of a record body held in memory.
class BodyParser {
 public:
  explicit BodyParser(const std::vector<uint8_t>& body)
      : start_(body.data()), next_(body.data()), left_(body.size()) {}

  uint32_t U32() {
    if (left_ < 4) Fail(kErrorInvalidData);
    uint32_t value = LoadU32(next_);
    Skip(4);
    return value;
  }
  uint64_t U64() {
    uint64_t low = U32();
    return low | static_cast<uint64_t>(U32()) << 32;
  }
  U16String String() {
    uint64_t bytes = static_cast<uint64_t>(U32()) * 2;
    if (bytes > left_) Fail(kErrorInvalidData);
    U16String text = LoadUtf16(next_, static_cast<uint32_t>(bytes / 2));
    Skip(static_cast<size_t>(bytes));
    return text;
  }
  // The bytes taken so far: the record's fields, before its tail.
  size_t Taken() const { return static_cast<size_t>(next_ - start_); }

 private:
  void Skip(size_t count) {
    next_ += count;
    left_ -= count;
  }
  const uint8_t* start_;
  const uint8_t* next_;
  size_t left_;
};

uint64_t Position(FileHandle handle, uint32_t origin) {
  int32_t high = 0;
  uint32_t low = FileApi::Seek(handle, 0, &high, origin);
  return static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32 | low;
}

void ReadDescriptions(WorkFileReader& reader, KitChecksumCheck& check,
                      std::vector<KitDescription>* descriptions) {
  uint32_t format = reader.ReadU32();
  if (format == 0) {
    KitDescription description;
    description.languageCode = u"en";
    description.productName = reader.ReadString();
    description.vendorName = reader.ReadString();
    description.descriptionLink = reader.ReadString();
    descriptions->push_back(description);
    return;
  }
  uint32_t count = reader.ReadU32();
  if (static_cast<uint64_t>(count) * kMinDescriptionRecordSize > reader.Remaining())
    Fail(kErrorInvalidData);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t length = reader.ReadU32();
    const std::vector<uint8_t>& bytes = reader.ReadBody(length, kMinDescriptionRecordSize);
    BodyParser body(bytes);
    KitDescription description;
    description.languageCode = body.String();
    description.productName = body.String();
    description.vendorName = body.String();
    description.descriptionLink = body.String();
    if (!check.Description(i, description, length, bytes, body.Taken())) Fail(kErrorInvalidData);
    descriptions->push_back(description);
  }
}

void ReadEntries(WorkFileReader& reader, KitChecksumCheck& check, std::vector<KitEntry>* entries) {
  uint32_t count = reader.ReadU32();
  if (static_cast<uint64_t>(count) * kMinEntryRecordSize > reader.Remaining())
    Fail(kErrorInvalidData);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t length = reader.ReadU32();
    const std::vector<uint8_t>& bytes = reader.ReadBody(length, kMinEntryRecordSize);
    BodyParser body(bytes);
    // The parser refuses a name, time, offset or size that runs past L.
    KitEntry entry;
    entry.name = body.String();
    entry.lastWriteTime = body.U64();
    entry.offset = body.U32();
    entry.size = body.U32();
    // A damaged name is reported as damage rather than as a bad name.
    if (!check.Entry(i, entry, length, bytes, body.Taken())) Fail(kErrorInvalidData);
    if (!IsSafeEntryName(entry.name)) Fail(kErrorInvalidData);
    entries->push_back(entry);
  }
}

void CloseAndDelete(DistributionKit& kit) {
  if (kit.handle != kInvalidFileHandle) {
    FileApi::Close(kit.handle);
    kit.handle = kInvalidFileHandle;
  }
  if (kit.workLock.IsOpen()) {
    kit.workLock.Delete();
  } else if (!kit.workPath.IsEmpty()) {
    DeleteFilePath(kit.workPath);
  }
  kit.workPath.Clear();
}

}  // namespace

const char16_t kWorkFilePrefix[] = u"bdk";
const char16_t kWorkFileSuffix[] = u".work";

DistributionKit::DistributionKit() : copyBuffer(new uint8_t[kCopyBufferSize]) {}

DistributionKit::~DistributionKit() {
  CloseAndDelete(*this);
}

uint32_t ReadKitDirectory(FileHandle handle, std::vector<KitDescription>* descriptions,
                          std::vector<KitEntry>* entries, KitChecksumReport* report) {
  KitChecksumCheck check;
  uint32_t result = 0;
  try {
    uint64_t size = Position(handle, kSeekEnd);
    if (size > kMaxWorkFileSize) Fail(kErrorInvalidData);
    if (Position(handle, kSeekBegin) != 0) Fail(kErrorInvalidData);
    WorkFileReader reader(handle, size);
    ReadDescriptions(reader, check, descriptions);
    entries->clear();
    ReadEntries(reader, check, entries);
    uint64_t dataStart = Position(handle, kSeekCurrent);
    if (dataStart != size - reader.Remaining()) Fail(kErrorInvalidData);
    for (KitEntry& entry : *entries) {
      uint64_t begin = dataStart + entry.offset;
      if (begin + entry.size > size) Fail(kErrorInvalidData);
      entry.offset = static_cast<uint32_t>(begin);
    }
    result = check.Finish(handle, *entries, dataStart, size);
  } catch (const KitReadError& error) {
    result = error.code;
  }
  if (report) *report = check.report();
  return result;
}

uint32_t ReadKit(DistributionKit& kit, const U16String& kitPath, KitChecksumReport* report) {
  if (report) *report = KitChecksumReport();
  CloseAndDelete(kit);
  kit.descriptions.clear();
  kit.entries.clear();

  U16String tempDirectory;
  uint32_t result = GetTempDirectory(&tempDirectory);
  if (result != 0) return result;
  // Locked from its first moment; where the temporary directory refuses a
  // new file, an unlocked one in the places scratch files fall back to.
  U16String workPath;
  if (kit.workLock.CreateUnique(tempDirectory, kWorkFilePrefix, kWorkFileSuffix,
                                LockedFile::Use::kOpenedByName, &workPath) != 0) {
    result = CreateTempFile(tempDirectory, kWorkFilePrefix, &workPath);
    if (result != 0) return result;
  }
  kit.workPath = workPath;

  result = UnpackKit(kitPath, kit.workPath);
  if (result == 0) {
    result = FileApi::Open(kit.workPath, kAccessRead | kAccessWrite, kOpenExisting, &kit.handle,
                           kShareNone);
  }
  if (result == 0) result = ReadKitDirectory(kit.handle, &kit.descriptions, &kit.entries, report);
  if (result != 0) {
    kit.entries.clear();
    CloseAndDelete(kit);
  }
  return result;
}

void GetProductAndVendor(const DistributionKit& kit, const U16String& languageCode,
                         U16String* productName, U16String* vendorName) {
  const KitDescription* found = nullptr;
  for (const KitDescription& description : kit.descriptions) {
    if (EqualNoCase(description.languageCode, languageCode)) {
      found = &description;
      break;
    }
  }
  if (productName) *productName = found ? found->productName : U16String();
  if (vendorName) *vendorName = found ? found->vendorName : U16String();
}

U16String GetDescriptionLink(const DistributionKit& kit, const U16String& languageCode) {
  for (const KitDescription& description : kit.descriptions) {
    if (EqualNoCase(description.languageCode, languageCode)) {
      if (!description.descriptionLink.IsEmpty()) return description.descriptionLink;
      break;
    }
  }
  for (const KitDescription& description : kit.descriptions) {
    if (EqualNoCase(description.languageCode, u"en")) return description.descriptionLink;
  }
  return U16String();
}
