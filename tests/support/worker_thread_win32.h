// Windows: a worker that hits an error publishes it and then suspends its
// own thread until the front end, having shown the error, resumes it. The
// tests play that front end with these helpers.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <cstdint>
#include <functional>

// Waits until the thread has suspended itself (true), or has ended or the
// time is up (false). The thread stays suspended.
bool WaitUntilSelfSuspended(HANDLE thread, DWORD timeoutMs = 30000);

struct WorkerRun {
  uint32_t result = 0;
  int pauses = 0;  // how often the body suspended itself and was resumed
};

// Runs body on a thread of its own, resumes the thread each time it has
// suspended itself, and returns once the body has ended.
WorkerRun RunResumingPauses(const std::function<uint32_t()>& body);

#endif  // _WIN32
