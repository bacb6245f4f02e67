// The install worker: one thread per installation that runs the template
// installer and talks to the front end only through the progress channel.
#pragma once

#include <cstdint>

#include "core/progress_channel.h"

#ifndef _WIN32
#include <pthread.h>

// The worker thread record of the Linux front end.
struct InstallWorker {
  ProgressChannel* channel = nullptr;
  pthread_t thread{};
  int startResult = -1;  // -1 until pthread_create has been called
};

// Starts the worker thread on the channel's job. The thread is never joined;
// its end is seen through the channel (HasWorkerEnded / WaitForWorkerEnd).
void StartWorker(InstallWorker& worker, ProgressChannel& channel);
#endif

// The thread body: runs one installation and marks the worker's end in the
// channel. 0 success, 1223 cancelled, otherwise the failure's code.
uint32_t RunInstallWorker(ProgressChannel& channel);

// The text that tells where the originals that a rollback could not put
// back are kept.
U16String KeptBackupMessage(const U16String& folder);

// Called by the worker right after it has published an error. Windows: the
// worker suspends itself until the front end has shown the error. Linux:
// nothing, the rollback follows at once.
void PauseAfterErrorPublication();
