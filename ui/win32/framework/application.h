// The application object: one per process. The process entry hands it the
// command line and runs its initialisation, which does the program's work.
#pragma once

#include <windows.h>

#include "platform/strings.h"

class CApplication {
 public:
  CApplication() = default;
  virtual ~CApplication() = default;
  CApplication(const CApplication&) = delete;
  CApplication& operator=(const CApplication&) = delete;

  // Runs the initialisation with the process's wide arguments and returns
  // the exit code it set (0 unless set), after the message loop when the
  // initialisation asks for one (which this program never does).
  int Run(int argumentCount, wchar_t** arguments);

  int ArgumentCount() const { return argumentCount_; }
  wchar_t** Arguments() const { return arguments_; }
  const U16String& AppName() const { return appName_; }
  void SetAppName(const U16String& name) { appName_ = name; }
  void SetExitCode(int code) { exitCode_ = code; }

 protected:
  // True would keep the application running in a message loop.
  virtual bool InitInstance() = 0;

 private:
  int argumentCount_ = 0;
  wchar_t** arguments_ = nullptr;
  U16String appName_;
  int exitCode_ = 0;
};
