// How a run ended and the exit status that tells a script about it. Both
// programs and every mode (wizard, silent, without a display) decide here.
#pragma once

#include <cstdint>

#include "core/install_worker.h"

enum class RunOutcome : int {
  Installed = 0,   // the kit is in the template directory
  NotStarted = 1,  // ended at startup: no kit, damaged kit, no room, no display
  Failed = 2,      // the installation failed; the directory was put back
  Cancelled = 3,   // cancelled by the user or a signal; nothing stays changed
};

// What a front end knows at the end of a run.
struct RunRecord {
  bool startupPassed = false;      // the startup sequence opened the kit
  bool installationEnded = false;  // an install worker ran and has ended
  uint32_t workerResult = 0;       // its result: 0, 1223 cancelled, or a failure
  bool cancelRequested = false;    // a stop was asked for from outside the pages
};

// Adds what the worker knows of the installation: whether it has ended, and
// with which result.
void NoteInstallation(RunRecord& run, InstallWorker& worker);

// The outcome: an installation that ended decides by its result (a cancel
// that came after the last file leaves the kit installed); otherwise a run
// that passed startup, or was asked to stop, was cancelled.
RunOutcome DecideRunOutcome(const RunRecord& run);

// The process exit status of an outcome: 0, 1, 2 or 3.
int ExitStatusOf(RunOutcome outcome);

// The message key of the text the final page of that outcome shows, or
// nullptr when the run never got that far.
const char* FinalMessageKey(RunOutcome outcome);
