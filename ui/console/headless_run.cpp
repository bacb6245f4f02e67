#include "ui/console/headless_run.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "core/install_worker.h"
#include "core/startup.h"
#include "core/template_location.h"
#include "localization/message_catalogue.h"
#include "ui/console/console_text.h"
#include "ui/console/progress_line.h"

namespace {

// A refused startup prints its one message where the wizard shows a box.
class StandardErrorReporter : public StartupReporter {
 public:
  void ReportStartupError(const char* messageKey) override {
    WriteLine(stderr, GetMessageText(messageKey));
  }
};

// Runs on the worker's thread after each publication and at its end.
void WakeLoop(void* pipe) {
  static_cast<WakePipe*>(pipe)->Wake();
}

}  // namespace

HeadlessRun::HeadlessRun(int argumentCount, char** arguments, const NarrowString& windowTitle,
                         const U16String& languageCode, int languageId, bool useWorkingDirectory) {
  context_.argumentCount = argumentCount;
  context_.arguments = arguments;
  context_.silentMode = true;
  context_.windowTitle = windowTitle;
  context_.languageCode = languageCode;
  context_.languageId = languageId;
  context_.useWorkingDirectory = useWorkingDirectory;
  channel_.Publish(0, GetMessageText("IDS_PREPARECOPY"), 0);
}

void HeadlessRun::RequestCancel() {
  cancelRequested_.store(true);
  wake_.Wake();
}

RunOutcome HeadlessRun::Run() {
  // A reader of standard error that has gone away (a closed pipe, a log
  // process that died) must not end the run in the middle of a rollback:
  // the texts are lost, the installation is not. GTK's failed
  // initialisation has done the same; this run does not rely on it.
  std::signal(SIGPIPE, SIG_IGN);
  RunRecord run;
  StandardErrorReporter reporter;
  run.startupPassed = RunStartupSequence(context_, reporter);
  if (run.startupPassed && !cancelRequested_.load()) {
    channel_.SetNotifier(WakeLoop, &wake_);
    worker_.SetEndNotifier(WakeLoop, &wake_);
    channel_.Prepare(&context_.kit, context_.targetDirectory);
    StartWorker(worker_, channel_);
    FollowWorker();
    channel_.SetNotifier(nullptr, nullptr);
    U16String kept = worker_.KeptBackupDirectory();
    if (!kept.IsEmpty()) WriteLine(stderr, KeptBackupMessage(kept));
  }
  run.cancelRequested = cancelRequested_.load();
  NoteInstallation(run, worker_);
  RunOutcome outcome = DecideRunOutcome(run);
  if (outcome == RunOutcome::Installed) RecordChosenDirectory(context_);
  if (const char* key = FinalMessageKey(outcome)) WriteLine(stderr, GetMessageText(key));
  return outcome;
}

// Follows the channel until the worker has ended, also after a failure,
// while the worker puts the directory back. The loop sleeps in the wake
// pipe: the worker wakes it after each publication, a cancel request at
// once.
void HeadlessRun::FollowWorker() {
  ProgressLine line(STDERR_FILENO);
  bool cancelPassed = false;
  bool errorShown = false;
  for (;;) {
    if (cancelRequested_.load() && !cancelPassed) {
      channel_.RequestCancel();
      cancelPassed = true;
    }
    // Seen before the read: everything the worker published comes first.
    bool ended = worker_.HasEnded();
    int32_t status = 0, percentage = 0;
    U16String text;
    channel_.Read(&status, &text, &percentage);
    if (status != 0 && !errorShown) {
      line.Erase();
      WriteLine(stderr, text);
      errorShown = true;
    } else if (!errorShown) {
      line.Show(percentage, text);
    }
    if (ended) break;
    wake_.Wait(line.HeldFor());
    line.DrawHeld();
  }
  line.Erase();
}
