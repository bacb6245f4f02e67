#include "ui/win32/framework/wizard_page.h"

#include "ui/win32/framework/resources.h"
#include "ui/win32/framework/window_text.h"
#include "ui/win32/framework/wizard_sheet.h"

void CWizardPage::SetTemplate(unsigned dialogId, const DLGTEMPLATE* dialogTemplate) {
  dialogId_ = dialogId;
  template_ = dialogTemplate;
}

PROPSHEETPAGEW CWizardPage::Describe() {
  PROPSHEETPAGEW page = {};
  page.dwSize = sizeof page;
  page.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
  page.hInstance = ResourceModule();
  page.pResource = template_;
  page.pszTitle = Wide(title_);
  page.pfnDlgProc = &CWizardPage::DialogProcedure;
  page.lParam = reinterpret_cast<LPARAM>(this);
  return page;
}

bool CWizardPage::UpdateData(bool save) {
  if (!window_ || exchanging_) return false;
  // Loading changes controls, whose change notifications would save again.
  exchanging_ = true;
  DataExchange exchange(window_, save);
  DoDataExchange(exchange);
  exchanging_ = false;
  return true;
}

LRESULT CWizardPage::TemplateOfResult(LRESULT result) const {
  if (result == kDefaultPage || result == kStay) return result;
  // The property sheet names a page made from a template in memory by the
  // template's address.
  const CWizardPage* target =
      sheet_ ? sheet_->PageOfDialog(static_cast<unsigned>(result)) : nullptr;
  return target ? reinterpret_cast<LRESULT>(target->Template()) : kStay;
}

bool CWizardPage::HandleNotification(const NMHDR& header, LRESULT* result) {
  switch (header.code) {
    case PSN_SETACTIVE:
      *result = OnSetActive() ? 0 : -1;
      return true;
    case PSN_WIZBACK:
      *result = TemplateOfResult(OnWizardBack());
      return true;
    case PSN_WIZNEXT:
      *result = TemplateOfResult(OnWizardNext());
      return true;
    case PSN_WIZFINISH:
      *result = OnWizardFinish() ? FALSE : TRUE;
      return true;
    case PSN_QUERYCANCEL:
      // A sheet that is being ended closes whatever the page would answer.
      *result = (sheet_ && sheet_->IsEnding()) || OnQueryCancel() ? FALSE : TRUE;
      return true;
    default:
      return false;
  }
}

INT_PTR CALLBACK CWizardPage::DialogProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const PROPSHEETPAGEW* description = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    CWizardPage* page = reinterpret_cast<CWizardPage*>(description->lParam);
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
    page->window_ = window;
    page->OnInitDialog();
    return TRUE;
  }
  CWizardPage* page = reinterpret_cast<CWizardPage*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!page) return FALSE;
  switch (message) {
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!page->HandleNotification(*reinterpret_cast<const NMHDR*>(lParam), &result)) return FALSE;
      SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_COMMAND:
      return page->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NCDESTROY:
      page->window_ = nullptr;
      SetWindowLongPtrW(window, DWLP_USER, 0);
      return FALSE;
    default:
      return FALSE;
  }
}
