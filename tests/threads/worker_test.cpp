// The install worker on its own thread and the channel between two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "core/install_worker.h"
#include "core/progress_channel.h"
#include "localization/language_choice.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"
#include "tools/mkkit/kit_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

class WorkerTest : public ::testing::Test {
 protected:
  WorkerTest() : tmpdir_("TMPDIR", (root_ / "tmp").c_str()) {
    MakeDirs(root_ / "tmp");
    ChooseLanguage("en");
  }
  void MakeKit(int files) {
    std::vector<KitFile> kitFiles;
    for (int i = 0; i < files; ++i) {
      // Each file in a directory of its own: a run long enough to cancel.
      kitFiles.push_back({U16("dir" + std::to_string(i) + "\\file"),
                          kUnixEpochAsFileTime + 1600000000ull * 10000000ull,
                          std::string(1000 + i, static_cast<char>('a' + i % 26))});
    }
    KitDescription english{u"en", u"P", u"V", u""};
    WriteFileBytes(root_ / "brvx.bkd", DeflateRaw(BuildWorkFile({english}, false, kitFiles)));
    ASSERT_EQ(ReadKit(kit_, U16(root_ / "brvx.bkd")), 0u);
  }

  TempDir root_;
  ScopedEnv tmpdir_;
  ProgressChannel channel_;
  DistributionKit kit_;
};

}  // namespace

TEST_F(WorkerTest, AWholeInstallationOnItsOwnThread) {
  MakeKit(8);
  std::string target = root_ / "templates";
  channel_.Prepare(&kit_, U16(target));
  std::atomic<Clock::rep> finishedAt{0};
  struct Watch {
    ProgressChannel* channel;
    std::atomic<Clock::rep>* finishedAt;
  } watch{&channel_, &finishedAt};
  channel_.SetNotifier(
      [](void* data) {
        auto* w = static_cast<Watch*>(data);
        int32_t percentage = 0;
        w->channel->Read(nullptr, nullptr, &percentage);
        if (percentage == 100 && *w->finishedAt == 0) {
          *w->finishedAt = Clock::now().time_since_epoch().count();
        }
      },
      &watch);
  InstallWorker worker;
  StartWorker(worker, channel_);
  EXPECT_EQ(worker.startResult, 0);
  channel_.WaitForWorkerEnd();
  Clock::time_point ended = Clock::now();
  uint32_t result = 99;
  ASSERT_TRUE(channel_.HasWorkerEnded(&result));
  EXPECT_EQ(result, 0u);
  ASSERT_NE(finishedAt.load(), 0);
  auto pause = ended - Clock::time_point(Clock::duration(finishedAt.load()));
  EXPECT_GE(pause, std::chrono::milliseconds(950))
      << "the worker pauses after the last publication";
  EXPECT_EQ(ListTree(target).size(), 16u);
  int32_t status = -1, percentage = -1;
  U16String text;
  channel_.Read(&status, &text, &percentage);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(percentage, 100);
  EXPECT_EQ(text, u"Copying complete...");
  channel_.SetNotifier(nullptr, nullptr);
}

TEST_F(WorkerTest, ACancelledRunIsSeenOnlyAsItsEnd) {
  MakeKit(200);
  std::string target = root_ / "templates";
  MakeDirs(target);
  TreeSnapshot before = TakeSnapshot(target);
  channel_.Prepare(&kit_, U16(target));
  InstallWorker worker;
  StartWorker(worker, channel_);
  // The front end asks once the worker is under way.
  for (int32_t percentage = 0; percentage == 0;) {
    channel_.Read(nullptr, nullptr, &percentage);
    std::this_thread::yield();
  }
  channel_.RequestCancel();
  channel_.WaitForWorkerEnd();
  uint32_t result = 0;
  ASSERT_TRUE(channel_.HasWorkerEnded(&result));
  EXPECT_EQ(result, 1223u);
  int32_t status = -1, percentage = -1;
  channel_.Read(&status, nullptr, &percentage);
  EXPECT_EQ(status, 0) << "a cancelled run publishes no error";
  EXPECT_LT(percentage, 100);
  EXPECT_EQ(TakeSnapshot(target), before);
  EXPECT_EQ(CountEntriesStartingWith(root_ / "tmp", "brstp"), 0);
}

TEST(ProgressChannelThreads, ReadsSeeWholePublications) {
  ProgressChannel channel;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) {
      U16String text(u"file ");
      text.Append(static_cast<char16_t>(u'0' + i % 10));
      channel.Publish(i % 10, text, i % 10);
    }
    done = true;
  });
  while (!done) {
    int32_t status = 0, percentage = 0;
    U16String text;
    channel.Read(&status, &text, &percentage);
    ASSERT_EQ(status, percentage);
    if (!text.IsEmpty()) {
      ASSERT_EQ(text.Last(), static_cast<char16_t>(u'0' + status));
    }
  }
  writer.join();
}

TEST(ProgressChannelThreads, WaitingWithoutAWorkerReturnsAtOnce) {
  ProgressChannel channel;
  channel.Prepare(nullptr, U16String(u"/t"));
  channel.WaitForWorkerEnd();
  EXPECT_FALSE(channel.HasWorkerEnded());
  U16String target;
  DistributionKit* kit = reinterpret_cast<DistributionKit*>(1);
  channel.TakeJob(&kit, &target);
  EXPECT_EQ(target, u"/t/");
  EXPECT_EQ(kit, nullptr);
  channel.Prepare(nullptr, U16String(u"c:\\t\\"));
  channel.TakeJob(&kit, &target);
  EXPECT_EQ(target, u"c:\\t\\") << "a target ending in either separator keeps it";
}
