// The worker's pauses with a real installation on a thread of its own: the
// cancel question asked while the worker waits between two blocks of a large
// entry (nothing changes while it is open; No goes on, Yes rolls back), and
// the wait after a failure until the front end has shown it.
#include "core/worker_pause.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/install_worker.h"
#include "core/progress_channel.h"
#include "core/template_installer.h"
#include "localization/language_choice.h"
#include "platform/file_api.h"
#include "tests/support/kit_times.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"
#include "tools/mkkit/kit_writer.h"

namespace {

constexpr uint32_t kBlock = 64 * 1024;
constexpr size_t kLargeSize = 16 * kBlock + 123;

std::string Pattern(size_t size, char seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7 % 251);
  return bytes;
}

// The front end's side of one installation, the worker on its own thread.
class WorkerPauseTest : public ::testing::Test {
 protected:
  WorkerPauseTest() : tmp_(kTempVariable, (root_ / "tmp").c_str()) {
    MakeDirs(root_ / "tmp");
    ChooseLanguage("en");
  }

  void MakeKit(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<KitFile> kitFiles;
    for (const auto& [name, data] : files)
      kitFiles.push_back({U16(name), AsFileTime(kKitTime), data});
    KitDescription english{u"en", u"Product", u"Vendor", u"readme.html"};
    WriteFileBytes(root_ / "brvx.bkd", DeflateRaw(BuildWorkFile({english}, false, kitFiles)));
    kit_ = std::make_unique<DistributionKit>();
    ASSERT_EQ(ReadKit(*kit_, U16(root_ / "brvx.bkd")), 0u);
    // Small blocks: the large entry takes many.
    kit_->copyBufferSize = kBlock;
  }

  // As an owner does: a worker still running ends, cancelled and with none
  // of its waits holding it, before what it uses goes.
  ~WorkerPauseTest() override {
    channel_.RequestCancel();
    pause_.ReleaseAll();
  }

  void Start() {
    channel_.Prepare(kit_.get(), U16(target_));
    pause_.Prepare(true);
    StartWorker(worker_, channel_, &pause_);
  }

  uint32_t Result() {
    worker_.WaitForEnd();
    uint32_t result = 0xFFFFFFFF;
    EXPECT_TRUE(worker_.HasEnded(&result));
    return result;
  }

  TempDir root_;
  ScopedEnv tmp_;
  std::string target_ = root_ / "templates";
  std::unique_ptr<DistributionKit> kit_;
  ProgressChannel channel_;
  WorkerPause pause_;
  InstallWorker worker_;
};

TEST_F(WorkerPauseTest, TheCancelQuestionBetweenTwoBlocksOfALargeEntry) {
  const std::string large = Pattern(kLargeSize, 'a');
  for (bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "answered Yes" : "answered No");
    target_ = root_ / (yes ? "yes" : "no");
    MakeDirs(target_ + kPathSeparator + "data");
    WriteFileBytes(target_ + NativePath("/data/large.bin"), "the old large file");
    SetMTime(target_ + NativePath("/data/large.bin"), kOld);
    MakeKit({{"a.txt", "new a"}, {"data\\large.bin", large}, {"z.txt", "new z"}});
    TreeSnapshot before = TakeSnapshot(target_);

    // The question comes while the large entry is being written: the pause
    // is asked for when its path is published, so the worker stops at the
    // first safe point inside the copy.
    const U16String largePath = EntryPath(U16(target_ + kPathSeparator), u"data\\large.bin");
    struct Hook {
      ProgressChannel* channel;
      WorkerPause* pause;
      U16String path;
      std::promise<void> asked;
    } hook{&channel_, &pause_, largePath, {}};
    channel_.SetNotifier(
        [](void* data) {
          auto* h = static_cast<Hook*>(data);
          U16String text;
          h->channel->Read(nullptr, &text, nullptr);
          if (text == h->path) {
            h->pause->PauseAndWait(0);
            h->asked.set_value();
          }
        },
        &hook);
    Start();
    ASSERT_EQ(hook.asked.get_future().wait_for(std::chrono::seconds(30)),
              std::future_status::ready);
    ASSERT_TRUE(pause_.PauseAndWait(30000));
    channel_.SetNotifier(nullptr, nullptr);
    // The work file stands one block into the entry (the entry's file is
    // open for writing, and on Windows not to be read meanwhile).
    int32_t high = 0;
    uint32_t low = FileApi::Seek(kit_->handle, 0, &high, kSeekCurrent);
    EXPECT_EQ(low, kit_->entries[1].offset + kBlock) << "paused after the first block";
    TreeSnapshot held = TakeSnapshot(target_);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(TakeSnapshot(target_), held) << "files changed while the question was open";

    if (yes) channel_.RequestCancel();
    pause_.Resume();
    if (yes) {
      EXPECT_EQ(Result(), 1223u);
      EXPECT_EQ(TakeSnapshot(target_), before);
    } else {
      EXPECT_EQ(Result(), 0u);
      EXPECT_EQ(ReadFileBytes(target_ + NativePath("/data/large.bin")), large);
      EXPECT_EQ(ReadFileBytes(target_ + NativePath("/z.txt")), "new z");
    }
    EXPECT_EQ(CountEntriesStartingWith(root_ / "tmp", "brstp"), 0);
  }
}

TEST_F(WorkerPauseTest, AfterAFailureTheWorkerWaitsUntilItHasBeenShown) {
  MakeDirs(target_);
  WriteFileBytes(target_ + NativePath("/a.txt"), "old a");
  SetMTime(target_ + NativePath("/a.txt"), kOld);
  // A file stands where the kit needs a directory.
  WriteFileBytes(target_ + NativePath("/blocker"), "in the way");
  MakeKit({{"a.txt", "new a"}, {"blocker\\b.txt", "b"}});
  TreeSnapshot before = TakeSnapshot(target_);
  Start();
  int32_t status = 0;
  for (int i = 0; i < 3000 && status == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    channel_.Read(&status, nullptr, nullptr);
  }
  ASSERT_NE(status, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // Past its failure: a pause asked for now has nothing to wait for.
  EXPECT_TRUE(pause_.PauseAndWait(0));
  pause_.Resume();
  EXPECT_EQ(ReadFileBytes(target_ + NativePath("/a.txt")), "new a")
      << "restored before the failure was shown";
  EXPECT_FALSE(worker_.HasEnded());
  pause_.ErrorShown();
  EXPECT_EQ(Result(), static_cast<uint32_t>(status));
  EXPECT_EQ(TakeSnapshot(target_), before);
}

}  // namespace
