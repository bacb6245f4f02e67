// The wizard window of the Linux program: one fixed-size toplevel with a
// button row, the pages above it, and the wizard's state machine. It owns
// everything of the run: the setup context with the kit, the progress
// channel, the install worker and the pages.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>

#include "core/install_worker.h"
#include "core/progress_channel.h"
#include "core/setup_context.h"
#include "ui/gtk/cwnd.h"
#include "ui/gtk/wizard_pages.h"

enum class WizardState : int32_t {
  None = 0,
  Welcome = 1,
  Destination = 2,
  Copying = 3,
  Success = 4,
  Error = 5,
};

class CInstallerDlg : public CWnd {
 public:
  static constexpr int kWidth = 500;
  static constexpr int kHeight = 360;

  // Stores the arguments, initialises GTK with them and posts the first
  // progress message.
  CInstallerDlg(int argumentCount, char** arguments, bool silentMode,
                const NarrowString& windowTitle, const U16String& languageCode,
                bool useWorkingDirectory);
  ~CInstallerDlg() override;
  CInstallerDlg(const CInstallerDlg&) = delete;
  CInstallerDlg& operator=(const CInstallerDlg&) = delete;

  U16String GetTitle() const override;
  SetupContext& Context() { return context_; }

  // Window and page framework.
  void CreateWizardWindow();
  void ShowPage(WizardDialogPage* page);
  int ShowMessage(const U16String& text, uint32_t kind);

  // The flow.
  void ShowWelcomePage();
  void ShowDestinationPage();
  void RunInstallation();
  void ShowSuccessPage();
  void ShowErrorPage();
  void EnterFinishMode();
  void ConfirmCancel();
  void FinishWizard();

  // What the buttons, the keyboard and the window manager ask for.
  void OnBackClicked();
  void OnNextClicked();
  void OnCancelClicked();
  bool OnKeyPress(const GdkEventKey* event);
  // True when the request is consumed (during copying it means Cancel).
  bool OnDeleteEvent();
  // SIGINT, SIGTERM or SIGHUP: during copying the Cancel button; at any
  // other moment the run ends at once, an open box answered as closed.
  void OnStopSignal();

  // Returns once no worker runs any more; GTK's loop keeps running
  // meanwhile, and the buttons and keys do nothing from then on.
  void WaitForWorkerEnd();

  // For the window tests.
  WizardState State() const { return state_; }
  GtkWidget* Window() const { return window_; }
  GtkWidget* Container() const { return fixed_; }
  GtkWidget* BackButton() const { return back_; }
  GtkWidget* NextButton() const { return next_; }
  GtkWidget* CancelButton() const { return cancel_; }
  GtkWidget* Separator() const { return separator_; }
  WizardDialogPage* CurrentPage() const { return currentPage_; }
  MessagePage* WelcomePage() const { return welcomePage_.get(); }
  DirSelectPage* DestinationPage() const { return destinationPage_.get(); }
  ProgressPage* ProgressPageOf() const { return progressPage_.get(); }
  SuccessFinalPage* SuccessPage() const { return successPage_.get(); }
  MessagePage* ErrorPage() const { return errorPage_.get(); }
  ProgressChannel& Channel() { return channel_; }
  InstallWorker& Worker() { return worker_; }

 private:
  void FollowWorker();
  // After the rollback: where the originals it could not put back are kept.
  void TellKeptBackup();
  void OpenDescription();

  static void BackClicked(GtkButton*, gpointer dialog);
  static void NextClicked(GtkButton*, gpointer dialog);
  static void CancelClicked(GtkButton*, gpointer dialog);
  static gboolean KeyPressed(GtkWidget*, GdkEventKey* event, gpointer dialog);
  static gboolean DeleteRequested(GtkWidget*, GdkEvent*, gpointer dialog);
  static void Destroyed(GtkWidget*, gpointer dialog);
  static gboolean StopSignalReceived(gpointer dialog);

  SetupContext context_;
  ProgressChannel channel_;
  WizardState state_ = WizardState::None;

  std::unique_ptr<MessagePage> welcomePage_;
  std::unique_ptr<DirSelectPage> destinationPage_;
  WizardDialogPage* currentPage_ = nullptr;
  std::unique_ptr<ProgressPage> progressPage_;
  std::unique_ptr<SuccessFinalPage> successPage_;
  std::unique_ptr<MessagePage> errorPage_;

  GdkPixbuf* sidePicture_ = nullptr;
  GtkWidget* back_ = nullptr;
  GtkWidget* next_ = nullptr;
  GtkWidget* cancel_ = nullptr;
  GtkWidget* separator_ = nullptr;

  int argumentCount_;
  char** arguments_;
  int width_ = kWidth;
  int height_ = kHeight;
  NarrowString title_;

  GtkWidget* window_ = nullptr;  // null again once destroyed
  GtkWidget* fixed_ = nullptr;
  GdkPixbuf* icon_ = nullptr;

  // The main loop's sources for the stop signals.
  guint signalSources_[3] = {0, 0, 0};

  // After the channel and the kit it uses: destroyed first, it waits for a
  // worker that still runs.
  InstallWorker worker_;
  bool workerStarted_ = false;
  bool closing_ = false;
  bool stopSignalled_ = false;  // a stop signal came while copying
};
