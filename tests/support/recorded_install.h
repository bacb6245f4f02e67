// One installation run on the test's own thread with every publication of
// the progress channel recorded as it happens.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/distribution_kit.h"
#include "core/progress_channel.h"

struct Publication {
  int32_t status;
  std::string text;
  int32_t percentage;
};

// One InstallAll of the kit into target, on the calling thread, without the
// pause after the last publication. Each publication is recorded, and then
// handed to onPublication, which may ask the channel to cancel. With
// cancelFirst the cancel is asked for before the installation starts.
class RecordedInstall {
 public:
  using Observer = std::function<void(const Publication&, ProgressChannel&)>;

  uint32_t Run(DistributionKit& kit, const std::string& target, Observer onPublication = {},
               bool cancelFirst = false);

  std::vector<Publication> publications;
  // The backup directory the rollback kept, or empty.
  std::string keptBackup;

 private:
  static void Record(void* data);

  ProgressChannel channel_;
  Observer observer_;
};
