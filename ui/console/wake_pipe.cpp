#include "ui/console/wake_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

WakePipe::WakePipe() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  readEnd_ = ends[0];
  writeEnd_ = ends[1];
}

WakePipe::~WakePipe() {
  if (readEnd_ >= 0) close(readEnd_);
  if (writeEnd_ >= 0) close(writeEnd_);
}

void WakePipe::Wake() const {
  if (writeEnd_ < 0) return;
  const char byte = 1;
  int saved = errno;  // a signal handler must leave errno as it found it
  ssize_t written;
  do {
    written = write(writeEnd_, &byte, 1);
  } while (written < 0 && errno == EINTR);
  errno = saved;
}

void WakePipe::Wait(int timeoutMs) const {
  // Without a pipe nobody can wake the loop: it looks again shortly.
  if (readEnd_ < 0) {
    usleep(static_cast<useconds_t>(timeoutMs >= 0 && timeoutMs < 20 ? timeoutMs : 20) * 1000);
    return;
  }
  pollfd wait{readEnd_, POLLIN, 0};
  if (poll(&wait, 1, timeoutMs) <= 0) return;
  char bytes[256];
  while (read(readEnd_, bytes, sizeof bytes) > 0) {
  }
}
