#include "core/worker_pause.h"

#include <chrono>

void WorkerPause::Prepare(bool holdAfterError) {
  std::lock_guard<std::mutex> lock(mutex_);
  holdAfterError_ = holdAfterError;
  pauseRequested_ = false;
  released_ = false;
  errorShown_ = false;
  state_ = State::kRunning;
}

bool WorkerPause::PauseAndWait(unsigned timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  pauseRequested_ = true;
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return state_ != State::kRunning; });
}

void WorkerPause::Resume() {
  std::lock_guard<std::mutex> lock(mutex_);
  pauseRequested_ = false;
  changed_.notify_all();
}

void WorkerPause::ErrorShown() {
  std::lock_guard<std::mutex> lock(mutex_);
  errorShown_ = true;
  changed_.notify_all();
}

void WorkerPause::ReleaseAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  released_ = true;
  pauseRequested_ = false;
  changed_.notify_all();
}

void WorkerPause::SafePoint() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!pauseRequested_) return;
  state_ = State::kPaused;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !pauseRequested_ || released_; });
  state_ = State::kRunning;
}

void WorkerPause::AfterErrorPublication() {
  std::unique_lock<std::mutex> lock(mutex_);
  // The rollback that follows is never paused: a pause asked for meanwhile
  // has nothing to wait for.
  state_ = State::kAfterFailure;
  changed_.notify_all();
  if (holdAfterError_) changed_.wait(lock, [this] { return errorShown_ || released_; });
}

void WorkerPause::MarkEnded() {
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = State::kEnded;
  changed_.notify_all();
}
