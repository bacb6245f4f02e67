// window_probe: reads the windows on the desktop for the end-to-end tests of
// the Windows program, from a process of its own in the same Wine session.
//
//   window_probe serve   answers each "snapshot" line on standard input with
//                        one line of JSON on standard output, until "quit" or
//                        the end of the input
//
// "measure PROGRAM LANGID" is a snapshot that also measures every text: the
// room the control gives it and the size it needs in the font it is drawn
// in (see TextMeasurer); a push button whose caption the program draws
// smaller also tells what its pixels on the screen show ("drawn").
//
// A snapshot lists every visible top-level window with its descendants:
// class, id, text, screen rectangle, visibility, enabled state and, for
// buttons, progress bars, list views and icons, their check state, position,
// number of items and whether an icon is set. Texts are read with WM_GETTEXT, so edit controls
// report what they hold.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
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

// Measures texts in the fonts the program draws them in. The font of the
// program's dialogs is a font of the program's process, which another
// process cannot use; the same font is made here the way the program gets
// it: a dialog made from the program's own template, in the run's
// language, by the same dialog manager. Its size in pixels tells whether
// its font has the program's metrics (dialog units follow the font). The
// wizard's buttons and the file dialog's own controls use the same face
// and size ("MS Shell Dlg", 8 points). Message boxes draw in the system's
// message font.
class TextMeasurer {
 public:
  bool Open(const std::wstring& program, LANGID language) {
    Close();
    module_ = LoadLibraryExW(program.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module_) return false;
    HRSRC found =
        FindResourceExW(module_, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(kWelcomeDialog), language);
    HGLOBAL loaded = found ? LoadResource(module_, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!data) return false;
    // A page is a child window; made alone it must be a hidden popup.
    std::vector<BYTE> copy(data, data + SizeofResource(module_, found));
    bool extended = copy.size() > 4 && copy[2] == 0xFF && copy[3] == 0xFF;
    DWORD* style = reinterpret_cast<DWORD*>(copy.data() + (extended ? 12 : 0));
    *style = (*style & ~(WS_CHILD | WS_VISIBLE | WS_DISABLED)) | WS_POPUP;
    dialog_ = CreateDialogIndirectParamW(module_, reinterpret_cast<DLGTEMPLATE*>(copy.data()),
                                         nullptr, NoDialogProcedure, 0);
    if (!dialog_) return false;
    dialogFont_ = reinterpret_cast<HFONT>(SendMessageW(dialog_, WM_GETFONT, 0, 0));
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    messageFont_ = CreateFontIndirectW(&metrics.lfMessageFont);
    dc_ = CreateCompatibleDC(nullptr);
    return dialogFont_ && messageFont_ && dc_;
  }

  void Close() {
    if (dc_) DeleteDC(dc_);
    if (messageFont_) DeleteObject(messageFont_);
    if (dialog_) DestroyWindow(dialog_);
    if (module_) FreeLibrary(module_);
    *this = TextMeasurer();
  }

