// A pipe that wakes a loop waiting in poll(2): whoever has news writes one
// byte, the loop drains them all. Writing is async-signal-safe, so the
// worker's notifier and a signal handler can both wake the same loop.
#pragma once

class WakePipe {
 public:
  WakePipe();
  ~WakePipe();
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;

  bool IsOpen() const { return readEnd_ >= 0; }
  // Async-signal-safe; a full pipe already holds a wake-up.
  void Wake() const;
  // Waits until woken or timeout milliseconds have passed (-1: no limit),
  // then drains the pipe. A signal that interrupts the wait ends it too.
  void Wait(int timeoutMs) const;

 private:
  int readEnd_ = -1;
  int writeEnd_ = -1;
};
