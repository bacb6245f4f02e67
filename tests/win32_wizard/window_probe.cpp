// window_probe: reads the windows on the desktop for the end-to-end tests of
// the Windows program, from a process of its own in the same Wine session.
//
//   window_probe serve   answers each "snapshot" line on standard input with
//                        one line of JSON on standard output, until "quit" or
//                        the end of the input
//
// A snapshot lists every visible top-level window with its descendants:
// class, id, text, screen rectangle, visibility, enabled state and, for
// buttons, progress bars, list views and icons, their check state, position,
// number of items and whether an icon is set. Texts are read with WM_GETTEXT, so edit controls
// report what they hold.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr UINT kSendLimit = 2000;  // milliseconds per message to a window

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::string Json(const std::wstring& text) {
  std::string out = "\"";
  for (unsigned char c : Utf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
  return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendLimit,
                             result) != 0;
}

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length)) return std::wstring();
  std::vector<wchar_t> buffer(length + 2, L'\0');
  DWORD_PTR copied = 0;
  if (!Send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &copied))
    return std::wstring();
  return std::wstring(buffer.data());
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// The window's JSON object without its closing brace.
std::string Describe(HWND window, bool topLevel) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  std::wstring className = ClassOf(window);
  LONG style = GetWindowLongW(window, GWL_STYLE);
  char numbers[320];
  std::snprintf(numbers, sizeof numbers,
                "\"hwnd\":%llu,\"parent\":%llu,\"id\":%ld,\"x\":%ld,\"y\":%ld,\"width\":%ld,"
                "\"height\":%ld,\"visible\":%s,\"enabled\":%s,\"style\":%lu",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(GetParent(window))),
                topLevel ? 0L : static_cast<long>(static_cast<int>(GetDlgCtrlID(window))),
                rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                IsWindowVisible(window) ? "true" : "false",
                IsWindowEnabled(window) ? "true" : "false", static_cast<unsigned long>(style));
  std::string out = "{" + std::string(numbers) + ",\"class\":" + Json(className) +
                    ",\"text\":" + Json(TextOf(window));
  DWORD_PTR value = 0;
  if (_wcsicmp(className.c_str(), L"Button") == 0 && Send(window, BM_GETCHECK, 0, 0, &value))
    out += ",\"checked\":" + std::string(value == BST_CHECKED ? "true" : "false");
  if (_wcsicmp(className.c_str(), PROGRESS_CLASSW) == 0 && Send(window, PBM_GETPOS, 0, 0, &value))
    out += ",\"position\":" + std::to_string(static_cast<long long>(value));
  if (_wcsicmp(className.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
      Send(window, STM_GETICON, 0, 0, &value))
    out += ",\"icon\":" + std::string(value ? "true" : "false");
  if (_wcsicmp(className.c_str(), WC_LISTVIEWW) == 0 &&
      Send(window, LVM_GETITEMCOUNT, 0, 0, &value))
    out += ",\"items\":" + std::to_string(static_cast<long long>(value));
  if (topLevel) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    out += ",\"process\":" + std::to_string(process);
  }
  return out;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectTop(HWND window, LPARAM list) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::string Snapshot() {
  std::vector<HWND> tops;
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&tops));
  std::string out = "{\"windows\":[";
  bool firstTop = true;
  for (HWND top : tops) {
    if (!IsWindow(top)) continue;
    if (!firstTop) out += ",";
    firstTop = false;
    out += Describe(top, true);  // still open: the controls follow
    out += ",\"controls\":[";
    std::vector<HWND> children;
    EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (size_t i = 0; i < children.size(); ++i) {
      if (i) out += ",";
      out += Describe(children[i], false);
      out += "}";
    }
    out += "]}";
  }
  return out + "]}\n";
}

void WriteOut(const std::string& text) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  const char* data = text.data();
  size_t left = text.size();
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(output, data, static_cast<DWORD>(left), &written, nullptr) || written == 0)
      return;
    data += written;
    left -= written;
  }
}

bool ReadLine(std::string* line) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  line->clear();
  for (;;) {
    char c;
    DWORD read = 0;
    if (!ReadFile(input, &c, 1, &read, nullptr) || read == 0) return !line->empty();
    if (c == '\n') return true;
    if (c != '\r') *line += c;
  }
}

int Serve() {
  std::string line;
  while (ReadLine(&line)) {
    if (line == "quit") break;
    if (line == "snapshot")
      WriteOut(Snapshot());
    else
      WriteOut("{\"error\":\"unknown command\"}\n");
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && wcscmp(argv[1], L"serve") == 0) return Serve();
  std::fputs("usage: window_probe serve\n", stderr);
  return 2;
}
