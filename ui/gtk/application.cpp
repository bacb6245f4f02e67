#include "ui/gtk/application.h"

#include <memory>

#include "core/startup.h"
#include "localization/language_choice.h"
#include "localization/message_catalogue.h"
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

}  // namespace

void RunSetupApplication(int argumentCount, char** arguments) {
  CommandLineOptions options = ParseCommandLine(argumentCount, arguments);
  LanguageChoice language =
      ChooseLanguage(options.hasLanguage ? options.languageCode.Data() : nullptr);
  NarrowString title = ToNarrow(GetMessageText("IDR_MAINFRAME"));
  auto dialog = std::make_unique<CInstallerDlg>(argumentCount, arguments, options.silentMode, title,
                                                language.languageCode, options.useWorkingDirectory);
  dialog->Context().languageId = language.languageId;

  MessageBoxReporter reporter(*dialog);
  if (!RunStartupSequence(dialog->Context(), reporter)) return;
  dialog->CreateWizardWindow();
  dialog->ShowWelcomePage();
  if (options.silentMode)
    dialog->RunInstallation();
  else
    gtk_main();
  // The process must not end while the worker still restores the template
  // directory, nor destroy the channel the worker still uses.
  dialog->WaitForWorkerEnd();
}
