// A stop asked for from outside the headless run's loop (as a signal
// handler or another thread would ask): before or during the copying, the
// run ends cancelled and the template directory stays as it was.
#include "ui/console/headless_run.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "localization/language_choice.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"
#include "tools/mkkit/kit_writer.h"

namespace {

constexpr int64_t kOldTime = 1000000000;
constexpr int kFiles = 2000;

// A kit beside a working directory of its own ("usecwd"), HOME and TMPDIR
// inside the test's folder, and a configured target whose every file the
// kit replaces.
class HeadlessRunTest : public ::testing::Test {
 protected:
  HeadlessRunTest()
      : home_("HOME", (root_ / "home").c_str()), tmpdir_("TMPDIR", (root_ / "tmp").c_str()) {
    MakeDirs(root_ / "tmp");
    MakeDirs(target());
    MakeDirs(root_ / "home/.Tarn/tarnlaunch");
    WriteFileBytes(root_ / "home/.Tarn/tarnlaunch/tarnlaunch.cfg",
                   "ConfigurationTemplatesLocation=" + target() + "\n");
    std::vector<KitFile> files;
    for (int i = 0; i < kFiles; ++i) {
      std::string name = "f" + std::to_string(i) + ".txt";
      WriteFileBytes(root_ / ("target/" + name), "old\n");
      SetMTime(root_ / ("target/" + name), kOldTime);
      files.push_back({U16(name), kUnixEpochAsFileTime + 1600000000ull * 10000000ull, "new\n"});
    }
    KitDescription english{u"en", u"P", u"V", u""};
    WriteFileBytes(root_ / "brvx.bkd", DeflateRaw(BuildWorkFile({english}, false, files)));
    ChooseLanguage("en");
    EXPECT_EQ(getcwd(previous_, sizeof previous_), previous_);
    EXPECT_EQ(chdir(root_.path().c_str()), 0);
  }
  ~HeadlessRunTest() override { EXPECT_EQ(chdir(previous_), 0); }

  std::string target() const { return root_ / "target"; }

  TempDir root_;
  ScopedEnv home_;
  ScopedEnv tmpdir_;
  char previous_[4096] = {};
};

}  // namespace

TEST_F(HeadlessRunTest, StopAskedBeforeTheCopyingStartsNone) {
  TreeSnapshot before = TakeSnapshot(target());
  std::string settings = ReadFileBytes(root_ / "home/.Tarn/tarnlaunch/tarnlaunch.cfg");
  HeadlessRun run(0, nullptr, "title", u"en", 3, true);
  run.RequestCancel();
  EXPECT_EQ(run.Run(), RunOutcome::Cancelled);
  EXPECT_EQ(TakeSnapshot(target()), before);
  EXPECT_EQ(ReadFileBytes(root_ / "home/.Tarn/tarnlaunch/tarnlaunch.cfg"), settings);
  EXPECT_EQ(CountEntriesStartingWith(root_ / "tmp", "brstp"), 0);
}

TEST_F(HeadlessRunTest, StopAskedFromAnotherThreadWhileCopyingRollsBack) {
  TreeSnapshot before = TakeSnapshot(target());
  std::string settings = ReadFileBytes(root_ / "home/.Tarn/tarnlaunch/tarnlaunch.cfg");
  HeadlessRun run(0, nullptr, "title", u"en", 3, true);
  // Asks once the first file has been replaced, as a signal would arrive.
  std::thread stopper([&] {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ReadFileBytes(root_ / "target/f0.txt") != "new\n" &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    run.RequestCancel();
  });
  RunOutcome outcome = run.Run();
  stopper.join();
  ASSERT_EQ(outcome, RunOutcome::Cancelled) << "the copying ended before the stop came";
  EXPECT_EQ(TakeSnapshot(target()), before);
  EXPECT_EQ(ReadFileBytes(root_ / "home/.Tarn/tarnlaunch/tarnlaunch.cfg"), settings);
  EXPECT_EQ(CountEntriesStartingWith(root_ / "tmp", "brstp"), 0);
}
