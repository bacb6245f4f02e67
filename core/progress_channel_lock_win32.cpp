// The channel's lock on Windows: an unnamed mutex. Each operation waits for
// it at most 100 ms and does nothing without it, so a front end never hangs
// on a worker that holds the lock and does not go on (stopped by a debugger
// or by the system). The error publication and the taking of the job wait
// without limit: a lost error would leave the worker waiting for ever for a
// front end that never saw it.
#include <windows.h>

#include "core/progress_channel.h"

namespace {
constexpr DWORD kLockWaitMs = 100;
}  // namespace

void ProgressChannel::CreateLock() {
  mutex_ = CreateMutexW(nullptr, FALSE, nullptr);
}

void ProgressChannel::DestroyLock() {
  if (mutex_ != nullptr) CloseHandle(mutex_);
  mutex_ = nullptr;
}

bool ProgressChannel::Acquire(bool unlimited) {
  if (mutex_ == nullptr) return false;
  DWORD result = WaitForSingleObject(mutex_, unlimited ? INFINITE : kLockWaitMs);
  // An abandoned mutex is owned all the same and must be released.
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void ProgressChannel::Release() {
  ReleaseMutex(mutex_);
}
