// How a run's end becomes its outcome, its exit status and its final text,
// and what a real worker leaves in the channel for it.
#include "core/run_outcome.h"

#include <gtest/gtest.h>

#include <cstring>

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

TEST(RunOutcome, TheChannelTellsWhetherAndHowTheWorkerEnded) {
  ProgressChannel channel;
  RunRecord run;
  run.startupPassed = true;
  NoteInstallation(run, channel);
  EXPECT_FALSE(run.installationEnded);

  channel.Prepare(nullptr, u"target");
  channel.MarkWorkerStarted();
  NoteInstallation(run, channel);
  EXPECT_FALSE(run.installationEnded) << "a worker still running has no result";

  channel.MarkWorkerEnded(1223);
  NoteInstallation(run, channel);
  EXPECT_TRUE(run.installationEnded);
  EXPECT_EQ(run.workerResult, 1223u);
  EXPECT_EQ(DecideRunOutcome(run), RunOutcome::Cancelled);
}
