// The install worker on its own thread, its life, and the channel between
// two threads.
#include <pthread.h>

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
  EXPECT_EQ(worker.StartResult(), 0);
  EXPECT_EQ(worker.Channel(), &channel_);
  worker.WaitForEnd();
  Clock::time_point ended = Clock::now();
  uint32_t result = 99;
  ASSERT_TRUE(worker.HasEnded(&result));
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
  worker.WaitForEnd();
  uint32_t result = 0;
  ASSERT_TRUE(worker.HasEnded(&result));
  EXPECT_EQ(result, 1223u);
  int32_t status = -1, percentage = -1;
  channel_.Read(&status, nullptr, &percentage);
  EXPECT_EQ(status, 0) << "a cancelled run publishes no error";
  EXPECT_LT(percentage, 100);
  EXPECT_EQ(TakeSnapshot(target), before);
  EXPECT_EQ(CountEntriesStartingWith(root_ / "tmp", "brstp"), 0);
}

// The end notifier runs on the worker's thread, once, and a waiter returns
// only after it is over: the owner may then destroy the worker at once.
TEST_F(WorkerTest, TheEndIsNotifiedOnTheWorkerThreadBeforeAWaiterReturns) {
  MakeKit(2);
  struct Watch {
    pthread_t thread{};
    int calls = 0;
    bool over = false;
  };
  auto notify = [](void* data) {
    auto* w = static_cast<Watch*>(data);
    w->thread = pthread_self();
    ++w->calls;
    // Long enough for a waiter that did not wait for it to return first.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    w->over = true;
  };
  enum class Wait { kWaitForEnd, kPollHasEnded };
  for (Wait wait : {Wait::kWaitForEnd, Wait::kPollHasEnded}) {
    SCOPED_TRACE(wait == Wait::kWaitForEnd ? "WaitForEnd" : "HasEnded");
    channel_.Prepare(&kit_, U16(root_ / "templates"));
    Watch watch;
    auto worker = std::make_unique<InstallWorker>();
    worker->SetEndNotifier(notify, &watch);
    StartWorker(*worker, channel_);
    if (wait == Wait::kWaitForEnd) {
      worker->WaitForEnd();
    } else {
      while (!worker->HasEnded()) std::this_thread::yield();
    }
    EXPECT_TRUE(watch.over) << "a waiter returned while the notifier still ran";
    EXPECT_TRUE(pthread_equal(watch.thread, worker->ThreadOf()));
    worker.reset();
    EXPECT_EQ(watch.calls, 1);
  }
}

// An owner that goes away while its worker runs: the worker's destruction
// waits for its end, after the cancel the owner asked for.
TEST_F(WorkerTest, DestroyingAWorkerWaitsForItsEnd) {
  MakeKit(200);
  std::string target = root_ / "templates";
  MakeDirs(target);
  TreeSnapshot before = TakeSnapshot(target);
  channel_.Prepare(&kit_, U16(target));
  std::atomic<bool> ended{false};
  {
    InstallWorker worker;
    worker.SetEndNotifier([](void* data) { *static_cast<std::atomic<bool>*>(data) = true; },
                          &ended);
    StartWorker(worker, channel_);
    for (int32_t percentage = 0; percentage == 0;) {
      channel_.Read(nullptr, nullptr, &percentage);
      std::this_thread::yield();
    }
    channel_.RequestCancel();
  }
  EXPECT_TRUE(ended);
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
  InstallWorker worker;
  worker.WaitForEnd();
  EXPECT_FALSE(worker.HasEnded());
  EXPECT_EQ(worker.StartResult(), -1);
  U16String target;
  DistributionKit* kit = reinterpret_cast<DistributionKit*>(1);
  channel.TakeJob(&kit, &target);
  EXPECT_EQ(target, u"/t/");
  EXPECT_EQ(kit, nullptr);
  channel.Prepare(nullptr, U16String(u"c:\\t\\"));
  channel.TakeJob(&kit, &target);
  EXPECT_EQ(target, u"c:\\t\\") << "a target ending in either separator keeps it";
}
