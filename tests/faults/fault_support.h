// Shared pieces of the fault tests: kits written from a list of files, one
// installation run on the test's thread with every publication recorded,
// and a small tmpfs that the test mounts and always unmounts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/distribution_kit.h"
#include "core/progress_channel.h"
#include "tests/support/kit_times.h"
#include "tests/support/recorded_install.h"

struct KitFileSpec {
  std::string name;  // UTF-8, "\" or "/" separated, written to the kit as it is
  std::string data;
  int64_t time = kKitTime;
};

// The kit file (raw deflate of the work file) for these files, with one
// English description.
std::string KitBytes(const std::vector<KitFileSpec>& files,
                     const KitDescription& description = {u"en", u"Product", u"Vendor",
                                                          u"readme.html"});
void WriteKit(const std::string& path, const std::vector<KitFileSpec>& files);

// A tmpfs of a fixed size mounted on an existing empty directory, unmounted
// when the object goes (also when the test has failed).
class TmpfsMount {
 public:
  TmpfsMount() = default;
  ~TmpfsMount();
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  // False, with the reason, when the mount cannot be made here.
  bool Mount(const std::string& directory, size_t bytes, std::string* reason);

 private:
  std::string directory_;
};

// Skips the test, with the reason, when the tmpfs cannot be mounted.
#define MOUNT_OR_SKIP(mount, directory, bytes)                                \
  do {                                                                        \
    std::string why_;                                                         \
    if (!(mount).Mount((directory), (bytes), &why_))                          \
      GTEST_SKIP() << "a tmpfs cannot be mounted here (" << why_ << "); the " \
                   << "test needs root or CAP_SYS_ADMIN, as in CI";           \
  } while (0)

// Bytes that do not compress, so that a kit entry of this size costs as
// much room in the work file as on disk.
std::string IncompressibleBytes(size_t size, uint32_t seed = 1);

// The names directly inside dir (not recursive), sorted.
std::vector<std::string> NamesIn(const std::string& dir);

// Paths under dir (relative, "/" separated) whose last level is named name.
std::vector<std::string> FindNamed(const std::string& dir, const std::string& name);

// Text that a shell would run if it ever saw it unquoted; a run leaves a
// file named kMarkerName in the working directory.
inline constexpr char kMarkerName[] = "pwned";