  // The welcome text of the page made from the template, in pixels. (The
  // property sheet sizes its pages with its own rounding; the controls are
  // the dialog manager's.)
  SIZE WelcomeTextSize() const {
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog_, kWelcomeText), &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
  }

  // The JSON fields "need_width", "need_height", "room_width",
  // "room_height" of a control that shows text, or nothing.
  std::string Measure(HWND control, const std::wstring& className, LONG style,
                      const std::wstring& text, bool inMessageBox) const {
    if (text.empty()) return std::string();
    RECT client = {};
    GetClientRect(control, &client);
    SIZE room = {client.right, client.bottom};
    UINT prefix = 0;
    UINT wrap = DT_SINGLELINE;
    int reserved = 0;  // pixels of the control that are not the text's
    if (_wcsicmp(className.c_str(), L"Static") == 0) {
      DWORD type = style & SS_TYPEMASK;
      if (type > SS_RIGHT && type != SS_SIMPLE && type != SS_LEFTNOWORDWRAP)
        return std::string();  // pictures and frames
      if (style & SS_NOPREFIX) prefix = DT_NOPREFIX;
      if (type <= SS_RIGHT && !(style & SS_ELLIPSISMASK)) wrap = DT_WORDBREAK;
    } else if (_wcsicmp(className.c_str(), L"Button") == 0) {
      DWORD type = style & BS_TYPEMASK;
      if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
        // The 3D frame and the focus rectangle inside it.
        reserved = 2 * (GetSystemMetrics(SM_CXEDGE) + 1);
      } else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                 type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE) {
        // The box and the gap before the text.
        reserved = GetSystemMetrics(SM_CXMENUCHECK) + 4;
      } else {
        return std::string();
      }
      if (style & BS_MULTILINE) wrap = DT_WORDBREAK;
    } else {
      return std::string();
    }
    HFONT font = inMessageBox ? messageFont_ : dialogFont_;
    RECT need = NeedOf(font, text, room.cx - reserved, DT_EXPANDTABS | prefix | wrap);
    std::string drawn;
    if (reserved && !(style & BS_MULTILINE) && !inMessageBox && need.right > room.cx - reserved) {
      // The program draws such a caption smaller: the font is made here by
      // its rule, and it is measured in it only when the screen shows the
      // caption in it.
      HFONT smaller = FittedFont(text, room.cx - reserved);
      if (smaller) {
        std::string seen = DrawnIn(control, text, smaller, dialogFont_);
        if (seen == "smaller") need = NeedOf(smaller, text, room.cx - reserved, DT_SINGLELINE);
        drawn = ",\"drawn\":\"" + seen + "\"";
        DeleteObject(smaller);
      }
    }
    char fields[160];
    std::snprintf(fields, sizeof fields,
                  ",\"need_width\":%ld,\"need_height\":%ld,\"room_width\":%ld,\"room_height\":%ld",
                  need.right + reserved, need.bottom, room.cx, room.cy);
    return fields + drawn;
  }

 private:
  RECT NeedOf(HFONT font, const std::wstring& text, LONG width, UINT flags) const {
    HGDIOBJ previous = SelectObject(dc_, font);
    RECT need = {0, 0, width, 0};
    DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &need, DT_CALCRECT | flags);
    SelectObject(dc_, previous);
    return need;
  }

  // The program's rule for a caption wider than its button: the dialog's
  // face one pixel smaller at a time, down to seven tenths of its height.
  HFONT FittedFont(const std::wstring& text, LONG width) const {
    LOGFONTW base = {};
    if (!GetObjectW(dialogFont_, sizeof base, &base) || base.lfHeight == 0) return nullptr;
    LONG height = std::labs(base.lfHeight), lowest = (7 * height + 9) / 10;
    HFONT font = nullptr;
    while (height > lowest) {
      if (font) DeleteObject(font);
      LOGFONTW smaller = base;
      smaller.lfHeight = base.lfHeight < 0 ? -(--height) : --height;
      smaller.lfWidth = 0;
      font = CreateFontIndirectW(&smaller);
      if (!font || NeedOf(font, text, width, DT_SINGLELINE).right <= width) break;
    }
    return font;
  }

  // Which of two fonts the button on the screen shows its caption in:
  // "smaller", "dialog font", or "covered" when another window is over it.
  // The caption's dark pixels inside the focus rectangle are compared with
  // the caption drawn here in each font, centred the same way.
  std::string DrawnIn(HWND button, const std::wstring& text, HFONT smaller, HFONT usual) const {
    RECT rect = {};
    GetWindowRect(button, &rect);
    POINT middle = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    // (A disabled button is not found at its place: its window is.)
    if (GetAncestor(WindowFromPoint(middle), GA_ROOT) != GetAncestor(button, GA_ROOT))
      return "covered";
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    std::vector<bool> screen = InkOf(width, height, [&](HDC dc) {
      HDC desktop = GetDC(nullptr);
      BitBlt(dc, 0, 0, width, height, desktop, rect.left, rect.top, SRCCOPY);
      ReleaseDC(nullptr, desktop);
    });
    auto drawnIn = [&](HFONT font) {
      return InkOf(width, height, [&](HDC dc) {
        RECT all = {0, 0, width, height};
        FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
        RECT inside = {2, 2, width - 2, height - 2};
        HGDIOBJ previous = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &inside,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SelectObject(dc, previous);
      });
    };
    int offSmaller = Mismatch(screen, drawnIn(smaller), width, height);
    int offUsual = Mismatch(screen, drawnIn(usual), width, height);
    return offSmaller < offUsual ? "smaller" : "dialog font";
  }

  // Pixels clearly darker than the button's face, inside the focus
  // rectangle (3 pixels in from the edge), as one row after another.
  template <typename Paint>
  std::vector<bool> InkOf(int width, int height, Paint paint) const {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<bool> ink(static_cast<size_t>(width) * height, false);
    if (!bitmap) return ink;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    paint(dc);
    GdiFlush();
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    int faceSum = GetRValue(face) + GetGValue(face) + GetBValue(face);
    const auto* pixels = static_cast<const BYTE*>(bits);
    for (int y = 4; y < height - 4; ++y) {
      for (int x = 4; x < width - 4; ++x) {
        const BYTE* p = pixels + 4 * (static_cast<size_t>(y) * width + x);
        ink[static_cast<size_t>(y) * width + x] = faceSum - (p[0] + p[1] + p[2]) >= 96;
      }
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return ink;
  }

  // The fewest differing pixels of two masks, one moved up to 2 pixels
  // either way (a pressed button draws its caption a pixel lower).
  static int Mismatch(const std::vector<bool>& a, const std::vector<bool>& b, int width,
                      int height) {
    int best = width * height;
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx) {
        int off = 0;
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            int bx = x + dx, by = y + dy;
            bool other = bx >= 0 && by >= 0 && bx < width && by < height &&
                         b[static_cast<size_t>(by) * width + bx];
            off += a[static_cast<size_t>(y) * width + x] != other;
          }
        }
        if (off < best) best = off;
      }
    }
    return best;
  }

  static constexpr int kWelcomeDialog = 129;
  static constexpr int kWelcomeText = 1005;
  static INT_PTR CALLBACK NoDialogProcedure(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

  HMODULE module_ = nullptr;
  HWND dialog_ = nullptr;
  HFONT dialogFont_ = nullptr;
  HFONT messageFont_ = nullptr;
  HDC dc_ = nullptr;
};

