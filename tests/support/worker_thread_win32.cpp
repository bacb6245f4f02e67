#ifdef _WIN32

#include "tests/support/worker_thread_win32.h"

#include <process.h>

namespace {

unsigned __stdcall RunBody(void* argument) {
  return (*static_cast<const std::function<uint32_t()>*>(argument))();
}

// The thread's own suspension shows as a count above zero while it is
// briefly held here; holding it undoes nothing.
bool IsSelfSuspended(HANDLE thread) {
  DWORD previous = SuspendThread(thread);
  if (previous == static_cast<DWORD>(-1)) return false;
  ResumeThread(thread);
  return previous > 0;
}

}  // namespace

bool WaitUntilSelfSuspended(HANDLE thread, DWORD timeoutMs) {
  DWORD waited = 0;
  for (;;) {
    if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) return false;
    if (IsSelfSuspended(thread)) return true;
    if (waited >= timeoutMs) return false;
    Sleep(1);
    ++waited;
  }
}

WorkerRun RunResumingPauses(const std::function<uint32_t()>& body) {
  WorkerRun run;
  auto thread = reinterpret_cast<HANDLE>(_beginthreadex(
      nullptr, 0, RunBody, const_cast<std::function<uint32_t()>*>(&body), 0, nullptr));
  if (thread == nullptr) {
    run.result = 0xFFFFFFFFu;
    return run;
  }
  while (WaitForSingleObject(thread, 1) == WAIT_TIMEOUT) {
    if (IsSelfSuspended(thread)) {
      ++run.pauses;
      ResumeThread(thread);
    }
  }
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  run.result = code;
  return run;
}

#endif  // _WIN32
