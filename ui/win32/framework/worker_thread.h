// A thread that starts suspended and whose object outlives it, so that its
// end and its exit code can be read afterwards.
#pragma once

#include <windows.h>

#include <cstdint>

class CWorkerThread {
 public:
  using Body = uint32_t (*)(void* argument);

  CWorkerThread() = default;
  // Waits for a thread that still runs: it uses what its owner is about to
  // release.
  ~CWorkerThread();
  CWorkerThread(const CWorkerThread&) = delete;
  CWorkerThread& operator=(const CWorkerThread&) = delete;

  // Creates the thread suspended; false when no thread could be made.
  bool StartSuspended(Body body, void* argument);
  // The previous suspend count, or (DWORD)-1 on failure.
  DWORD Resume();
  DWORD Suspend();
  // True once the thread has ended (a zero wait reports it signalled).
  bool HasEnded() const;
  // The thread's exit code; false while it runs or without a thread.
  bool ExitCode(uint32_t* code) const;

 private:
  static unsigned __stdcall Entry(void* self);

  HANDLE handle_ = nullptr;
  Body body_ = nullptr;
  void* argument_ = nullptr;
};
