// The wizard's state machine: pages, button rows and transitions, the
// copying loop, and what Finish does.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "core/install_worker.h"
#include "core/template_location.h"
#include "core/wizard_decisions.h"
#include "localization/message_catalogue.h"
#include "platform/fs_helpers.h"
#include "ui/console/console_text.h"
#include "ui/gtk/installer_dlg.h"
#include "ui/gtk/message_box.h"

namespace {

NarrowString Text(const char* key) {
  return ToNarrow(GetMessageText(key));
}

// Opens path with the desktop's opener and waits for it: the path is its only
// argument and no shell sees it, so nothing in it needs escaping.
void OpenWithDesktop(const U16String& path) {
  // A relative path could begin with "-" and be read as an option.
  NarrowString narrow = ToNarrow(path.StartsWith(u"/") ? path : U16String(u"./") + path);
  char program[] = "xdg-open";
  char* argv[] = {program, const_cast<char*>(narrow.Data()), nullptr};
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return;
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  if (posix_spawnp(&child, program, &actions, nullptr, argv, environ) == 0) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  posix_spawn_file_actions_destroy(&actions);
}

// Runs on the worker's thread after each publication and at its end: makes
// the blocked gtk_main_iteration of the copying loop return.
void WakeMainLoop(void*) {
  g_main_context_wakeup(nullptr);
}

}  // namespace

void CInstallerDlg::ShowWelcomePage() {
  if (!welcomePage_)
    welcomePage_ = std::make_unique<MessagePage>(fixed_, sidePicture_, WelcomeText(context_));
  if (context_.silentMode) {
    gtk_widget_set_visible(back_, FALSE);
    gtk_widget_set_visible(next_, FALSE);
  } else {
    gtk_widget_set_sensitive(back_, FALSE);
  }
  state_ = WizardState::Welcome;
  ShowPage(welcomePage_.get());
}

void CInstallerDlg::ShowDestinationPage() {
  state_ = WizardState::Destination;
  if (!destinationPage_) destinationPage_ = std::make_unique<DirSelectPage>(fixed_, sidePicture_);
  destinationPage_->SetDirectory(context_.targetDirectory);
  gtk_widget_set_sensitive(back_, TRUE);
  gtk_widget_set_sensitive(next_, TRUE);
  ShowPage(destinationPage_.get());
}

void CInstallerDlg::OnNextClicked() {
  if (closing_) return;
  switch (state_) {
    case WizardState::Welcome:
      ShowDestinationPage();
      break;
    case WizardState::Destination: {
      U16String directory = AcceptedDirectory(destinationPage_->GetDirectory());
      if (directory.IsEmpty()) {
        ShowMessage(GetMessageText("IDS_SETUP_EMPTYTARGET"), kMessagePlainOk);
        break;
      }
      context_.targetDirectory = directory;
      RunInstallation();
      break;
    }
    case WizardState::Success:
    case WizardState::Error:
      FinishWizard();
      break;
    default:
      break;
  }
}

void CInstallerDlg::OnBackClicked() {
  if (closing_) return;
  if (state_ == WizardState::Destination) ShowWelcomePage();
}

void CInstallerDlg::RunInstallation() {
  if (!progressPage_) progressPage_ = std::make_unique<ProgressPage>(fixed_, width_ - 20);
  gtk_widget_set_sensitive(back_, FALSE);
  gtk_widget_set_sensitive(next_, FALSE);
  channel_.SetNotifier(WakeMainLoop, nullptr);
  worker_.SetEndNotifier(WakeMainLoop, nullptr);
  channel_.Prepare(&context_.kit, context_.targetDirectory);
  ShowPage(progressPage_.get());
  state_ = WizardState::Copying;
  // A worker that cannot start publishes an error and its end at once.
  StartWorker(worker_, channel_);
  workerStarted_ = true;
  FollowWorker();
}

