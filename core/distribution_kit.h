// The opened distribution kit: its descriptions, its file directory and the
// work file (the inflated kit) from which the installer copies the files.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/file_api.h"
#include "platform/locked_file.h"
#include "platform/strings.h"

struct KitDescription {
  U16String languageCode;
  U16String productName;
  U16String vendorName;
  U16String descriptionLink;  // relative to the template directory, "\" separated
};

struct KitEntry {
  U16String name;  // relative to the template directory, "\" separated
  FileTime lastWriteTime = 0;
  uint32_t offset = 0;  // after reading: absolute position in the work file
  uint32_t size = 0;
};

class DistributionKit {
 public:
  static constexpr uint32_t kCopyBufferSize = 0x100000;

  DistributionKit();
  ~DistributionKit();  // closes and deletes the work file
  DistributionKit(const DistributionKit&) = delete;
  DistributionKit& operator=(const DistributionKit&) = delete;

  std::vector<KitDescription> descriptions;
  std::vector<KitEntry> entries;
  U16String workPath;
  // Held while the work file exists: a later run removes only the work
  // files of runs that died.
  LockedFile workLock;
  FileHandle handle = kInvalidFileHandle;
  uint32_t copyBufferSize = kCopyBufferSize;
  std::unique_ptr<uint8_t[]> copyBuffer;
};

// What the checksum blocks of a kit's records said (see kit_format.h).
enum class KitChecksumFault {
  kNone,
  kDescriptionRecord,  // a description's checksum does not match
  kEntryRecord,        // an entry record's checksum does not match
  kEntryData,          // an entry's data does not match its checksum
  kDescriptionBlock,   // a description holds no whole block where others hold one
  kEntryBlock,         // an entry holds no whole block where others hold one
  kDataAfterEntries,   // the data area runs on after the furthest entry's data
};
struct KitChecksumReport {
  bool carried = false;  // the kit's records hold checksum blocks
  // The first check that failed (the kit is then refused), the record it
  // concerns (descriptions and entries each counted from 0) and that
  // record's language code or entry name as read.
  KitChecksumFault fault = KitChecksumFault::kNone;
  uint32_t index = 0;
  U16String record;
};

// The work file's name: prefix, six letters or digits, suffix.
extern const char16_t kWorkFilePrefix[];
extern const char16_t kWorkFileSuffix[];

// Inflates the kit file into a new work file in the temporary directory and
// reads its descriptions and directory, checking the checksums that its
// records carry. 0, or a non-zero code (the kit is then damaged and the work
// file is gone). report, when given, says what the checksums said.
uint32_t ReadKit(DistributionKit& kit, const U16String& kitPath,
                 KitChecksumReport* report = nullptr);

// Reads the descriptions (appended) and the file directory (replacing
// entries) from the start of the open work file, and checks the checksums
// its records carry, the entries' data included; entry offsets become
// absolute. 0, 13 for a work file that is malformed, larger than 0xFFFFFFFF
// bytes or whose checksums do not hold, or the code of a failing read.
// Names that could leave the template directory count as malformed (see
// EntryNameProblem).
uint32_t ReadKitDirectory(FileHandle handle, std::vector<KitDescription>* descriptions,
                          std::vector<KitEntry>* entries, KitChecksumReport* report = nullptr);

// Product and vendor of the first description of that language (case
// ignored); both empty when there is none.
void GetProductAndVendor(const DistributionKit& kit, const U16String& languageCode,
                         U16String* productName, U16String* vendorName);
// The description link of that language, else of English, else empty.
U16String GetDescriptionLink(const DistributionKit& kit, const U16String& languageCode);
