#include "ui/win32/installer_app.h"

#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "core/run_outcome.h"
#include "core/startup.h"
#include "localization/language_choice.h"
#include "localization/message_catalogue.h"
#include "localization/message_ids.h"
#include "ui/win32/installer_sheet.h"

bool CInstallerApp::InitInstance() {
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = 8;
  controls.dwICC = 0xFF;
  InitCommonControlsEx(&controls);

  CommandLineOptions options = ParseCommandLine(ArgumentCount(), Arguments());
  silentMode_ = options.silentMode;
  LanguageChoice language =
      ChooseLanguage(options.hasLanguage ? options.languageCode.Data() : nullptr);
  SetAppName(GetMessageText(static_cast<unsigned>(IDR_MAINFRAME)));

  auto sheet = std::make_unique<CInstallerSheet>(language);
  SetupContext& context = sheet->Context();
  context.argumentCount = ArgumentCount();
  context.arguments = Arguments();
  context.silentMode = silentMode_;
  context.windowTitle = AppName();
  RunRecord run;
  if (sheet->LoadPages()) {
    sheet->DoModal();
    run.startupPassed = sheet->StartupPassed();
    NoteInstallation(run, sheet->Channel());
  }
  SetExitCode(ExitStatusOf(DecideRunOutcome(run)));
  return false;
}
