// The channel's lock on Linux: a process-private semaphore used as a mutex,
// waited for without limit.
#include <errno.h>

#include "core/progress_channel.h"

void ProgressChannel::CreateLock() {
  sem_init(&lock_, 0, 1);
}

void ProgressChannel::DestroyLock() {
  sem_destroy(&lock_);
}

bool ProgressChannel::Acquire(bool) {
  while (sem_wait(&lock_) != 0 && errno == EINTR) {
  }
  return true;
}

void ProgressChannel::Release() {
  sem_post(&lock_);
}
