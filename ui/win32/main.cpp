// Process entry of the Windows setup program.
#include <windows.h>

#include <cstdlib>

#include "ui/win32/installer_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  CInstallerApp application;
  return application.Run(__argc, __wargv);
}