// Samples the channel once per main-loop pass. The worker's notifier wakes
// the pass after every publication and at its end, so no timer is needed
// and nothing spins while the worker writes.
void CInstallerDlg::FollowWorker() {
  for (;;) {
    // Seen before the read: everything the worker published comes before its
    // end, so a read after this sees the final values.
    bool ended = worker_.HasEnded();
    int32_t status = 0, percentage = 0;
    U16String text;
    channel_.Read(&status, &text, &percentage);
    if (window_) progressPage_->Update(percentage);
    if (status != 0) {
      ShowMessage(text, kMessageErrorOk);
      TellKeptBackup();
      ShowErrorPage();
      return;
    }
    if (percentage > 99) {
      ShowSuccessPage();
      RecordChosenDirectory(context_);
      return;
    }
    if (ended) {
      // Cancelled: the worker has rolled back and published nothing. A
      // cancel by signal ends the run here.
      TellKeptBackup();
      if (stopSignalled_ && window_) {
        gtk_widget_destroy(window_);
        return;
      }
      ShowErrorPage();
      return;
    }
    gtk_main_iteration();
  }
}

void CInstallerDlg::TellKeptBackup() {
  while (!worker_.HasEnded()) gtk_main_iteration();
  U16String kept = worker_.KeptBackupDirectory();
  if (kept.IsEmpty()) return;
  // On standard error as well, for whoever started the program from a script.
  WriteLine(stderr, KeptBackupMessage(kept));
  ShowMessage(KeptBackupMessage(kept), kMessageErrorOk);
}

void CInstallerDlg::ShowSuccessPage() {
  state_ = WizardState::Success;
  if (!window_) return;
  if (!successPage_)
    successPage_ = std::make_unique<SuccessFinalPage>(fixed_, sidePicture_,
                                                      GetMessageText("IDS_SUCCESS_FINISH"));
  EnterFinishMode();
  ShowPage(successPage_.get());
}

void CInstallerDlg::ShowErrorPage() {
  if (!window_) {
    state_ = WizardState::Error;
    return;
  }
  if (!errorPage_)
    errorPage_ =
        std::make_unique<MessagePage>(fixed_, sidePicture_, GetMessageText("IDS_ERROR_FINISH"));
  state_ = WizardState::Error;
  EnterFinishMode();
  ShowPage(errorPage_.get());
}

void CInstallerDlg::EnterFinishMode() {
  if (!window_) return;
  gtk_widget_set_sensitive(next_, TRUE);
  gtk_widget_set_sensitive(cancel_, FALSE);
  gtk_widget_set_visible(back_, FALSE);
  gtk_widget_set_visible(next_, TRUE);
  gtk_button_set_label(GTK_BUTTON(next_), Text("IDS_WIZARD_FINISH").Data());
  gtk_widget_set_can_default(next_, TRUE);
  gtk_window_set_default(GTK_WINDOW(window_), next_);
}

void CInstallerDlg::OnCancelClicked() {
  if (closing_) return;
  if (state_ == WizardState::Copying) {
    // No question: the worker stops after the file it is writing, restores
    // the template directory, and the copying loop then shows the error page.
    channel_.RequestCancel();
    return;
  }
  ConfirmCancel();
}

void CInstallerDlg::ConfirmCancel() {
  if (ShowMessage(GetMessageText("IDS_ACCEPT_CANCEL"), kMessageQuestionYesNo) == kAnswerYes &&
      window_)
    gtk_widget_destroy(window_);
}

void CInstallerDlg::OpenDescription() {
  if (DescriptionExists(context_) && successPage_->WantsDescription())
    OpenWithDesktop(DescriptionPath(context_));
}

void CInstallerDlg::FinishWizard() {
  if (state_ == WizardState::Success) OpenDescription();
  if (window_) gtk_widget_destroy(window_);
}

void CInstallerDlg::WaitForWorkerEnd() {
  if (!workerStarted_) return;
  // The last page stays up and redraws, but nothing acts any more.
  closing_ = true;
  while (!worker_.HasEnded()) gtk_main_iteration();
}
