// Texts between the core's strings and windows: the system's wide
// characters are the core's 16-bit units.
#pragma once

#include <windows.h>

#include "platform/strings.h"

inline const wchar_t* Wide(const U16String& text) {
  return reinterpret_cast<const wchar_t*>(text.Data());
}

inline U16String FromWide(const wchar_t* text) {
  return U16String(reinterpret_cast<const char16_t*>(text));
}

// Sets a window's text.
void SetWindowTextOf(HWND window, const U16String& text);
// A window's whole text; it ends at the first zero character.
U16String GetWindowTextOf(HWND window);
