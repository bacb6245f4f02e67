#include "ui/win32/folder_chooser.h"

#include <vector>

#include "localization/message_ids.h"
#include "ui/win32/caption_fit.h"
#include "ui/win32/framework/resources.h"
#include "ui/win32/framework/window_text.h"
#include "ui/win32/installer_sheet.h"
#include "ui/win32/resource_ids.h"

namespace {

// A pattern that no file has: the dialog then lists folders only.
constexpr char16_t kFolderOnlyPattern[] = u"*.tarn_private_choose_directory_mask";
constexpr DWORD kChooserFlags = 0x200040;  // long names, template enabled
constexpr int kFolderPathRoom = 260;

// The file dialog's own controls, which a folder chooser does not use.
constexpr int kHiddenFileControls[] = {IDC_FILE_NAME_LABEL,
                                       IDC_FILE_NAME_BOX,
                                       IDC_FILE_TYPE_LABEL,
                                       IDC_FILE_TYPE_BOX,
                                       IDC_READ_ONLY_BOX,
                                       IDOK,
                                       IDCANCEL,
                                       IDC_FILE_HELP};

// A window's rectangle in the client coordinates of another window.
RECT RectIn(HWND window, HWND reference) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, reference, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int Clamp(int value, int low, int high) {
  if (value > high) value = high;
  return value < low ? low : value;
}

void MoveTo(HWND window, int left, int top) {
  if (!window) return;
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Width of a one-line label's text in the label's font.
int TextWidthOf(HWND label) {
  U16String text = GetWindowTextOf(label);
  HDC dc = GetDC(label);
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  RECT need = {};
  DrawTextW(dc, Wide(text), -1, &need, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, previous);
  ReleaseDC(label, dc);
  return need.right;
}

// A label text longer than the label's place (a language of long words)
// widens the label; the box after it starts that much later and keeps its
// right edge.
void WidenLabelBeforeBox(HWND label, HWND box, HWND parent) {
  if (!label || !box) return;
  RECT labelRect = RectIn(label, parent);
  int wider = TextWidthOf(label) - (labelRect.right - labelRect.left);
  if (wider <= 0) return;
  RECT boxRect = RectIn(box, parent);
  SetWindowPos(label, nullptr, 0, 0, labelRect.right - labelRect.left + wider,
               labelRect.bottom - labelRect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(box, nullptr, boxRect.left + wider, boxRect.top, boxRect.right - boxRect.left - wider,
               boxRect.bottom - boxRect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

U16String Filter() {
  U16String filter(u"|");
  filter += kFolderOnlyPattern;
  filter += u"||";
  return filter;
}

}  // namespace

CFolderChooser::CFolderChooser(CInstallerSheet& sheet, const U16String& initialDirectory)
    : CFileDialog(U16String(kFolderOnlyPattern), U16String(kFolderOnlyPattern), kChooserFlags,
                  Filter(), sheet.Window()),
      sheet_(sheet) {
  SetTemplate(ResourceModule(), IDD_CHOOSE_FOLDER);
  SetInitialDirectory(initialDirectory);
}

void CFolderChooser::OnInitDone() {
  SetWindowTextOf(GetDlgItem(Window(), IDC_CHOSEN_FOLDER_LABEL),
                  sheet_.LoadText(IDS_BROWSE_SELDIR));
  Arrange();
  ApplyFolderOnlyPattern();
  SetWindowTextOf(GetDlgItem(Window(), IDC_SELECT_FOLDER), sheet_.LoadText(IDS_BROWSE_OK));
  SetWindowTextOf(GetDlgItem(Window(), IDCANCEL), sheet_.LoadText(IDS_BROWSE_CANCEL));
  FitCaptionToButton(GetDlgItem(Window(), IDC_SELECT_FOLDER));
  FitCaptionToButton(GetDlgItem(Window(), IDCANCEL));
  OnFolderChange();
}

void CFolderChooser::Arrange() {
  HWND fileDialog = FileDialog();
  HWND child = Window();
  HWND nameBox = GetDlgItem(fileDialog, IDC_FILE_NAME_BOX);
  HWND nameLabel = GetDlgItem(fileDialog, IDC_FILE_NAME_LABEL);
  RECT place = nameBox ? RectIn(nameBox, child) : RECT{};
  RECT labelPlace = nameLabel ? RectIn(nameLabel, child) : place;
  for (int id : kHiddenFileControls) {
    if (HWND control = GetDlgItem(fileDialog, id)) ShowWindow(control, SW_HIDE);
  }
  SetWindowTextOf(GetDlgItem(fileDialog, IDC_FOLDER_LIST_LABEL),
                  sheet_.LoadText(IDS_CHOOSEDIR_FOLDER));
  WidenLabelBeforeBox(GetDlgItem(fileDialog, IDC_FOLDER_LIST_LABEL),
                      GetDlgItem(fileDialog, IDC_FOLDER_LIST_BOX), fileDialog);
  if (!nameBox) return;

  // The chosen folder's label and box take the place of the file name box.
  HWND area = GetDlgItem(child, IDC_FILE_DIALOG_AREA);
  HWND label = GetDlgItem(child, IDC_CHOSEN_FOLDER_LABEL);
  HWND edit = GetDlgItem(child, IDC_CHOSEN_FOLDER);
  if (!edit || !label) return;
  // They start where the file name's label did: further left the dialog
  // may show its bar of places.
  int shift = place.top - RectIn(edit, child).top;
  if (area) MoveTo(area, RectIn(area, child).left, RectIn(area, child).top + shift);
  RECT labelRect = RectIn(label, child);
  MoveTo(label, labelPlace.left, place.top + (labelRect.bottom - labelRect.top) / 3);
  RECT gap = {0, 0, 2, 0};
  MapDialogRect(child, &gap);
  MoveTo(edit, labelPlace.left + (labelRect.right - labelRect.left) + gap.right, place.top);
  WidenLabelBeforeBox(label, edit, child);

  // The dialog ends 10 units below the box.
  RECT margin = {0, 0, 0, 10};
  MapDialogRect(child, &margin);
  RECT editInDialog = RectIn(edit, fileDialog);
  RECT client = {}, frame = {};
  GetClientRect(fileDialog, &client);
  GetWindowRect(fileDialog, &frame);
  int grow = editInDialog.bottom + margin.bottom - client.bottom;
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top + grow;
  RECT childRect = RectIn(child, fileDialog);
  SetWindowPos(child, nullptr, 0, 0, childRect.right - childRect.left,
               childRect.bottom - childRect.top + grow, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  // Centred over the sheet (or the screen without one), inside the screen.
  RECT screen = {}, over = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
  HWND owner = GetWindow(fileDialog, GW_OWNER);
  if (!owner || !GetWindowRect(owner, &over)) over = screen;
  int left = over.left + ((over.right - over.left) - width) / 2;
  int top = over.top + ((over.bottom - over.top) - height) / 2;
  left = Clamp(left, screen.left, screen.right - width);
  top = Clamp(top, screen.top, screen.bottom - height);
  SetWindowPos(fileDialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CFolderChooser::ApplyFolderOnlyPattern() {
  // The pattern in the file name box, confirmed: the dialog takes a name with
  // wildcards as its filter and stays open. The initial name is already the
  // filter for some dialogs but not for all (Wine lists every file).
  HWND fileDialog = FileDialog();
  SendMessageW(fileDialog, CDM_SETCONTROLTEXT, IDC_FILE_NAME_BOX,
               reinterpret_cast<LPARAM>(Wide(U16String(kFolderOnlyPattern))));
  PostMessageW(fileDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(fileDialog, IDOK)));
}

void CFolderChooser::OnFolderChange() {
  std::vector<wchar_t> buffer(kFolderPathRoom, L'\0');
  LRESULT needed = SendMessageW(FileDialog(), CDM_GETFOLDERPATH, kFolderPathRoom,
                                reinterpret_cast<LPARAM>(buffer.data()));
  bool fits = needed > 0 && needed <= kFolderPathRoom;
  SetWindowTextOf(GetDlgItem(Window(), IDC_CHOSEN_FOLDER),
                  fits ? FromWide(buffer.data()) : U16String());
}

bool CFolderChooser::OnCommand(WORD controlId, WORD code) {
  if (code != BN_CLICKED) return false;
  if (controlId == IDC_SELECT_FOLDER) {
    result_ = GetWindowTextOf(GetDlgItem(Window(), IDC_CHOSEN_FOLDER));
    EndDialog(IDOK);
    return true;
  }
  if (controlId == IDCANCEL) {
    EndDialog(IDCANCEL);
    return true;
  }
  return false;
}

bool ChooseFolder(CInstallerSheet& sheet, const U16String& initialDirectory, U16String* chosen) {
  CFolderChooser chooser(sheet, initialDirectory);
  if (chooser.DoModal() != IDOK) return false;
  *chosen = chooser.Result();
  return true;
}
