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
  Guard guard(*this);
  if (!guard.held()) return;
  cancelRequested_ = false;
  status_ = 0;
  percentage_ = 0;
  kit_ = kit;
  targetDirectory_ = target;
  EnsureTrailingSeparator(targetDirectory_);
}

void ProgressChannel::Publish(int32_t status, const U16String& text, int32_t percentage) {
  Store(status, text, percentage, false);
}

void ProgressChannel::PublishError(int32_t status, const U16String& text, int32_t percentage) {
  Store(status, text, percentage, true);
}

void ProgressChannel::Store(int32_t status, const U16String& text, int32_t percentage,
                            bool unlimited) {
  Notifier notifier;
  void* data;
  {
    Guard guard(*this, unlimited);
    if (!guard.held()) return;
    status_ = status;
    text_ = text;
    percentage_ = percentage;
    notifier = notifier_;
    data = notifierData_;
  }
  // Outside the lock: the notifier may read the channel.
  if (notifier) notifier(data);
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

void ProgressChannel::SetNotifier(Notifier notifier, void* data) {
  Guard guard(*this, true);
  if (!guard.held()) return;
  notifier_ = notifier;
  notifierData_ = data;
}
