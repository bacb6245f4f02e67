// The core's 16-bit units are the system's wide characters: paths and texts
// go to the wide calls and come back without conversion.
#pragma once

#include "platform/strings.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 units are the system's wide characters");

inline const wchar_t* Wide(const U16String& text) {
  return reinterpret_cast<const wchar_t*>(text.Data());
}

inline U16String FromWide(const wchar_t* text) {
  return U16String(reinterpret_cast<const char16_t*>(text));
}
