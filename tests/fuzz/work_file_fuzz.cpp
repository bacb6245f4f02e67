// The work-file reader alone: the input is an inflated kit. A directory that
// ReadKitDirectory accepts must describe entries inside the file, with names
// that stay inside the template directory, that ExtractEntry copies without
// running past the end.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "core/distribution_kit.h"
#include "core/kit_format.h"
#include "core/template_installer.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One kit object for the whole run: its 1 MiB copy buffer is made once.
  static DistributionKit* kit = new DistributionKit;
  int fd = memfd_create("work", MFD_CLOEXEC);
  FUZZ_CHECK(fd >= 0);
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    FUZZ_CHECK(n > 0);
    done += static_cast<size_t>(n);
  }

  kit->descriptions.clear();
  kit->entries.clear();
  kit->handle = fd;
  uint32_t result = ReadKitDirectory(fd, &kit->descriptions, &kit->entries);
  if (result == 0) {
    // The data area follows the header and the directory, so no entry starts
    // before their smallest possible size.
    uint64_t directoryEnd = 8;
    for (const KitEntry& entry : kit->entries) {
      FUZZ_CHECK(IsSafeEntryName(entry.name));
      FUZZ_CHECK(static_cast<uint64_t>(entry.offset) + entry.size <= size);
      directoryEnd += 24 + 2 * static_cast<uint64_t>(entry.name.Length());
    }
    for (const KitEntry& entry : kit->entries) FUZZ_CHECK(entry.offset >= directoryEnd);
    for (size_t i = 0; i < kit->entries.size(); ++i)
      FUZZ_CHECK(ExtractEntry(*kit, i, u"/dev/null") == 0);
  } else {
    FUZZ_CHECK(result == kErrorInvalidData);
  }
  kit->handle = kInvalidFileHandle;
  close(fd);
  return 0;
}
