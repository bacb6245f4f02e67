#include <clocale>

#include "localization/language_choice.h"
#include "localization/message_catalogue.h"

LanguageChoice ChooseLanguage(const char* optionCode) {
  int language = 0;
  const char* code = "en";

  if (optionCode) {
    language = FindLanguageByCode(optionCode);
    if (language) code = optionCode;
  }
  // A locale name such as "ru_RU.UTF-8" is cut to its first two bytes; "C",
  // "POSIX" and composite names match nothing, and a missing locale gives no
  // name at all.
  char cut[3] = {};
  if (!language) {
    if (const char* name = std::setlocale(LC_ALL, "")) {
      cut[0] = name[0];
      if (cut[0] != '\0') cut[1] = name[1];
      language = FindLanguageByCode(cut);
      if (language) code = cut;
    }
  }
  if (!language) language = FindLanguageByCode("en");

  SetCurrentLanguage(language);
  return LanguageChoice{language, FromUtf8(code)};
}
