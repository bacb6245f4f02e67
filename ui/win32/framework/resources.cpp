#include "ui/win32/framework/resources.h"

HINSTANCE ResourceModule() {
  return GetModuleHandleW(nullptr);
}

const DLGTEMPLATE* FindDialogTemplate(unsigned id, LANGID language) {
  // The program is its only resource module.
  HMODULE modules[] = {ResourceModule()};
  for (HMODULE module : modules) {
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(id), language);
    if (!found) continue;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded || SizeofResource(module, found) == 0) continue;
    if (const void* data = LockResource(loaded)) return static_cast<const DLGTEMPLATE*>(data);
  }
  return nullptr;
}
