#include "ui/win32/framework/data_exchange.h"

#include <commctrl.h>

#include "ui/win32/framework/window_text.h"

void DataExchange::Text(int controlId, U16String& value) {
  HWND control = Control(controlId);
  if (!control) return;
  if (saving_) {
    value = GetWindowTextOf(control);
  } else if (!(GetWindowTextOf(control) == value)) {
    // Setting an unchanged text again would only make the control flicker.
    SetWindowTextOf(control, value);
  }
}

void DataExchange::Check(int controlId, bool& value) {
  HWND control = Control(controlId);
  if (!control) return;
  if (saving_)
    value = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
  else
    SendMessageW(control, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void DataExchange::Progress(int controlId, int32_t value) {
  HWND control = Control(controlId);
  if (control && !saving_) SendMessageW(control, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}
