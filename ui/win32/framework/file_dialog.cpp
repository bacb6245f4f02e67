#include "ui/win32/framework/file_dialog.h"

#include "ui/win32/framework/window_text.h"

CFileDialog::CFileDialog(const U16String& defaultExtension, const U16String& fileName, DWORD flags,
                         const U16String& filter, HWND owner)
    : defaultExtension_(defaultExtension), fileName_(MAX_PATH, L'\0') {
  for (size_t i = 0; i < fileName.Length() && i + 1 < fileName_.size(); ++i)
    fileName_[i] = static_cast<wchar_t>(fileName[i]);
  for (size_t i = 0; i < filter.Length(); ++i)
    filter_.push_back(filter[i] == u'|' ? L'\0' : static_cast<wchar_t>(filter[i]));
  filter_.push_back(L'\0');

  dialog_.lStructSize = sizeof dialog_;
  dialog_.hwndOwner = owner;
  dialog_.lpstrFilter = filter_.data();
  dialog_.nFilterIndex = 1;
  dialog_.lpstrFile = fileName_.data();
  dialog_.nMaxFile = static_cast<DWORD>(fileName_.size());
  dialog_.lpstrDefExt = defaultExtension_.IsEmpty() ? nullptr : Wide(defaultExtension_);
  dialog_.Flags = flags | OFN_ENABLEHOOK | OFN_EXPLORER;
  dialog_.lpfnHook = &CFileDialog::Hook;
  dialog_.lCustData = reinterpret_cast<LPARAM>(this);
}

void CFileDialog::SetTemplate(HINSTANCE module, unsigned templateId) {
  dialog_.hInstance = module;
  dialog_.lpTemplateName = MAKEINTRESOURCEW(templateId);
}

void CFileDialog::SetInitialDirectory(const U16String& directory) {
  initialDirectory_ = directory.Substring(0, MAX_PATH);
  dialog_.lpstrInitialDir = initialDirectory_.IsEmpty() ? nullptr : Wide(initialDirectory_);
}

INT_PTR CFileDialog::DoModal() {
  ended_ = false;
  endResult_ = IDCANCEL;
  BOOL chosen = GetOpenFileNameW(&dialog_);
  child_ = nullptr;
  if (ended_) return endResult_;
  return chosen ? IDOK : IDCANCEL;
}

void CFileDialog::EndDialog(INT_PTR result) {
  ended_ = true;
  endResult_ = result;
  if (HWND fileDialog = FileDialog()) ::EndDialog(fileDialog, result);
}

UINT_PTR CALLBACK CFileDialog::Hook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const OPENFILENAMEW* dialog = reinterpret_cast<const OPENFILENAMEW*>(lParam);
    CFileDialog* self = reinterpret_cast<CFileDialog*>(dialog->lCustData);
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->child_ = window;
    return TRUE;
  }
  CFileDialog* self = reinterpret_cast<CFileDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self) return 0;
  switch (message) {
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->code == CDN_INITDONE) self->OnInitDone();
      if (header->code == CDN_FOLDERCHANGE) self->OnFolderChange();
      return 0;
    }
    case WM_COMMAND:
      return self->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? 1 : 0;
    default:
      return 0;
  }
}
