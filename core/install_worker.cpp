#include "core/install_worker.h"

#include "core/template_installer.h"
#include "localization/message_catalogue.h"
#include "platform/result_codes.h"

U16String KeptBackupMessage(const U16String& folder) {
  return GetMessageText("IDS_RESTORE_KEPTFILES") + u" " + folder;
}

void StartWorker(InstallWorker& worker, ProgressChannel& channel, WorkerPause* pause) {
  worker.ReleaseThread();
  worker.channel_ = &channel;
  worker.pause_ = pause;
  worker.startResult_ = -1;
  worker.MarkStarted();
  worker.startResult_ = worker.StartThread();
  if (worker.startResult_ == 0) return;
  // Without a worker nothing would ever be published: a failed installation,
  // so that the front end does not wait for ever.
  channel.PublishError(static_cast<int32_t>(kErrorNotEnoughMemory),
                       GetMessageText("IDS_INSTALL_ERROR"), 0);
  if (pause) pause->MarkEnded();
  worker.MarkEnded(kErrorNotEnoughMemory, U16String());
}

InstallWorker::~InstallWorker() {
  ReleaseThread();
}

void InstallWorker::SetEndNotifier(EndNotifier notifier, void* data) {
  std::lock_guard<std::mutex> life(mutex_);
  endNotifier_ = notifier;
  endNotifierData_ = data;
}

bool InstallWorker::HasEnded(uint32_t* result) {
  std::lock_guard<std::mutex> life(mutex_);
  if (ended_ && result) *result = result_;
  return ended_;
}

U16String InstallWorker::KeptBackupDirectory() {
  std::lock_guard<std::mutex> life(mutex_);
  return ended_ ? keptBackup_ : U16String();
}

void InstallWorker::WaitForEnd() {
  std::unique_lock<std::mutex> life(mutex_);
  changed_.wait(life, [this] { return !running_; });
}

uint32_t InstallWorker::Run() {
  uint32_t result;
  U16String kept;
  {
    TemplateInstaller installer(*channel_, pause_);
    result = installer.InstallAll(*channel_);
    kept = installer.keptBackupDirectory();
  }
  if (pause_) pause_->MarkEnded();
  MarkEnded(result, kept);
  // Nothing of the worker is touched from here on: its owner may be gone.
  return result;
}

void InstallWorker::MarkStarted() {
  std::lock_guard<std::mutex> life(mutex_);
  running_ = true;
  ended_ = false;
  result_ = 0;
  keptBackup_.Clear();
}

void InstallWorker::MarkEnded(uint32_t result, const U16String& keptBackup) {
  // All under the life lock, the notifier too: a waiter cannot return, and
  // so cannot destroy the worker or what the notifier uses, before this last
  // touch is over.
  std::lock_guard<std::mutex> life(mutex_);
  running_ = false;
  ended_ = true;
  result_ = result;
  keptBackup_ = keptBackup;
  if (endNotifier_) endNotifier_(endNotifierData_);
  changed_.notify_all();
}
