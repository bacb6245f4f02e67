// Conversions at the Windows boundary. The core's UTF-16 units are the
// system's wide characters, so paths and texts go to the system unchanged;
// only 8-bit text is converted: the ANSI code page for the launcher
// settings file and UTF-8 for data that is UTF-8 by definition.
//
// The system's conversions never fail on ordinary text: a character the
// code page lacks becomes its default character, and bytes that do not
// decode become U+FFFD.
#include <windows.h>

#include <cstdlib>

#include "platform/strings.h"
#include "platform/win32/extended_path.h"
#include "platform/win32/wide_text.h"

namespace {

NarrowString Encode(UINT codePage, const U16String& text) {
  if (text.IsEmpty()) return NarrowString();
  int length = static_cast<int>(text.Length());
  int size = WideCharToMultiByte(codePage, 0, Wide(text), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return NarrowString();
  NarrowString out(static_cast<size_t>(size), ' ');
  int made = WideCharToMultiByte(codePage, 0, Wide(text), length, out.MutableData(), size, nullptr,
                                 nullptr);
  out.Truncate(made > 0 ? static_cast<size_t>(made) : 0);
  return out;
}

U16String Decode(UINT codePage, DWORD flags, const char* bytes, size_t count) {
  if (count == 0) return U16String();
  int length = static_cast<int>(count);
  int size = MultiByteToWideChar(codePage, flags, bytes, length, nullptr, 0);
  if (size <= 0) return U16String();
  U16String out(static_cast<size_t>(size), u' ');
  int made = MultiByteToWideChar(codePage, flags, bytes, length,
                                 reinterpret_cast<wchar_t*>(out.MutableData()), size);
  out.Truncate(made > 0 ? static_cast<size_t>(made) : 0);
  return out;
}

}  // namespace

NarrowString ToNarrow(const U16String& text) {
  return Encode(CP_ACP, text);
}

U16String FromNarrow(const char* bytes, size_t count) {
  return Decode(CP_ACP, MB_PRECOMPOSED, bytes, count);
}

U16String FromUtf8(const char* bytes, size_t count) {
  return Decode(CP_UTF8, 0, bytes, count);
}

NarrowString ToUtf8(const U16String& text) {
  return Encode(CP_UTF8, text);
}

FILE* OpenTextFile(const U16String& path, const U16String& mode) {
  return _wfopen(ExtendedPath(path).c_str(), Wide(mode));
}

// Not used by the Windows program (it asks the system for known folders);
// the profile directory is the nearest meaning.
U16String HomeDirectory() {
  DWORD size = GetEnvironmentVariableW(L"USERPROFILE", nullptr, 0);
  if (size == 0) return U16String();
  U16String home(size, u' ');
  DWORD length =
      GetEnvironmentVariableW(L"USERPROFILE", reinterpret_cast<wchar_t*>(home.MutableData()), size);
  home.Truncate(length < size ? length : 0);
  return home;
}

int CompareNoCase(const U16String& a, const U16String& b) {
  int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, Wide(a),
                              static_cast<int>(a.Length()), Wide(b), static_cast<int>(b.Length()));
  if (result == CSTR_LESS_THAN) return -1;
  if (result == CSTR_EQUAL) return 0;
  if (result == CSTR_GREATER_THAN) return 1;
  // Only invalid arguments make the call fail; an ordinal order still keeps
  // ordered sets consistent.
  for (size_t i = 0; i < a.Length() && i < b.Length(); ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return a.Length() < b.Length() ? -1 : a.Length() > b.Length() ? 1 : 0;
}
