#include "ui/win32/framework/application.h"

int CApplication::Run(int argumentCount, wchar_t** arguments) {
  argumentCount_ = argumentCount;
  arguments_ = arguments;
  if (!InitInstance()) return exitCode_;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return exitCode_;
}
