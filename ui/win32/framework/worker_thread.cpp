#include "ui/win32/framework/worker_thread.h"

#include <process.h>

CWorkerThread::~CWorkerThread() {
  if (!handle_) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
}

bool CWorkerThread::Start(Body body, void* argument) {
  if (handle_) return false;
  body_ = body;
  argument_ = argument;
  // The C runtime's own start, so the runtime is set up for the thread.
  uintptr_t thread = _beginthreadex(nullptr, 0, Entry, this, 0, nullptr);
  if (thread == 0) return false;
  handle_ = reinterpret_cast<HANDLE>(thread);
  return true;
}

unsigned __stdcall CWorkerThread::Entry(void* self) {
  CWorkerThread* thread = static_cast<CWorkerThread*>(self);
  return thread->body_(thread->argument_);
}

bool CWorkerThread::HasEnded() const {
  return !handle_ || WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0;
}

bool CWorkerThread::ExitCode(uint32_t* code) const {
  DWORD exitCode = 0;
  if (!handle_ || !HasEnded() || !GetExitCodeThread(handle_, &exitCode)) return false;
  *code = exitCode;
  return true;
}
