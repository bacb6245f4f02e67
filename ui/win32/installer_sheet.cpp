// The sheet's construction, its initialisation and its services to the pages.
#include "ui/win32/installer_sheet.h"

#include "localization/message_catalogue.h"
#include "localization/message_ids.h"
#include "ui/win32/caption_fit.h"
#include "ui/win32/framework/resources.h"
#include "ui/win32/framework/window_text.h"
#include "ui/win32/resource_ids.h"

CInstallerSheet::CInstallerSheet(const LanguageChoice& language)
    : CWizardSheet(U16String(u"Caption")),
      welcomePage_(*this),
      destinationPage_(*this),
      progressPage_(*this),
      cancelPage_(*this),
      errorPage_(*this),
      successPage_(*this) {
  context_.languageId = language.languageId;
  context_.languageCode =
      language.languageCode.IsEmpty() ? U16String(u"en") : language.languageCode;
  icon_ = LoadIconW(ResourceModule(), MAKEINTRESOURCEW(IDI_SETUP));
  channel_.Publish(0, LoadText(IDS_PREPARECOPY), 0);
}

CInstallerSheet::~CInstallerSheet() {
  // A worker still running uses the channel and the kit: it ends first,
  // cancelled and with none of its waits holding it (worker_'s destruction
  // waits for it).
  if (followingWorker_ && !worker_.HasEnded()) {
    channel_.RequestCancel();
    pause_.ReleaseAll();
  }
}

void CInstallerSheet::LoadPage(CInstallerDlgPage& page, unsigned dialogId) {
  const DLGTEMPLATE* dialog =
      FindDialogTemplate(dialogId, static_cast<LANGID>(context_.languageId));
  if (!dialog) pagesLoaded_ = false;
  page.SetTemplate(dialogId, dialog);
  page.SetTitle(LoadText(IDS_TITLE_INSTALLER));
  AddPage(&page);
}

bool CInstallerSheet::LoadPages() {
  pageIds_ = {IDD_WELCOME, IDD_DESTINATION, IDD_PROGRESS, IDD_CANCELLED, IDD_FAILED, IDD_INSTALLED};
  pagesLoaded_ = true;
  LoadPage(welcomePage_, IDD_WELCOME);
  LoadPage(destinationPage_, IDD_DESTINATION);
  LoadPage(progressPage_, IDD_PROGRESS);
  LoadPage(cancelPage_, IDD_CANCELLED);
  LoadPage(errorPage_, IDD_FAILED);
  LoadPage(successPage_, IDD_INSTALLED);
  return pagesLoaded_;
}

U16String CInstallerSheet::LoadText(unsigned id) const {
  return GetMessageText(id);
}

int CInstallerSheet::ShowMessage(const U16String& text, UINT type) {
  return ::MessageBoxW(Window(), Wide(text), Wide(LoadText(IDR_MAINFRAME)), type);
}

void CInstallerSheet::ReportStartupError(const char* messageKey) {
  ShowMessage(GetMessageText(messageKey), MB_ICONERROR);
}

bool CInstallerSheet::OnInitBegin() {
  startupPassed_ = RunStartupSequence(context_, *this);
  return startupPassed_;
}

void CInstallerSheet::OnInitDone() {
  SetWindowTextOf(Item(kBackButton), LoadText(IDS_WIZARD_BACK));
  SetWindowTextOf(Item(kNextButton), LoadText(IDS_WIZARD_NEXT));
  SetWindowTextOf(Item(kCancelButton), LoadText(IDS_WIZARD_CANCEL));
  for (int button : {kBackButton, kNextButton, kCancelButton}) FitCaptionToButton(Item(button));
  EnableWindow(Item(kHelpButton), FALSE);
  SendMessageW(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  progressPercentage_ = 0;
}

void CInstallerSheet::EnterFinishMode() {
  SetFinishText(LoadText(IDS_WIZARD_FINISH));
  FitCaptionToButton(Item(kFinishButton));
  EnableWindow(Item(kCancelButton), FALSE);
  // The keyboard goes to Finish, not to the Cancel button just disabled.
  if (HWND finish = Item(kFinishButton))
    SendMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(finish), TRUE);
}
