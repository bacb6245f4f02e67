// The common open-file dialog in Explorer style with a child template of
// the program's own; the template's dialog procedure is the hook through
// which a subclass sees the dialog's notifications and its own controls.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <vector>

#include "platform/strings.h"

class CFileDialog {
 public:
  // filter: description and pattern pairs, each part ended by "|", the list
  // ended by one more "|".
  CFileDialog(const U16String& defaultExtension, const U16String& fileName, DWORD flags,
              const U16String& filter, HWND owner);
  virtual ~CFileDialog() = default;
  CFileDialog(const CFileDialog&) = delete;
  CFileDialog& operator=(const CFileDialog&) = delete;

  void SetTemplate(HINSTANCE module, unsigned templateId);
  // Cut to the dialog's path limit.
  void SetInitialDirectory(const U16String& directory);

  // IDOK or IDCANCEL.
  INT_PTR DoModal();

  // The child dialog made from the template, and the file dialog around it.
  HWND Window() const { return child_; }
  HWND FileDialog() const { return child_ ? GetParent(child_) : nullptr; }
  // Ends the file dialog with that result.
  void EndDialog(INT_PTR result);

 protected:
  // The file dialog has placed its controls.
  virtual void OnInitDone() {}
  virtual void OnFolderChange() {}
  // A command from a template control; true when handled.
  virtual bool OnCommand(WORD, WORD) { return false; }

 private:
  static UINT_PTR CALLBACK Hook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  U16String defaultExtension_;
  std::vector<wchar_t> fileName_;
  std::vector<wchar_t> filter_;
  U16String initialDirectory_;
  OPENFILENAMEW dialog_ = {};
  HWND child_ = nullptr;
  bool ended_ = false;
  INT_PTR endResult_ = IDCANCEL;
};
