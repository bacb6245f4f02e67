// SIGINT, SIGTERM and SIGHUP in the run without a window: each asks the run
// to stop, as Cancel does in the wizard. The handler only hands the request
// to the run (a flag and a byte into its wake pipe, both safe inside a
// signal handler); the run's own loop does the rest.
#pragma once

#include <signal.h>

class HeadlessRun;

class StopSignals {
 public:
  // Handlers in place for the life of the object; the previous ones return
  // with its end.
  explicit StopSignals(HeadlessRun& run);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct sigaction previous_[3];
};
