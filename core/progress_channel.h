// The single-slot record shared by the wizard and the install worker: the
// job goes to the worker, status, text and percentage come back, and the
// front end can ask the worker to cancel. Each publication overwrites the
// previous one; the front end samples it.
#pragma once

#include <cstdint>

#include "core/distribution_kit.h"
#include "platform/strings.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <semaphore.h>
#endif

class ProgressChannel {
 public:
  // Called on the worker's thread after each publication, outside the lock,
  // so a front end can wake its loop.
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

  // Waits for the lock without limit. A publication under way may still
  // call the notifier this one replaces.
  void SetNotifier(Notifier notifier, void* data);

 private:
  class Guard;
  // The lock; each build has its own form.
  void CreateLock();
  void DestroyLock();
  bool Acquire(bool unlimited);
  void Release();
  // Stores one publication and calls the notifier.
  void Store(int32_t status, const U16String& text, int32_t percentage, bool unlimited);

#ifdef _WIN32
  HANDLE mutex_ = nullptr;
#else
  sem_t lock_;
#endif
  DistributionKit* kit_ = nullptr;
  U16String targetDirectory_;
  bool cancelRequested_ = false;
  int32_t status_ = 0;
  U16String text_;
  int32_t percentage_ = 0;
  // Under the lock too, so that setting it races with no publication.
  Notifier notifier_ = nullptr;
  void* notifierData_ = nullptr;
};
