#include "platform/win32/extended_path.h"

#include <windows.h>

#include <vector>

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, wcslen(prefix), prefix) == 0;
}

// The absolute form, "." and ".." resolved; the input with its separators
// turned when the system cannot make it.
std::wstring FullPath(const std::wstring& path) {
  std::vector<wchar_t> buffer(path.size() + MAX_PATH);
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD length = GetFullPathNameW(path.c_str(), size, buffer.data(), nullptr);
    if (length == 0) break;
    if (length < size) return std::wstring(buffer.data(), length);
    buffer.resize(length + 1);
  }
  std::wstring turned = path;
  for (wchar_t& unit : turned) {
    if (unit == L'/') unit = L'\\';
  }
  return turned;
}

}  // namespace

std::wstring ExtendedPath(const U16String& path) {
  std::wstring wide(reinterpret_cast<const wchar_t*>(path.Data()), path.Length());
  if (wide.size() < kClassicPathLimit) return wide;
  if (StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\")) return wide;
  std::wstring full = FullPath(wide);
  if (StartsWith(full, L"\\\\?\\") || StartsWith(full, L"\\\\.\\")) return full;
  if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}
