// Texts shown to the user, looked up by message key in the run's language.
//
// Keys are the names of message_keys.tsv ("IDS_WIZARD_NEXT", "IDR_MAINFRAME").
// The same call works in both programs: the Linux build keeps the texts
// compiled in, the Windows build loads them from its string tables by the
// key's numeric identifier (localization/message_ids.h).
#pragma once

#include "platform/strings.h"

// Text of key in the current language; empty when the key or the current
// language is not in the catalogue. There is no fallback to another language.
U16String GetMessageText(const char* key);

#ifdef _WIN32
// Text of the string with that identifier in the current language.
U16String GetMessageText(unsigned id);
#endif

// Makes language the one of every later lookup: the language number on
// Linux, the language identifier (LANGID) on Windows. Set once at startup,
// before the worker thread exists.
void SetCurrentLanguage(int language);
// The language last set, 0 before that.
int CurrentLanguage();

// Windows string identifier of key, 0 for a key that is not in the catalogue.
unsigned MessageIdOfKey(const char* key);

#ifndef _WIN32
// Number of the Linux language with exactly that code (case matters), 0 when
// there is none.
int FindLanguageByCode(const char* code);
#endif
