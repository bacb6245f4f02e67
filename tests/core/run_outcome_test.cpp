// How a run's end becomes its outcome, its exit status and its final text,
// and what a real worker tells of its end.
#include "core/run_outcome.h"

#include <gtest/gtest.h>

#include <cstring>

#include "localization/language_choice.h"
#include "tests/support/kit_times.h"
#include "tests/support/test_support.h"
#include "tools/mkkit/kit_writer.h"

TEST(RunOutcome, DecidedFromWhatTheRunKnows) {
  struct Case {
    const char* what;
    RunRecord run;
    RunOutcome outcome;
    int status;
    const char* finalKey;
  } cases[] = {
      {"startup refused", {false, false, 0, false}, RunOutcome::NotStarted, 1, nullptr},
      {"stopped during startup",
       {false, false, 0, true},
       RunOutcome::Cancelled,
       3,
       "IDS_CANCEL_FINISH"},
      {"wizard closed before copying",
       {true, false, 0, false},
       RunOutcome::Cancelled,
       3,
       "IDS_CANCEL_FINISH"},
      {"installed", {true, true, 0, false}, RunOutcome::Installed, 0, "IDS_SUCCESS_FINISH"},
      {"stop asked after the last file",
       {true, true, 0, true},
       RunOutcome::Installed,
       0,
       "IDS_SUCCESS_FINISH"},
      {"cancelled while copying",
       {true, true, 1223, false},
       RunOutcome::Cancelled,
       3,
       "IDS_CANCEL_FINISH"},
      {"failed and rolled back", {true, true, 5, false}, RunOutcome::Failed, 2, "IDS_ERROR_FINISH"},
      {"failed while a stop was asked",
       {true, true, 267, true},
       RunOutcome::Failed,
       2,
       "IDS_ERROR_FINISH"},
      {"no worker thread", {true, true, 8, false}, RunOutcome::Failed, 2, "IDS_ERROR_FINISH"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunOutcome outcome = DecideRunOutcome(c.run);
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(ExitStatusOf(outcome), c.status);
    const char* key = FinalMessageKey(outcome);
    if (c.finalKey)
      EXPECT_STREQ(key, c.finalKey);
    else
      EXPECT_EQ(key, nullptr);
  }
}

TEST(RunOutcome, TheWorkerTellsWhetherAndHowItEnded) {
  TempDir root;
  ScopedEnv tmp(kTempVariable, (root / "tmp").c_str());
  MakeDirs(root / "tmp");
  ChooseLanguage("en");
  KitDescription english{u"en", u"P", u"V", u""};
  WriteFileBytes(
      root / "brvx.bkd",
      DeflateRaw(BuildWorkFile({english}, false, {{u"a.txt", AsFileTime(kKitTime), "a"}})));
  DistributionKit kit;
  ASSERT_EQ(ReadKit(kit, U16(root / "brvx.bkd")), 0u);

  ProgressChannel channel;
  InstallWorker worker;
  RunRecord run;
  run.startupPassed = true;
  NoteInstallation(run, worker);
  EXPECT_FALSE(run.installationEnded) << "no worker has started";

  // Noted again on the worker's thread, after its first publication.
  struct Watch {
    InstallWorker* worker;
    RunRecord run;
    bool noted;
  } watch{&worker, run, false};
  channel.SetNotifier(
      [](void* data) {
        auto* w = static_cast<Watch*>(data);
        if (w->noted) return;
        NoteInstallation(w->run, *w->worker);
        w->noted = true;
      },
      &watch);
  channel.Prepare(&kit, U16(root / "templates"));
  // Taken up after the first entry: the run is cancelled and rolled back.
  channel.RequestCancel();
  StartWorker(worker, channel);
  worker.WaitForEnd();
  channel.SetNotifier(nullptr, nullptr);
  ASSERT_TRUE(watch.noted);
  EXPECT_FALSE(watch.run.installationEnded) << "a worker still running has no result";

  NoteInstallation(run, worker);
  EXPECT_TRUE(run.installationEnded);
  EXPECT_EQ(run.workerResult, 1223u);
  EXPECT_EQ(DecideRunOutcome(run), RunOutcome::Cancelled);
}
