// Transfer between a dialog's controls and the values behind them: loading
// puts the values into the controls, saving reads the controls back.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/strings.h"

class DataExchange {
 public:
  DataExchange(HWND dialog, bool saving) : dialog_(dialog), saving_(saving) {}

  bool Saving() const { return saving_; }

  // A control's whole text.
  void Text(int controlId, U16String& value);
  // A check box: ticked or not.
  void Check(int controlId, bool& value);
  // A progress bar's position; loading only.
  void Progress(int controlId, int32_t value);

 private:
  HWND Control(int controlId) const { return GetDlgItem(dialog_, controlId); }

  HWND dialog_;
  bool saving_;
};
