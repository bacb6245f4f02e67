#include "ui/win32/caption_fit.h"

#include <cstdlib>
#include <map>

#include "ui/win32/framework/window_text.h"

namespace {

int CaptionWidth(HDC dc, HFONT font, const U16String& text) {
  HGDIOBJ previous = SelectObject(dc, font);
  RECT need = {};
  DrawTextW(dc, Wide(text), -1, &need, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, previous);
  return need.right;
}

// The smaller fonts live as long as the program: a few at most, shared by
// the buttons that need the same height.
HFONT SmallerFont(const LOGFONTW& base, LONG height) {
  static std::map<LONG, HFONT> fonts;
  HFONT& font = fonts[height];
  if (!font) {
    LOGFONTW smaller = base;
    smaller.lfHeight = base.lfHeight < 0 ? -height : height;
    smaller.lfWidth = 0;
    font = CreateFontIndirectW(&smaller);
  }
  return font;
}

}  // namespace

void FitCaptionToButton(HWND button) {
  HWND parent = button ? GetParent(button) : nullptr;
  if (!parent) return;
  auto own = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0));
  LOGFONTW base = {};
  if (!own || !GetObjectW(own, sizeof base, &base) || base.lfHeight == 0) return;
  U16String text = GetWindowTextOf(button);
  RECT client = {};
  GetClientRect(button, &client);
  // The 3D frame and the focus rectangle inside it.
  int room = client.right - 2 * (GetSystemMetrics(SM_CXEDGE) + 1);
  HDC dc = GetDC(button);
  HFONT chosen = own;
  LONG height = std::labs(base.lfHeight);
  LONG lowest = (7 * height + 9) / 10;
  while (CaptionWidth(dc, chosen, text) > room && height > lowest) {
    HFONT smaller = SmallerFont(base, --height);
    if (!smaller) break;
    chosen = smaller;
  }
  ReleaseDC(button, dc);
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), TRUE);
}
