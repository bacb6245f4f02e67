// Runs that die for real: a child process starts up and installs a small kit
// and is killed with SIGKILL at each entry in turn; the next start puts the
// template directory back and leaves nothing in the temporary directory,
// whether the kit is then installed or gone. A start while another run is
// copying leaves that run alone.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/install_journal.h"
#include "core/startup.h"
#include "localization/language_choice.h"
#include "tests/faults/fault_support.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"

namespace {

constexpr int kEntries = 5;

// Standard error of this process, kept in a file for one scope.
class CapturedStderr {
 public:
  explicit CapturedStderr(const std::string& path) : path_(path) {
    fflush(stderr);
    saved_ = dup(2);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    close(fd);
  }
  ~CapturedStderr() { Restore(); }
  std::string Text() {
    Restore();
    return ReadFileBytes(path_);
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    saved_ = -1;
  }
  std::string path_;
  int saved_ = -1;
};

class InterruptedRunTest : public ::testing::Test {
 protected:
  InterruptedRunTest()
      : home_("HOME", (root_ / "home").c_str()), tmpdir_("TMPDIR", (root_ / "tmp").c_str()) {
    MakeDirs(root_ / "home");
    MakeDirs(root_ / "tmp");
    MakeDirs(root_ / "dist");
    ChooseLanguage("en");
    // Replaced, new beside an old one, up to date, new in new directories,
    // replaced again at the end.
    WriteKit(kitPath_, {{"a.txt", "kit a"},
                        {"sub\\new.txt", "kit new"},
                        {"keep.txt", "kit keep"},
                        {"n1\\n2\\deep.txt", "kit deep"},
                        {"sub\\old.txt", "kit old"}});
  }

  void PrepareTarget() {
    Shell("rm -rf '" + target_ + "'");
    MakeDirs(target_ + "/sub");
    WriteFileBytes(target_ + "/a.txt", "old a");
    WriteFileBytes(target_ + "/sub/old.txt", "old sub");
    WriteFileBytes(target_ + "/keep.txt", "mine, newer");
    SetMTime(target_ + "/a.txt", kOld);
    SetMTime(target_ + "/sub/old.txt", kOld);
    SetMTime(target_ + "/keep.txt", kNew);
    // What an older program or somebody else left in the temporary
    // directory, which no start may touch.
    MakeDirs(root_ / "tmp/brstp0");
    WriteFileBytes(root_ / "tmp/brstp0/a.txt", "an original kept by an older program");
    WriteFileBytes(root_ / "tmp/bdk-notes.txt", "not a work file");
  }

  TreeSnapshot TempSnapshot() { return TakeSnapshot(root_ / "tmp"); }

  // A child that starts up and installs; when entry stopAt is announced it
  // calls stop (which may kill the child or wait). Its wait status.
  template <typename Stop>
  pid_t StartRun(int stopAt, Stop stop) {
    pid_t child = fork();
    if (child != 0) return child;
    int status = 1;
    {
      RecordingReporter reporter;
      SetupContext context;
      if (RunStartupSequenceFor(context, U16(kitPath_), reporter)) {
        RecordedInstall install;
        int announced = 0;
        uint32_t result =
            install.Run(context.kit, target_, [&](const Publication& p, ProgressChannel&) {
              if (p.status == 0 && p.percentage < 100 && announced++ == stopAt) stop();
            });
        status = result == 0 ? 0 : 2;
      }
    }
    _exit(status);
  }

  static int Wait(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return status;
  }

