// A modal property sheet in wizard mode. The sheet's window is subclassed
// from its creation on, so that its initialisation can run code before the
// property sheet's own (which creates the first page), and so that the
// sheet gets its timer messages.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "platform/strings.h"

class CWizardPage;

class CWizardSheet {
 public:
  // Buttons of the wizard's button row (control ids).
  static constexpr int kBackButton = 0x3023;
  static constexpr int kNextButton = 0x3024;
  static constexpr int kFinishButton = 0x3025;
  static constexpr int kCancelButton = IDCANCEL;
  static constexpr int kHelpButton = IDHELP;

  explicit CWizardSheet(const U16String& caption);
  virtual ~CWizardSheet();
  CWizardSheet(const CWizardSheet&) = delete;
  CWizardSheet& operator=(const CWizardSheet&) = delete;

  // Pages are shown in the order added; the sheet does not own them.
  void AddPage(CWizardPage* page);
  // Runs the sheet until it closes: the result given to EndDialog, IDOK
  // after Finish, IDCANCEL when it was cancelled or could not be made.
  INT_PTR DoModal();

  HWND Window() const { return window_; }
  HWND Item(int controlId) const { return GetDlgItem(window_, controlId); }
  int GetPageCount() const { return static_cast<int>(pages_.size()); }
  CWizardPage* GetPage(int index) const;
  int GetActiveIndex() const;
  CWizardPage* GetActivePage() const;
  CWizardPage* PageOfDialog(unsigned dialogId) const;
  void SetActivePage(int index);

  // Closes the sheet with that result, whatever its pages would answer.
  void EndDialog(INT_PTR result);
  bool IsEnding() const { return ending_; }

  // PSWIZB_* flags; posted, as the property sheet does it.
  void SetWizardButtons(DWORD flags);
  // PSBTN_*; posted.
  void PressButton(int button);
  // The sheet's caption and its Finish button both read the text, and the
  // caption keeps it from then on.
  void SetFinishText(const U16String& text);

 protected:
  // The sheet's window is being initialised, before the property sheet's
  // own initialisation. False ends the run: the sheet is never shown.
  virtual bool OnInitBegin() { return true; }
  // After the property sheet's own initialisation (the first page exists).
  virtual void OnInitDone() {}
  virtual void OnTimer(UINT_PTR) {}

 private:
  static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Attach(HWND window);
  LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);

  U16String caption_;
  std::vector<CWizardPage*> pages_;
  HWND window_ = nullptr;
  WNDPROC original_ = nullptr;
  bool ending_ = false;
  bool neverShow_ = false;
  INT_PTR endResult_ = IDCANCEL;
  U16String finishText_;
};
