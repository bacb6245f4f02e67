// The worker's pause on Windows. The front end starts the worker thread
// suspended and resumes it once its sampling timer runs; the thread's exit
// code is the installation's result.
#include <windows.h>

#include "core/install_worker.h"

// The front end resumes the worker once it has shown the error; the
// rollback follows then.
void PauseAfterErrorPublication() {
  SuspendThread(GetCurrentThread());
}
