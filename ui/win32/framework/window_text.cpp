#include "ui/win32/framework/window_text.h"

#include <vector>

void SetWindowTextOf(HWND window, const U16String& text) {
  SetWindowTextW(window, Wide(text));
}

U16String GetWindowTextOf(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return U16String();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(window, buffer.data(), length + 1);
  return FromWide(buffer.data());
}
