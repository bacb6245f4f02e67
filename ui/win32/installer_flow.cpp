// The wizard's flow: what each page's activation, Back, Next and cancel do,
// the worker's start, and timer 0, which follows the worker.
#include <windows.h>

#include <shellapi.h>

#include "core/install_worker.h"
#include "core/template_location.h"
#include "core/wizard_decisions.h"
#include "localization/message_ids.h"
#include "platform/fs_helpers.h"
#include "ui/win32/framework/window_text.h"
#include "ui/win32/installer_sheet.h"

namespace {

constexpr UINT_PTR kFollowTimer = 0;
constexpr UINT kFollowPeriod = 500;  // milliseconds
// How long the cancel question waits for the worker to reach its next safe
// point. A block of a copy or one file's backup takes far less; a worker
// that is late still pauses there while the question is open.
constexpr unsigned kPauseWaitMs = 2000;

// Set while a tick of timer 0 or the cancel question of the copying page
// runs: a tick that comes meanwhile (their message boxes dispatch the
// sheet's messages) does nothing.
volatile LONG follow_busy = 0;

bool EnterFollowGuard() {
  return InterlockedCompareExchange(&follow_busy, 1, 0) == 0;
}

void LeaveFollowGuard() {
  InterlockedExchange(&follow_busy, 0);
}

// 0 and negative codes as they are, others as the HRESULT of a Win32 error.
int32_t ResultInHresultForm(uint32_t code) {
  int32_t value = static_cast<int32_t>(code);
  if (value <= 0) return value;
  return static_cast<int32_t>((code & 0xFFFFu) | 0x80070000u);
}

}  // namespace

void CInstallerSheet::OnPageActivated(int index) {
  switch (index) {
    case kWelcome:
      SetWizardButtons(PSWIZB_NEXT);
      break;
    case kDestination:
      SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
      break;
    case kProgress:
      SetWizardButtons(0);
      StartInstallation();
      break;
    case kCancelled:
    case kFailed:
      description_ = false;
      KillTimer(Window(), kFollowTimer);
      EnterFinishMode();
      break;
    case kInstalled:
      KillTimer(Window(), kFollowTimer);
      RecordChosenDirectory(context_);
      EnterFinishMode();
      break;
  }
  EnableWindow(Item(kHelpButton), FALSE);
}

LRESULT CInstallerSheet::OnWizardBack(int index) {
  if (index == kDestination) return DialogOfPage(kWelcome);
  return CWizardPage::kStay;
}

LRESULT CInstallerSheet::OnWizardNext(int index) {
  switch (index) {
    case kWelcome:
      return DialogOfPage(kDestination);
    case kDestination:
      context_.targetDirectory = AcceptedDirectory(context_.targetDirectory);
      if (context_.targetDirectory.IsEmpty()) {
        ShowMessage(LoadText(IDS_SETUP_EMPTYTARGET), MB_OK);
        return CWizardPage::kStay;
      }
      return DialogOfPage(kProgress);
    case kProgress:
      // Only the worker's end leads on: its result decides where.
      if (followingWorker_) return CWizardPage::kStay;
      if (workerResult_ >= 0) {
        description_ = DescriptionExists(context_);
        return DialogOfPage(kInstalled);
      }
      return DialogOfPage(kFailed);
    default:
      return CWizardPage::kStay;
  }
}

void CInstallerSheet::OnCancelRequested(int index) {
  switch (index) {
    case kWelcome:
    case kDestination:
      if (ShowMessage(LoadText(IDS_ACCEPT_CANCEL), MB_YESNO | MB_ICONQUESTION) == IDYES)
        SetActivePage(kCancelled);
      break;
    case kProgress:
      ConfirmCancelDuringCopying();
      break;
    default:
      break;  // the final pages' Cancel is disabled
  }
}

void CInstallerSheet::ConfirmCancelDuringCopying() {
  // The worker's end or failure is taken up by the next tick after the
  // question, not while it is open.
  if (!EnterFollowGuard()) return;
  // No file changes while the question is open: the worker pauses itself at
  // its next safe point, and the question waits for that.
  if (followingWorker_) pause_.PauseAndWait(kPauseWaitMs);
  if (ShowMessage(LoadText(IDS_ACCEPT_CANCEL), MB_YESNO | MB_ICONQUESTION) == IDYES)
    channel_.RequestCancel();
  pause_.Resume();
  LeaveFollowGuard();
}

void CInstallerSheet::StartInstallation() {
  channel_.Prepare(&context_.kit, context_.targetDirectory);
  // The worker waits after its failure until the error box has been shown.
  pause_.Prepare(true);
  errorShown_ = false;
  workerResult_ = 0;
  // A worker that cannot start has published its error and ended: the
  // first tick shows the one and takes up the other.
  StartWorker(worker_, channel_, &pause_);
  followingWorker_ = true;
  SetTimer(Window(), kFollowTimer, kFollowPeriod, nullptr);
}

void CInstallerSheet::OnTimer(UINT_PTR id) {
  if (id != kFollowTimer || !EnterFollowGuard()) return;
  FollowWorker();
  LeaveFollowGuard();
}

void CInstallerSheet::FollowWorker() {
  if (!followingWorker_) return;
  // Seen before the read: everything the worker published comes first.
  uint32_t result = 0;
  bool ended = worker_.HasEnded(&result);
  // Values that cannot be read this time (lock not had) stay as they were.
  int32_t status = 0;
  U16String text = progressText_;
  int32_t percentage = progressPercentage_;
  channel_.Read(&status, &text, &percentage);
  progressText_ = text;
  progressPercentage_ = percentage;
  // The failure is shown once: the worker waits after publishing it until
  // the box has been closed, then restores the directory while the failure
  // stays in the channel.
  if (status != 0 && !errorShown_) {
    errorShown_ = true;
    ShowMessage(text, MB_ICONERROR);
    pause_.ErrorShown();
  }
  if (!ended) {
    if (CWizardPage* page = GetActivePage()) page->UpdateData(false);
    return;
  }
  followingWorker_ = false;
  OnWorkerEnded(result);
}

void CInstallerSheet::OnWorkerEnded(uint32_t result) {
  workerResult_ = ResultInHresultForm(result);
  // After the error box: where the originals the rollback could not put
  // back are kept.
  U16String kept = worker_.KeptBackupDirectory();
  if (!kept.IsEmpty()) ShowMessage(KeptBackupMessage(kept), MB_ICONWARNING);
  if (!context_.silentMode) {
    PressButton(PSBTN_NEXT);
    return;
  }
  // Silent mode ends without a final page and opens nothing.
  KillTimer(Window(), kFollowTimer);
  if (workerResult_ >= 0) RecordChosenDirectory(context_);
  EndDialog(IDOK);
}

void CInstallerSheet::OpenDescription() {
  if (!description_) return;
  ShellExecuteW(nullptr, nullptr, Wide(DescriptionPath(context_)), nullptr, nullptr, SW_SHOWNORMAL);
}
