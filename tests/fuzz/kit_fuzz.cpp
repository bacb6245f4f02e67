// Whole kits as shipped: the input is the kit file (a raw deflate stream).
// ReadKit either refuses it and leaves nothing behind, or accepts a kit whose
// every entry lies inside the work file, has a name that stays inside the
// template directory, and can be copied out.
#include <sys/stat.h>

#include <cstdint>

#include "core/distribution_kit.h"
#include "core/kit_format.h"
#include "core/template_installer.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void CheckLookups(const DistributionKit& kit) {
  const char16_t* codes[] = {u"en", u"ru", u"EN", u"de", u""};
  for (const char16_t* code : codes) {
    U16String product, vendor;
    GetProductAndVendor(kit, code, &product, &vendor);
    U16String link = GetDescriptionLink(kit, code);
    bool linkKnown = link.IsEmpty();
    for (const KitDescription& description : kit.descriptions)
      linkKnown = linkKnown || description.descriptionLink == link;
    FUZZ_CHECK(linkKnown);
  }
  if (!kit.descriptions.empty()) {
    const KitDescription& first = kit.descriptions.front();
    U16String product, vendor;
    GetProductAndVendor(kit, first.languageCode, &product, &vendor);
    FUZZ_CHECK(product == first.productName);
    FUZZ_CHECK(vendor == first.vendorName);
  }
}

void CheckAcceptedKit(DistributionKit& kit) {
  FUZZ_CHECK(kit.handle != kInvalidFileHandle);
  FUZZ_CHECK(!kit.workPath.IsEmpty());
  struct stat status;
  FUZZ_CHECK(fstat(static_cast<int>(kit.handle), &status) == 0);
  uint64_t size = static_cast<uint64_t>(status.st_size);
  for (size_t i = 0; i < kit.entries.size(); ++i) {
    const KitEntry& entry = kit.entries[i];
    FUZZ_CHECK(IsSafeEntryName(entry.name));
    FUZZ_CHECK(static_cast<uint64_t>(entry.offset) + entry.size <= size);
    FUZZ_CHECK(ExtractEntry(kit, i, u"/dev/null") == 0);
  }
  CheckLookups(kit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string kitPath = ScratchDirectory() + "/brvx.bkd";
  WriteWholeFile(kitPath, data, size);
  {
    DistributionKit kit;
    uint32_t result = ReadKit(kit, FromNarrow(kitPath.c_str()));
    if (result == 0) {
      CheckAcceptedKit(kit);
    } else {
      FUZZ_CHECK(kit.entries.empty());
      FUZZ_CHECK(kit.handle == kInvalidFileHandle);
      FUZZ_CHECK(kit.workPath.IsEmpty());
      FUZZ_CHECK(CountDirectoryEntries(ScratchTempDirectory()) == 0);
    }
  }
  // The kit object deletes its work file when it goes.
  FUZZ_CHECK(CountDirectoryEntries(ScratchTempDirectory()) == 0);
  return 0;
}
