// Resources of the program in one language.
#pragma once

#include <windows.h>

// The dialog template of that id in that language from the program's
// modules, in memory for as long as the program runs; nullptr when no
// module has it.
const DLGTEMPLATE* FindDialogTemplate(unsigned id, LANGID language);

// The module that holds the program's resources.
HINSTANCE ResourceModule();
