#include "ui/gtk/application.h"

#include <cstdio>
#include <memory>

#include "core/run_outcome.h"
#include "core/startup.h"
#include "localization/language_choice.h"
#include "localization/message_catalogue.h"
#include "ui/console/console_text.h"
#include "ui/console/headless_run.h"
#include "ui/console/stop_signals.h"
#include "ui/console/usage.h"
#include "ui/gtk/installer_dlg.h"
#include "ui/gtk/message_box.h"

namespace {

// A failed startup shows its one message in an error box with the title.
class MessageBoxReporter : public StartupReporter {
 public:
  explicit MessageBoxReporter(CInstallerDlg& dialog) : dialog_(dialog) {}
  void ReportStartupError(const char* messageKey) override {
    dialog_.ShowMessage(GetMessageText(messageKey), kMessageErrorOk);
  }

 private:
  CInstallerDlg& dialog_;
};

RunOutcome RunWizard(int argumentCount, char** arguments, const CommandLineOptions& options,
                     const LanguageChoice& language, const NarrowString& title) {
  auto dialog = std::make_unique<CInstallerDlg>(argumentCount, arguments, options.silentMode, title,
                                                language.languageCode, options.useWorkingDirectory);
  dialog->Context().languageId = language.languageId;

  RunRecord run;
  MessageBoxReporter reporter(*dialog);
  run.startupPassed = RunStartupSequence(dialog->Context(), reporter);
  if (!run.startupPassed) return DecideRunOutcome(run);
  dialog->CreateWizardWindow();
  dialog->ShowWelcomePage();
  if (options.silentMode)
    dialog->RunInstallation();
  else
    gtk_main();
  // The process must not end while the worker still restores the template
  // directory, nor destroy the channel the worker still uses.
  dialog->WaitForWorkerEnd();
  NoteInstallation(run, dialog->Worker());
  return DecideRunOutcome(run);
}

}  // namespace

int RunSetupApplication(int argumentCount, char** arguments) {
  CommandLineOptions options = ParseCommandLine(argumentCount, arguments);
  LanguageChoice language =
      ChooseLanguage(options.hasLanguage ? options.languageCode.Data() : nullptr);
  if (options.showHelp) {
    NarrowString usage = ToNarrow(UsageText(arguments[0]));
    std::fwrite(usage.Data(), 1, usage.Length(), stdout);
    std::fflush(stdout);
    return 0;
  }
  NarrowString title = ToNarrow(GetMessageText("IDR_MAINFRAME"));
  // GTK takes its own options out of the arguments; without a display the
  // wizard cannot run, and only a silent run goes on, without a window.
  if (!gtk_init_check(&argumentCount, &arguments)) {
    if (!options.silentMode) {
      WriteLine(stderr, GetMessageText("IDS_ERROR_NODISPLAY"));
      return ExitStatusOf(RunOutcome::NotStarted);
    }
    HeadlessRun run(argumentCount, arguments, title, language.languageCode, language.languageId,
                    options.useWorkingDirectory);
    StopSignals stopSignals(run);
    return ExitStatusOf(run.Run());
  }
  return ExitStatusOf(RunWizard(argumentCount, arguments, options, language, title));
}
