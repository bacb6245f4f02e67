#include "ui/win32/installer_app.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <memory>

#include "core/run_outcome.h"
#include "core/startup.h"
#include "localization/language_choice.h"
#include "localization/message_catalogue.h"
#include "localization/message_ids.h"
#include "ui/win32/installer_sheet.h"

namespace {

// COM on the user-interface thread for the run: the shell needs it for some
// file associations when it opens the description.
class ComApartment {
 public:
  ComApartment()
      : initialised_(
            SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
  }
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

}  // namespace

bool CInstallerApp::InitInstance() {
  ComApartment com;
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
    NoteInstallation(run, sheet->Worker());
  }
  SetExitCode(ExitStatusOf(DecideRunOutcome(run)));
  return false;
}
