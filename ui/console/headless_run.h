// The silent installation of a Linux program that has no display: the
// wizard's startup sequence and install worker without any window. Every
// text the wizard would show in a box or on its final page goes to standard
// error, and a terminal there shows the progress on one line.
#pragma once

#include <atomic>

#include "core/install_worker.h"
#include "core/progress_channel.h"
#include "core/run_outcome.h"
#include "core/setup_context.h"
#include "ui/console/wake_pipe.h"

class HeadlessRun {
 public:
  HeadlessRun(int argumentCount, char** arguments, const NarrowString& windowTitle,
              const U16String& languageCode, int languageId, bool useWorkingDirectory);
  HeadlessRun(const HeadlessRun&) = delete;
  HeadlessRun& operator=(const HeadlessRun&) = delete;

  // Asks the run to stop, as Cancel does while the wizard copies: the
  // worker stops after the file in hand and puts the template directory
  // back; asked before the installation, none starts. Async-signal-safe and
  // callable from any thread: it sets a flag and wakes the loop.
  void RequestCancel();

  // Startup sequence, installation, and on success the directory recorded
  // in the launcher settings. Returns once the worker has ended.
  RunOutcome Run();

 private:
  void FollowWorker();

  SetupContext context_;
  ProgressChannel channel_;
  WakePipe wake_;
  // After what it uses: destroyed first, it waits for a worker that still
  // runs.
  InstallWorker worker_;
  std::atomic<bool> cancelRequested_{false};
};
