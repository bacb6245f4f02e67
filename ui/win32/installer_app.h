// The Windows program's application object: reads the options, chooses the
// language, and runs the wizard sheet.
#pragma once

#include "ui/win32/framework/application.h"

class CInstallerApp : public CApplication {
 protected:
  // Runs the whole wizard and sets the exit code from how the run ended;
  // false, so the process ends when the wizard has closed.
  bool InitInstance() override;

 private:
  bool silentMode_ = false;
};
