// A thread whose object outlives it, so that its end and its exit code can
// be read afterwards. It is never suspended from outside: a thread frozen
// at an arbitrary point may hold a lock (the heap's, say) that the freezing
// thread needs next.
#pragma once

#include <windows.h>

#include <cstdint>

class CWorkerThread {
 public:
  using Body = uint32_t (*)(void* argument);

  CWorkerThread() = default;
  // Waits for a thread that still runs: it uses what its owner is about to
  // release. The owner lets every wait of the thread end first.
  ~CWorkerThread();
  CWorkerThread(const CWorkerThread&) = delete;
  CWorkerThread& operator=(const CWorkerThread&) = delete;

  // Starts the thread; false when no thread could be made.
  bool Start(Body body, void* argument);
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
