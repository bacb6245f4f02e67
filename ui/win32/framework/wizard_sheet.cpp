#include "ui/win32/framework/wizard_sheet.h"

#include "ui/win32/framework/resources.h"
#include "ui/win32/framework/window_text.h"
#include "ui/win32/framework/wizard_page.h"

namespace {

// The sheet whose window the running PropertySheetW call is about to make,
// and the hook that catches that window's creation. One modal sheet at a
// time on the user-interface thread.
CWizardSheet* sheet_being_created = nullptr;
HHOOK creation_hook = nullptr;

const wchar_t kSheetProperty[] = L"setup.wizard.sheet";

bool IsDialogWindow(HWND window) {
  wchar_t name[16] = {};
  return GetClassNameW(window, name, 16) > 0 && lstrcmpW(name, L"#32770") == 0;
}

}  // namespace

CWizardSheet::CWizardSheet(const U16String& caption) : caption_(caption) {}

CWizardSheet::~CWizardSheet() = default;

void CWizardSheet::AddPage(CWizardPage* page) {
  page->sheet_ = this;
  pages_.push_back(page);
}

INT_PTR CWizardSheet::DoModal() {
  std::vector<HPROPSHEETPAGE> handles;
  for (CWizardPage* page : pages_) {
    PROPSHEETPAGEW description = page->Describe();
    HPROPSHEETPAGE handle = CreatePropertySheetPageW(&description);
    if (!handle) {
      for (HPROPSHEETPAGE made : handles) DestroyPropertySheetPage(made);
      return IDCANCEL;
    }
    handles.push_back(handle);
  }

  PROPSHEETHEADERW header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_WIZARD;
  header.hwndParent = nullptr;
  header.hInstance = ResourceModule();
  header.pszCaption = Wide(caption_);
  header.nPages = static_cast<UINT>(handles.size());
  header.nStartPage = 0;
  header.phpage = handles.data();

  ending_ = false;
  finishText_.Clear();
  neverShow_ = false;
  endResult_ = IDCANCEL;
  sheet_being_created = this;
  creation_hook = SetWindowsHookExW(WH_CBT, CreationHook, nullptr, GetCurrentThreadId());
  INT_PTR shown = PropertySheetW(&header);
  if (creation_hook) UnhookWindowsHookEx(creation_hook);
  creation_hook = nullptr;
  sheet_being_created = nullptr;
  window_ = nullptr;

  if (ending_) return endResult_;
  return shown > 0 ? IDOK : IDCANCEL;
}

LRESULT CALLBACK CWizardSheet::CreationHook(int code, WPARAM wParam, LPARAM lParam) {
  HHOOK hook = creation_hook;
  if (code == HCBT_CREATEWND && sheet_being_created) {
    HWND window = reinterpret_cast<HWND>(wParam);
    const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
    // The first top-level dialog of the call is the sheet itself.
    if (!(create->style & WS_CHILD) && IsDialogWindow(window)) {
      CWizardSheet* sheet = sheet_being_created;
      sheet_being_created = nullptr;
      sheet->Attach(window);
      UnhookWindowsHookEx(creation_hook);
      creation_hook = nullptr;
      return 0;
    }
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

void CWizardSheet::Attach(HWND window) {
  window_ = window;
  SetPropW(window, kSheetProperty, this);
  original_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWizardSheet::WindowProcedure)));
}

LRESULT CALLBACK CWizardSheet::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  CWizardSheet* sheet = static_cast<CWizardSheet*>(GetPropW(window, kSheetProperty));
  WNDPROC original = sheet->original_;
  switch (message) {
    case WM_INITDIALOG:
      return sheet->HandleInitDialog(wParam, lParam);
    case WM_TIMER:
      sheet->OnTimer(wParam);
      return 0;
    case WM_SETTEXT:
      // The property sheet may show the page's title as caption after the
      // page's activation (Wine does): in finish mode the caption stays.
      if (!sheet->finishText_.IsEmpty())
        return CallWindowProcW(original, window, message, wParam,
                               reinterpret_cast<LPARAM>(Wide(sheet->finishText_)));
      break;
    case WM_WINDOWPOSCHANGING:
      // A run that ended during initialisation never shows its window.
      if (sheet->neverShow_) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      RemovePropW(window, kSheetProperty);
      sheet->window_ = nullptr;
      break;
  }
  return CallWindowProcW(original, window, message, wParam, lParam);
}

LRESULT CWizardSheet::HandleInitDialog(WPARAM wParam, LPARAM lParam) {
  bool proceed = OnInitBegin();
  if (!proceed) neverShow_ = true;
  // The property sheet's own initialisation runs in every case: its modal
  // loop relies on it.
  LRESULT result = CallWindowProcW(original_, window_, WM_INITDIALOG, wParam, lParam);
  if (proceed)
    OnInitDone();
  else
    EndDialog(IDCANCEL);
  return result;
}

CWizardPage* CWizardSheet::GetPage(int index) const {
  if (index < 0 || index >= GetPageCount()) return nullptr;
  return pages_[static_cast<size_t>(index)];
}

int CWizardSheet::GetActiveIndex() const {
  if (!window_) return -1;
  HWND page = reinterpret_cast<HWND>(SendMessageW(window_, PSM_GETCURRENTPAGEHWND, 0, 0));
  for (int i = 0; i < GetPageCount(); ++i) {
    if (page && pages_[static_cast<size_t>(i)]->Window() == page) return i;
  }
  return -1;
}

CWizardPage* CWizardSheet::GetActivePage() const {
  return GetPage(GetActiveIndex());
}

CWizardPage* CWizardSheet::PageOfDialog(unsigned dialogId) const {
  for (CWizardPage* page : pages_) {
    if (page->DialogId() == dialogId) return page;
  }
  return nullptr;
}

void CWizardSheet::SetActivePage(int index) {
  if (window_ && GetPage(index))
    SendMessageW(window_, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void CWizardSheet::EndDialog(INT_PTR result) {
  ending_ = true;
  endResult_ = result;
  // The property sheet's modal loop ends only by its own buttons; a cancel
  // that the pages let through (IsEnding) closes it.
  if (window_) PostMessageW(window_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

void CWizardSheet::SetWizardButtons(DWORD flags) {
  if (window_) PostMessageW(window_, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
}

void CWizardSheet::PressButton(int button) {
  if (window_) PostMessageW(window_, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
}

void CWizardSheet::SetFinishText(const U16String& text) {
  if (!window_) return;
  finishText_ = text;
  SetWindowTextOf(window_, text);
  SendMessageW(window_, PSM_SETFINISHTEXTW, 0, reinterpret_cast<LPARAM>(Wide(text)));
}
