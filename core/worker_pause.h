// The install worker's pauses. The worker is never stopped from outside: it
// pauses itself, at points where it holds no lock and has no file half
// written in a way the pause could spoil (before each entry, between two
// blocks of a copy), when the front end has asked it to; and after
// publishing a failure it waits, when the front end wants to show the
// failure first, until the front end says it has been shown. One per
// wizard, beside the progress channel; the worker borrows it by reference.
#pragma once

#include <condition_variable>
#include <mutex>

class WorkerPause {
 public:
  // --- Front end -----------------------------------------------------------
  // Per installation, before the worker starts: no pause asked for, nothing
  // shown yet; holdAfterError makes the worker wait after its failure until
  // ErrorShown.
  void Prepare(bool holdAfterError);
  // Asks the worker to pause at its next safe point and waits at most
  // timeoutMs for it: true once it pauses there, waits after a failure, or
  // has ended. The request stands either way until Resume, so a worker that
  // was late pauses at its next safe point all the same.
  bool PauseAndWait(unsigned timeoutMs);
  // Withdraws the request; a paused worker goes on.
  void Resume();
  // The failure has been shown: the worker goes on to its rollback.
  void ErrorShown();
  // Lets every wait of the worker end for good (its owner is going away).
  void ReleaseAll();

  // --- Worker --------------------------------------------------------------
  // Waits here while a pause is asked for.
  void SafePoint();
  // Called right after the failure's publication.
  void AfterErrorPublication();
  // The worker's last step.
  void MarkEnded();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool holdAfterError_ = false;
  bool pauseRequested_ = false;
  bool released_ = false;
  bool errorShown_ = false;
  // Where the worker is: running, paused at a safe point, past its failure
  // (waiting, then rolling back: no safe point follows), or ended.
  enum class State { kRunning, kPaused, kAfterFailure, kEnded } state_ = State::kRunning;
};
