// The worker thread on Windows: started through the C runtime, so the
// runtime is set up for it, and its handle kept until the next start or the
// worker's destruction, which wait for the thread to be over. It is never
// suspended from outside: a thread frozen at an arbitrary point may hold a
// lock (the heap's, say) that the freezing thread needs next.
#include <windows.h>

#include <errno.h>
#include <process.h>

#include "core/install_worker.h"

int InstallWorker::StartThread() {
  uintptr_t thread = _beginthreadex(nullptr, 0, Entry, this, 0, nullptr);
  if (thread == 0) return errno != 0 ? errno : EAGAIN;
  thread_ = reinterpret_cast<void*>(thread);
  return 0;
}

void InstallWorker::ReleaseThread() {
  if (thread_ == nullptr) return;
  WaitForSingleObject(static_cast<HANDLE>(thread_), INFINITE);
  CloseHandle(static_cast<HANDLE>(thread_));
  thread_ = nullptr;
}

unsigned __stdcall InstallWorker::Entry(void* worker) {
  return static_cast<InstallWorker*>(worker)->Run();
}
