// A worker whose thread the system refuses: the address space is capped
// below what a thread's stack needs, so the thread cannot be made. The
// front end must still see a failed installation that has ended, or it
// would wait for ever.
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "core/install_worker.h"
#include "localization/language_choice.h"
#include "localization/message_catalogue.h"

namespace {

// The soft address-space limit a little above what the process maps now,
// put back when the object goes.
class AddressSpaceCap {
 public:
  explicit AddressSpaceCap(size_t headroom) {
    getrlimit(RLIMIT_AS, &saved_);
    size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit capped = saved_;
    capped.rlim_cur = pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + headroom;
    applied_ = pages != 0 && setrlimit(RLIMIT_AS, &capped) == 0;
  }
  ~AddressSpaceCap() { setrlimit(RLIMIT_AS, &saved_); }
  AddressSpaceCap(const AddressSpaceCap&) = delete;
  AddressSpaceCap& operator=(const AddressSpaceCap&) = delete;
  bool applied() const { return applied_; }

 private:
  rlimit saved_{};
  bool applied_ = false;
};

TEST(WorkerStart, AThreadThatCannotBeMadeIsAFailedInstallationThatHasEnded) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's own mappings fail under the capped address space";
#endif
  ChooseLanguage("en");
  const U16String errorText = GetMessageText("IDS_INSTALL_ERROR");
  ProgressChannel channel;
  channel.Prepare(nullptr, u"/nowhere");
  WorkerPause pause;
  pause.Prepare(true);
  InstallWorker worker;
  {
    // Room for small allocations, none for a stack of megabytes.
    AddressSpaceCap cap(256 * 1024);
    ASSERT_TRUE(cap.applied());
    StartWorker(worker, channel, &pause);
  }
  EXPECT_EQ(worker.StartResult(), EAGAIN);
  uint32_t result = 0;
  EXPECT_TRUE(worker.HasEnded(&result));
  EXPECT_EQ(result, 8u);
  int32_t status = 0, percentage = -1;
  U16String text;
  channel.Read(&status, &text, &percentage);
  EXPECT_EQ(status, 8);
  EXPECT_EQ(text, errorText);
  EXPECT_EQ(percentage, 0);
  EXPECT_TRUE(pause.PauseAndWait(0)) << "a pause has no worker to wait for";
  worker.WaitForEnd();
}

}  // namespace