  TempDir root_;
  ScopedEnv home_, tmpdir_;
  const std::string kitPath_ = root_ / "dist/brvx.bkd";
  const std::string target_ = root_ / "templates";
};

TEST_F(InterruptedRunTest, AKilledRunIsUndoneAtTheNextStart) {
  TreeSnapshot installed;
  for (bool kitStays : {true, false}) {
    for (int k = 0; k < kEntries; ++k) {
      SCOPED_TRACE(std::string(kitStays ? "kit present" : "kit gone") + ", killed at entry " +
                   std::to_string(k));
      WriteKit(kitPath_, {{"a.txt", "kit a"},
                          {"sub\\new.txt", "kit new"},
                          {"keep.txt", "kit keep"},
                          {"n1\\n2\\deep.txt", "kit deep"},
                          {"sub\\old.txt", "kit old"}});
      PrepareTarget();
      TreeSnapshot before = TakeSnapshot(target_);
      TreeSnapshot tempBefore = TempSnapshot();

      int status = Wait(StartRun(k, [] { raise(SIGKILL); }));
      ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
      ASSERT_NE(TempSnapshot(), tempBefore) << "the killed run left nothing to put right";
      if (!kitStays) Shell("rm '" + kitPath_ + "'");

      CapturedStderr captured(root_ / "stderr");
      RecordingReporter reporter;
      {
        SetupContext context;
        bool started = RunStartupSequenceFor(context, U16(kitPath_), reporter);
        std::string said = captured.Text();
        EXPECT_EQ(said,
                  "An interrupted installation has been undone. The template directory is as "
                  "it was before: " +
                      target_ + "/\n");
        EXPECT_EQ(TakeSnapshot(target_), before);
        EXPECT_EQ(started, kitStays);
        if (kitStays) {
          RecordedInstall install;
          EXPECT_EQ(install.Run(context.kit, target_), 0u);
          TreeSnapshot now = TakeSnapshot(target_);
          if (installed.empty()) installed = now;
          EXPECT_EQ(now, installed);
          EXPECT_EQ(now["sub/new.txt"].bytes, "kit new");
          EXPECT_EQ(now["keep.txt"].bytes, "mine, newer");
        } else {
          EXPECT_EQ(reporter.keys, std::vector<std::string>{"IDS_ERROR_NOSOURCE"});
        }
      }
      EXPECT_EQ(TempSnapshot(), tempBefore) << "the temporary directory is not as it was";
    }
  }
}

// A run killed while it made its journal leaves it empty or cut short; it had
// changed nothing yet. The next start removes such a journal, as it removes
// a whole one, and keeps one it cannot read.
TEST_F(InterruptedRunTest, AJournalCutShortWhileItWasMadeIsRemoved) {
  PrepareTarget();
  std::string formName, withTarget;
  {
    InstallJournal model;
    ASSERT_EQ(model.Create(U16(root_ / "model.journal")), 0u);
    formName = ReadFileBytes(root_ / "model.journal");
    ASSERT_EQ(model.Record(JournalRecord::kTarget, U16(target_ + "/")), 0u);
    withTarget = ReadFileBytes(root_ / "model.journal");
    model.Remove();
  }
  ASSERT_FALSE(formName.empty());
  const std::string kept = root_ / "tmp/brstp79.journal";
  WriteFileBytes(kept, "no journal of this program");
  TreeSnapshot before = TakeSnapshot(target_);
  TreeSnapshot tempBefore = TempSnapshot();
  const std::string cuts[] = {"", formName.substr(0, 3), formName, withTarget};
  for (size_t i = 0; i < 4; ++i)
    WriteFileBytes(root_ / ("tmp/brstp7" + std::to_string(i) + ".journal"), cuts[i]);
  {
    RecordingReporter reporter;
    SetupContext context;
    EXPECT_TRUE(RunStartupSequenceFor(context, U16(kitPath_), reporter)) << reporter.First();
  }
  EXPECT_EQ(TakeSnapshot(target_), before);
  EXPECT_EQ(TempSnapshot(), tempBefore) << "each cut journal removed, the other one kept";
  EXPECT_EQ(ReadFileBytes(kept), "no journal of this program");
}

TEST_F(InterruptedRunTest, AStartWhileAnotherRunCopiesLeavesItAlone) {
  PrepareTarget();
  int ready[2], go[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(go), 0);
  pid_t other = StartRun(3, [&] {
    char byte = 1;
    (void)!write(ready[1], &byte, 1);
    (void)!read(go[0], &byte, 1);
  });
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  TreeSnapshot targetMidway = TakeSnapshot(target_);
  TreeSnapshot tempMidway = TempSnapshot();
  EXPECT_EQ(CountEntriesStartingWith(root_ / "tmp", "brstp1"), 2) << "journal and backup";

  {
    CapturedStderr captured(root_ / "stderr");
    RecordingReporter reporter;
    SetupContext context;
    EXPECT_TRUE(RunStartupSequenceFor(context, U16(kitPath_), reporter));
    EXPECT_EQ(captured.Text(), "") << "nothing was recovered";
  }
  EXPECT_EQ(TakeSnapshot(target_), targetMidway);
  EXPECT_EQ(TempSnapshot(), tempMidway);

  (void)!write(go[1], &byte, 1);
  int status = Wait(other);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(TakeSnapshot(target_)["n1/n2/deep.txt"].bytes, "kit deep");
  EXPECT_EQ(NamesIn(root_ / "tmp"), (std::vector<std::string>{"bdk-notes.txt", "brstp0"}));
  for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
}

}  // namespace
