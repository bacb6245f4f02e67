// The six pages of the wizard sheet. Each forwards the wizard's
// notifications to the sheet, which moves between them; a page adds only its
// texts and its data exchange.
#pragma once

#include "ui/win32/framework/wizard_page.h"

class CInstallerSheet;

class CInstallerDlgPage : public CWizardPage {
 public:
  CInstallerDlgPage(CInstallerSheet& sheet, int index) : sheet_(sheet), index_(index) {}
  int Index() const { return index_; }

 protected:
  bool OnSetActive() override;
  LRESULT OnWizardBack() override;
  LRESULT OnWizardNext() override;
  bool OnQueryCancel() override;
  // Sets a control's text to the string of that id.
  void SetItemString(int controlId, unsigned stringId);

  CInstallerSheet& sheet_;

 private:
  int index_;
};

class CWelcomePage : public CInstallerDlgPage {
 public:
  explicit CWelcomePage(CInstallerSheet& sheet) : CInstallerDlgPage(sheet, 0) {}

 protected:
  void OnInitDialog() override;
};

class CDestinationPage : public CInstallerDlgPage {
 public:
  explicit CDestinationPage(CInstallerSheet& sheet) : CInstallerDlgPage(sheet, 1) {}

 protected:
  void OnInitDialog() override;
  void DoDataExchange(DataExchange& exchange) override;
  bool OnCommand(WORD controlId, WORD code, HWND control) override;

 private:
  void Browse();
};

class CProgressPage : public CInstallerDlgPage {
 public:
  explicit CProgressPage(CInstallerSheet& sheet) : CInstallerDlgPage(sheet, 2) {}

 protected:
  void OnInitDialog() override;
  void DoDataExchange(DataExchange& exchange) override;
};

class CCancelPage : public CInstallerDlgPage {
 public:
  explicit CCancelPage(CInstallerSheet& sheet) : CInstallerDlgPage(sheet, 3) {}

 protected:
  void OnInitDialog() override;
};

class CErrorPage : public CInstallerDlgPage {
 public:
  explicit CErrorPage(CInstallerSheet& sheet) : CInstallerDlgPage(sheet, 4) {}

 protected:
  void OnInitDialog() override;
};

class CSuccessPage : public CInstallerDlgPage {
 public:
  explicit CSuccessPage(CInstallerSheet& sheet) : CInstallerDlgPage(sheet, 5) {}

 protected:
  void OnInitDialog() override;
  void DoDataExchange(DataExchange& exchange) override;
  bool OnWizardFinish() override;
};
