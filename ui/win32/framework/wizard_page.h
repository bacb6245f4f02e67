// One page of a wizard sheet: a dialog made from a template in memory, with
// the wizard's notifications turned into virtual operations and a data
// exchange between its controls and the values behind them.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "platform/strings.h"
#include "ui/win32/framework/data_exchange.h"

class CWizardSheet;

class CWizardPage {
 public:
  // Results of OnWizardBack and OnWizardNext besides a dialog id.
  static constexpr LRESULT kDefaultPage = 0;
  static constexpr LRESULT kStay = -1;

  CWizardPage() = default;
  virtual ~CWizardPage() = default;
  CWizardPage(const CWizardPage&) = delete;
  CWizardPage& operator=(const CWizardPage&) = delete;

  // The page's dialog template in memory (it must outlive the page) and the
  // dialog id by which the wizard's navigation names the page.
  void SetTemplate(unsigned dialogId, const DLGTEMPLATE* dialogTemplate);
  // The page's title; the wizard shows the active page's title as caption.
  void SetTitle(const U16String& title) { title_ = title; }

  unsigned DialogId() const { return dialogId_; }
  const DLGTEMPLATE* Template() const { return template_; }
  HWND Window() const { return window_; }
  HWND Item(int controlId) const { return GetDlgItem(window_, controlId); }
  CWizardSheet* Sheet() const { return sheet_; }

  // Saving reads the controls into the values, loading fills them in.
  // False when the page has no window yet.
  bool UpdateData(bool save);

 protected:
  // After the page's window and controls exist; the default loads the data.
  virtual void OnInitDialog() { UpdateData(false); }
  virtual void DoDataExchange(DataExchange&) {}
  // The page has become the active one; false refuses it.
  virtual bool OnSetActive() { return true; }
  // A dialog id of the sheet's pages to go to, kDefaultPage or kStay.
  virtual LRESULT OnWizardBack() { return kDefaultPage; }
  virtual LRESULT OnWizardNext() { return kDefaultPage; }
  // True lets the wizard close.
  virtual bool OnWizardFinish() { return true; }
  virtual bool OnQueryCancel() { return true; }
  // A command from a control; true when handled.
  virtual bool OnCommand(WORD, WORD, HWND) { return false; }

 private:
  friend class CWizardSheet;

  // The description the property sheet makes the page from.
  PROPSHEETPAGEW Describe();
  bool HandleNotification(const NMHDR& header, LRESULT* result);
  LRESULT TemplateOfResult(LRESULT result) const;
  static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  CWizardSheet* sheet_ = nullptr;
  unsigned dialogId_ = 0;
  const DLGTEMPLATE* template_ = nullptr;
  U16String title_;
  HWND window_ = nullptr;
  bool exchanging_ = false;
};
