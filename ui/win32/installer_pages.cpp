#include "ui/win32/installer_pages.h"

#include <commctrl.h>

#include "core/wizard_decisions.h"
#include "localization/message_ids.h"
#include "ui/win32/folder_chooser.h"
#include "ui/win32/framework/window_text.h"
#include "ui/win32/installer_sheet.h"
#include "ui/win32/resource_ids.h"

bool CInstallerDlgPage::OnSetActive() {
  sheet_.OnPageActivated(index_);
  return true;
}

LRESULT CInstallerDlgPage::OnWizardBack() {
  return sheet_.OnWizardBack(index_);
}

LRESULT CInstallerDlgPage::OnWizardNext() {
  return sheet_.OnWizardNext(index_);
}

bool CInstallerDlgPage::OnQueryCancel() {
  sheet_.OnCancelRequested(index_);
  return false;  // the sheet never closes by its Cancel button
}

void CInstallerDlgPage::SetItemString(int controlId, unsigned stringId) {
  SetWindowTextOf(Item(controlId), sheet_.LoadText(stringId));
}

void CWelcomePage::OnInitDialog() {
  CInstallerDlgPage::OnInitDialog();
  SetWindowTextOf(Item(IDC_WELCOME_TEXT), WelcomeText(sheet_.Context()));
}

void CDestinationPage::OnInitDialog() {
  CInstallerDlgPage::OnInitDialog();
  SetItemString(IDC_DESTINATION_PROMPT, IDS_DESTINATION_PROMPT);
  SetItemString(IDC_TEMPLATE_CATALOG, IDS_TEMPLATE_CATALOG);
}

void CDestinationPage::DoDataExchange(DataExchange& exchange) {
  exchange.Text(IDC_TARGET_DIRECTORY, sheet_.Context().targetDirectory);
}

bool CDestinationPage::OnCommand(WORD controlId, WORD code, HWND) {
  if (controlId == IDC_TARGET_DIRECTORY && code == EN_CHANGE) {
    UpdateData(true);
    return true;
  }
  if (controlId == IDC_BROWSE && code == BN_CLICKED) {
    Browse();
    return true;
  }
  return false;
}

void CDestinationPage::Browse() {
  UpdateData(true);
  U16String chosen;
  if (ChooseFolder(sheet_, sheet_.Context().targetDirectory, &chosen)) {
    SetWindowTextOf(Item(IDC_TARGET_DIRECTORY), chosen);
    UpdateData(true);
  }
}

void CProgressPage::OnInitDialog() {
  CInstallerDlgPage::OnInitDialog();
  SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETRANGE32, 0, 100);
  SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETPOS, 0, 0);
  SetItemString(IDC_STATIC_TEXT, IDS_PROGRESS_START);
}

void CProgressPage::DoDataExchange(DataExchange& exchange) {
  if (exchange.Saving()) return;
  U16String text = sheet_.ProgressText();
  exchange.Text(IDC_STATIC_TEXT, text);
  exchange.Progress(IDC_PROGRESS_BAR, sheet_.ProgressPercentage());
}

void CCancelPage::OnInitDialog() {
  CInstallerDlgPage::OnInitDialog();
  SetItemString(IDC_CANCELLED_TEXT, IDS_CANCEL_FINISH);
}

void CErrorPage::OnInitDialog() {
  CInstallerDlgPage::OnInitDialog();
  SetItemString(IDC_FAILED_TEXT, IDS_ERROR_FINISH);
}

void CSuccessPage::OnInitDialog() {
  CInstallerDlgPage::OnInitDialog();
  SetItemString(IDC_INSTALLED_TEXT, IDS_SUCCESS_FINISH);
  SetItemString(IDC_OPEN_DESCRIPTION, IDS_SUCCESS_OPENDESCR);
  if (!sheet_.DescriptionFlag()) {
    EnableWindow(Item(IDC_OPEN_DESCRIPTION), FALSE);
    ShowWindow(Item(IDC_OPEN_DESCRIPTION), SW_HIDE);
  }
}

void CSuccessPage::DoDataExchange(DataExchange& exchange) {
  exchange.Check(IDC_OPEN_DESCRIPTION, sheet_.DescriptionFlag());
}

bool CSuccessPage::OnWizardFinish() {
  UpdateData(true);
  sheet_.OpenDescription();
  return true;
}
