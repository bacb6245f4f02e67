// The interface language of the run, settled once at startup.
#pragma once

#include "platform/strings.h"

struct LanguageChoice {
  int languageId = 0;      // Linux language number; Windows LANGID
  U16String languageCode;  // two letters, picks the kit's product description
};

// Chooses the language from the command line's language code (nullptr when
// the option was not given), else from the environment, else English, and
// makes it the message catalogue's current language.
//
// Linux: the code must equal a catalogue code exactly; the environment is
// read with setlocale(LC_ALL, ""), which also sets the program's locale.
LanguageChoice ChooseLanguage(const char* optionCode);
