// The install worker: one thread per installation that runs the template
// installer and talks to the front end only through the progress channel.
// Its life (started, ended, its result, the backup folder a rollback kept)
// is kept here: a cancelled run signals its end in no other way. Each
// system starts the thread in its own small file.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "core/progress_channel.h"
#include "core/worker_pause.h"
#include "platform/strings.h"

#ifndef _WIN32
#include <pthread.h>
#endif

#ifdef _WIN32
// The thread's HANDLE, closed at the next start or the destruction, once
// the thread is over.
using WorkerThread = void*;
#else
// Detached: never joined.
using WorkerThread = pthread_t;
#endif

class InstallWorker {
 public:
  // Called on the worker's thread once it has ended, so a front end can wake
  // its loop. It must not call the worker's operations.
  using EndNotifier = void (*)(void* data);

  InstallWorker() = default;
  // Waits for a worker that still runs: it uses the channel, the kit and the
  // pause its owner is about to release. The owner lets every wait of the
  // worker end first.
  ~InstallWorker();
  InstallWorker(const InstallWorker&) = delete;
  InstallWorker& operator=(const InstallWorker&) = delete;

  // Set before the start.
  void SetEndNotifier(EndNotifier notifier, void* data);

  // True once the worker of the last start has ended; result gets its
  // result: 0 success, 1223 cancelled, otherwise the failure's code.
  bool HasEnded(uint32_t* result = nullptr);
  // Once the worker has ended: the folder that still holds originals the
  // rollback could not put back, or empty.
  U16String KeptBackupDirectory();
  // Blocks while a started worker still runs; at once when none was started.
  void WaitForEnd();

  ProgressChannel* Channel() const { return channel_; }
  WorkerThread ThreadOf() const { return thread_; }
  // -1 until the thread's creation was attempted, then 0 or the system's
  // error.
  int StartResult() const { return startResult_; }

 private:
  friend void StartWorker(InstallWorker& worker, ProgressChannel& channel, WorkerPause* pause);

  // Each system's form: starts the thread on Entry (0 or the system's
  // error), and waits for the thread of an earlier start to be over.
  int StartThread();
  void ReleaseThread();
#ifdef _WIN32
  static unsigned __stdcall Entry(void* worker);
#else
  static void* Entry(void* worker);
#endif
  // The thread's body: the installation, then its end.
  uint32_t Run();
  void MarkStarted();
  void MarkEnded(uint32_t result, const U16String& keptBackup);

  ProgressChannel* channel_ = nullptr;
  WorkerPause* pause_ = nullptr;
  WorkerThread thread_{};
  int startResult_ = -1;

  std::mutex mutex_;
  std::condition_variable changed_;
  bool running_ = false;
  bool ended_ = false;
  uint32_t result_ = 0;
  U16String keptBackup_;
  EndNotifier endNotifier_ = nullptr;
  void* endNotifierData_ = nullptr;
};

// Starts a worker thread on the channel's job; pause, when given, is where it
// pauses. A thread that cannot be made is a failed installation: its error
// is published and the worker has ended with 8 (not enough memory), so no
// front end waits for ever.
void StartWorker(InstallWorker& worker, ProgressChannel& channel, WorkerPause* pause = nullptr);

// The text that tells where the originals that a rollback could not put
// back are kept.
U16String KeptBackupMessage(const U16String& folder);
