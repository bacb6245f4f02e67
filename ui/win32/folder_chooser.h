// The folder chooser of the destination page: the open-file dialog with a
// pattern that matches no file, so that it lists folders only, its own file
// controls hidden, and a Select button that hands back the folder shown.
#pragma once

#include "platform/strings.h"
#include "ui/win32/framework/file_dialog.h"

class CInstallerSheet;

class CFolderChooser : public CFileDialog {
 public:
  CFolderChooser(CInstallerSheet& sheet, const U16String& initialDirectory);
  const U16String& Result() const { return result_; }

 protected:
  void OnInitDone() override;
  void OnFolderChange() override;
  bool OnCommand(WORD controlId, WORD code) override;

 private:
  void Arrange();
  void ApplyFolderOnlyPattern();

  CInstallerSheet& sheet_;
  U16String result_;
};

// Shows the chooser starting in initialDirectory; true with the chosen
// folder when the user selected one.
bool ChooseFolder(CInstallerSheet& sheet, const U16String& initialDirectory, U16String* chosen);
