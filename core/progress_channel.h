// The single-slot record shared by the wizard and the install worker: the
// job goes to the worker, status, text and percentage come back, and the
// front end can ask the worker to cancel. Each publication overwrites the
// previous one; the front end samples it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "core/distribution_kit.h"
#include "platform/strings.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <semaphore.h>
#endif

class ProgressChannel {
 public:
  // Called on the worker's thread after each publication and when the
  // worker has ended, so a front end can wake its loop. It must not call the
  // channel's worker-life operations.
  using Notifier = void (*)(void* data);

  ProgressChannel();
  ~ProgressChannel();
  ProgressChannel(const ProgressChannel&) = delete;
  ProgressChannel& operator=(const ProgressChannel&) = delete;

  // Empty strings, lock ready (the constructor calls it).
  void Initialise();
  // Per installation: clears cancel and status, stores the job; the target
  // gets the build's separator unless empty or ending in "\" or "/".
  void Prepare(DistributionKit* kit, const U16String& target);
  void Publish(int32_t status, const U16String& text, int32_t percentage);
  // An error publication that must not be lost (it waits without limit).
  void PublishError(int32_t status, const U16String& text, int32_t percentage);
  void Read(int32_t* status, U16String* text, int32_t* percentage);
  void TakeJob(DistributionKit** kit, U16String* target);
  bool IsCancelRequested();
  void RequestCancel();

  // The worker's life, which a cancelled run signals in no other way.
  void MarkWorkerStarted();
  // keptBackup: the folder that still holds originals the rollback could not
  // put back (empty when there is none).
  void MarkWorkerEnded(uint32_t result, const U16String& keptBackup = U16String());
  // True once the worker of the current job has ended; result gets its result.
  bool HasWorkerEnded(uint32_t* result = nullptr);
  // Once the worker has ended: its kept backup folder, or empty.
  U16String KeptBackupDirectory();
  // Blocks while a worker of the current job is still running.
  void WaitForWorkerEnd();

  void SetNotifier(Notifier notifier, void* data);

 private:
  class Guard;
  // The lock; each build has its own form.
  void CreateLock();
  void DestroyLock();
  bool Acquire(bool unlimited);
  void Release();
  void Notify();

#ifdef _WIN32
  HANDLE mutex_ = nullptr;
#else
  sem_t lock_;
#endif
  std::mutex lifeMutex_;
  std::condition_variable lifeChanged_;
  DistributionKit* kit_ = nullptr;
  U16String targetDirectory_;
  bool cancelRequested_ = false;
  int32_t status_ = 0;
  U16String text_;
  int32_t percentage_ = 0;
  bool workerRunning_ = false;
  bool workerEnded_ = false;
  uint32_t workerResult_ = 0;
  U16String keptBackup_;
  Notifier notifier_ = nullptr;
  void* notifierData_ = nullptr;
};
