#include "core/progress_channel.h"

#include "platform/fs_helpers.h"

// Holds the channel's lock for one operation, also when it leaves by an
// exception. Windows: a lock that could not be had within its limit makes
// the operation do nothing.
class ProgressChannel::Guard {
 public:
  explicit Guard(ProgressChannel& channel, bool unlimited = false)
      : channel_(channel), held_(channel.Acquire(unlimited)) {}
  ~Guard() {
    if (held_) channel_.Release();
  }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;
  bool held() const { return held_; }

 private:
  ProgressChannel& channel_;
  bool held_;
};

ProgressChannel::ProgressChannel() {
  CreateLock();
  Initialise();
}

ProgressChannel::~ProgressChannel() {
  DestroyLock();
}

void ProgressChannel::Initialise() {
  Guard guard(*this);
  if (!guard.held()) return;
  targetDirectory_.Clear();
  text_.Clear();
}

void ProgressChannel::Prepare(DistributionKit* kit, const U16String& target) {
  {
    Guard guard(*this);
    if (!guard.held()) return;
    cancelRequested_ = false;
    status_ = 0;
    percentage_ = 0;
    kit_ = kit;
    targetDirectory_ = target;
    EnsureTrailingSeparator(targetDirectory_);
  }
  std::lock_guard<std::mutex> life(lifeMutex_);
  workerRunning_ = false;
  workerEnded_ = false;
  workerResult_ = 0;
  keptBackup_.Clear();
}

void ProgressChannel::Publish(int32_t status, const U16String& text, int32_t percentage) {
  {
    Guard guard(*this);
    if (!guard.held()) return;
    status_ = status;
    text_ = text;
    percentage_ = percentage;
  }
  Notify();
}

void ProgressChannel::PublishError(int32_t status, const U16String& text, int32_t percentage) {
  {
    Guard guard(*this, true);
    status_ = status;
    text_ = text;
    percentage_ = percentage;
  }
  Notify();
}

void ProgressChannel::Read(int32_t* status, U16String* text, int32_t* percentage) {
  Guard guard(*this);
  if (!guard.held()) return;
  if (status) *status = status_;
  if (text) *text = text_;
  if (percentage) *percentage = percentage_;
}

void ProgressChannel::TakeJob(DistributionKit** kit, U16String* target) {
  Guard guard(*this, true);
  *kit = kit_;
  *target = targetDirectory_;
}

bool ProgressChannel::IsCancelRequested() {
  Guard guard(*this);
  return guard.held() && cancelRequested_;
}

void ProgressChannel::RequestCancel() {
  Guard guard(*this);
  if (guard.held()) cancelRequested_ = true;
}

void ProgressChannel::MarkWorkerStarted() {
  std::lock_guard<std::mutex> life(lifeMutex_);
  workerRunning_ = true;
  workerEnded_ = false;
}

void ProgressChannel::MarkWorkerEnded(uint32_t result, const U16String& keptBackup) {
  // All under the life lock: a waiter cannot return, and so cannot destroy
  // what the notifier uses, before the worker's last touch is over.
  std::lock_guard<std::mutex> life(lifeMutex_);
  workerRunning_ = false;
  workerEnded_ = true;
  workerResult_ = result;
  keptBackup_ = keptBackup;
  if (notifier_) notifier_(notifierData_);
  lifeChanged_.notify_all();
}

bool ProgressChannel::HasWorkerEnded(uint32_t* result) {
  std::lock_guard<std::mutex> life(lifeMutex_);
  if (workerEnded_ && result) *result = workerResult_;
  return workerEnded_;
}

U16String ProgressChannel::KeptBackupDirectory() {
  std::lock_guard<std::mutex> life(lifeMutex_);
  return workerEnded_ ? keptBackup_ : U16String();
}

void ProgressChannel::WaitForWorkerEnd() {
  std::unique_lock<std::mutex> life(lifeMutex_);
  lifeChanged_.wait(life, [this] { return !workerRunning_; });
}

void ProgressChannel::SetNotifier(Notifier notifier, void* data) {
  std::lock_guard<std::mutex> life(lifeMutex_);
  notifier_ = notifier;
  notifierData_ = data;
}

void ProgressChannel::Notify() {
  Notifier notifier;
  void* data;
  {
    std::lock_guard<std::mutex> life(lifeMutex_);
    notifier = notifier_;
    data = notifierData_;
  }
  if (notifier) notifier(data);
}