TextMeasurer* g_measurer = nullptr;

// The window's JSON object without its closing brace.
std::string Describe(HWND window, bool topLevel, bool inMessageBox = false) {
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
  // Read once: what is measured is what is reported, even while the
  // program changes the text.
  std::wstring text = TextOf(window);
  std::string out =
      "{" + std::string(numbers) + ",\"class\":" + Json(className) + ",\"text\":" + Json(text);
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
  if (g_measurer && !topLevel)
    out += g_measurer->Measure(window, className, style, text, inMessageBox);
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
    // A message box's text is the static with the id 0xFFFF.
    bool messageBox = false;
    for (HWND child : children)
      messageBox |= GetParent(child) == top && GetDlgCtrlID(child) == 0xFFFF &&
                    _wcsicmp(ClassOf(child).c_str(), L"Static") == 0;
    for (size_t i = 0; i < children.size(); ++i) {
      if (i) out += ",";
      out += Describe(children[i], false, messageBox);
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

std::wstring Wide(const std::string& utf8) {
  int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
  return out;
}

// "measure PROGRAM LANGID": a snapshot with the texts measured, and the
// size of the welcome text of a page made from the program's template
// ("welcome_width", "welcome_height").
std::string MeasuredSnapshot(const std::string& arguments) {
  size_t space = arguments.rfind(' ');
  if (space == std::string::npos) return "{\"error\":\"usage: measure PROGRAM LANGID\"}\n";
  TextMeasurer measurer;
  LANGID language = static_cast<LANGID>(std::strtoul(arguments.c_str() + space + 1, nullptr, 0));
  if (!measurer.Open(Wide(arguments.substr(0, space)), language)) {
    measurer.Close();
    return "{\"error\":\"cannot make the program's dialog font\"}\n";
  }
  g_measurer = &measurer;
  std::string out = Snapshot();
  g_measurer = nullptr;
  SIZE welcome = measurer.WelcomeTextSize();
  measurer.Close();
  out.pop_back();  // the line's end
  out.pop_back();  // the closing brace
  return out + ",\"welcome_width\":" + std::to_string(welcome.cx) +
         ",\"welcome_height\":" + std::to_string(welcome.cy) + "}\n";
}

int Serve() {
  std::string line;
  while (ReadLine(&line)) {
    if (line == "quit") break;
    if (line == "snapshot")
      WriteOut(Snapshot());
    else if (line.rfind("measure ", 0) == 0)
      WriteOut(MeasuredSnapshot(line.substr(8)));
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
