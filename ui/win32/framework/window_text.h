// Texts between the core's strings and windows: the system's wide
// characters are the core's 16-bit units.
#pragma once

#include <windows.h>

#include "platform/strings.h"
#include "platform/win32/wide_text.h"

// Sets a window's text.
void SetWindowTextOf(HWND window, const U16String& text);
// A window's whole text; it ends at the first zero character.
U16String GetWindowTextOf(HWND window);
