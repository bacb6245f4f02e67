// The wizard sheet of the Windows program. It owns everything of the run:
// the six pages, the setup context with the kit, the progress channel and
// the worker thread, and it moves between the pages.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "core/install_worker.h"
#include "core/progress_channel.h"
#include "core/setup_context.h"
#include "core/startup.h"
#include "core/worker_pause.h"
#include "localization/language_choice.h"
#include "ui/win32/framework/wizard_sheet.h"
#include "ui/win32/installer_pages.h"

class CInstallerSheet : public CWizardSheet, public StartupReporter {
 public:
  enum PageIndex : int {
    kWelcome = 0,
    kDestination = 1,
    kProgress = 2,
    kCancelled = 3,
    kFailed = 4,
    kInstalled = 5,
  };

  explicit CInstallerSheet(const LanguageChoice& language);
  ~CInstallerSheet() override;

  // Loads every page's template in the run's language and adds the pages;
  // false when a template is missing.
  bool LoadPages();

  SetupContext& Context() { return context_; }
  ProgressChannel& Channel() { return channel_; }
  InstallWorker& Worker() { return worker_; }
  // The startup sequence ran and opened the kit.
  bool StartupPassed() const { return startupPassed_; }
  U16String LoadText(unsigned id) const;
  // MessageBoxW owned by the sheet, with the program's name as caption.
  int ShowMessage(const U16String& text, UINT type);

  // What the pages show and exchange.
  bool& DescriptionFlag() { return description_; }
  const U16String& ProgressText() const { return progressText_; }
  int32_t ProgressPercentage() const { return progressPercentage_; }

  // The pages' notifications, by the index of the page.
  void OnPageActivated(int index);
  LRESULT OnWizardBack(int index);
  LRESULT OnWizardNext(int index);
  void OnCancelRequested(int index);
  // Finish on the installed page, after its data has been saved.
  void OpenDescription();

  // The worker's result, a positive code in HRESULT form.
  int32_t WorkerResult() const { return workerResult_; }

 protected:
  bool OnInitBegin() override;
  void OnInitDone() override;
  void OnTimer(UINT_PTR id) override;
  void ReportStartupError(const char* messageKey) override;

 private:
  void LoadPage(CInstallerDlgPage& page, unsigned dialogId);
  LRESULT DialogOfPage(int index) const { return pageIds_[static_cast<size_t>(index)]; }
  void EnterFinishMode();
  void StartInstallation();
  void FollowWorker();
  void OnWorkerEnded(uint32_t result);
  void ConfirmCancelDuringCopying();

  CWelcomePage welcomePage_;
  CDestinationPage destinationPage_;
  CProgressPage progressPage_;
  CCancelPage cancelPage_;
  CErrorPage errorPage_;
  CSuccessPage successPage_;

  SetupContext context_;
  std::vector<unsigned> pageIds_;
  bool pagesLoaded_ = true;
  bool startupPassed_ = false;
  ProgressChannel channel_;
  // Where the worker pauses: while the cancel question is open, and after
  // its failure until the error box has been closed.
  WorkerPause pause_;
  // After what it uses: destroyed first, it waits for a worker that still
  // runs.
  InstallWorker worker_;
  // The worker has started and its end has not been taken up yet.
  bool followingWorker_ = false;
  int32_t workerResult_ = 0;
  // The worker's failure has been shown.
  bool errorShown_ = false;
  bool description_ = false;
  U16String progressText_;
  int32_t progressPercentage_ = 0;
  HICON icon_ = nullptr;
};
