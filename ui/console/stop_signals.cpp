#include "ui/console/stop_signals.h"

#include <errno.h>

#include <atomic>

#include "ui/console/headless_run.h"

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<HeadlessRun*> stoppedRun{nullptr};

extern "C" void OnStopSignal(int) {
  int saved = errno;
  if (HeadlessRun* run = stoppedRun.load()) run->RequestCancel();
  errno = saved;
}

}  // namespace

StopSignals::StopSignals(HeadlessRun& run) {
  stoppedRun.store(&run);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // System calls of the main loop go on; its poll(2) wakes from the pipe.
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &action, &previous_[i]);
}

StopSignals::~StopSignals() {
  for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &previous_[i], nullptr);
  stoppedRun.store(nullptr);
}
