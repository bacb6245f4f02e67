// Windows language choice: the "/L" option's code, else the user's default
// language mapped by its primary language, else English.
#include <windows.h>

#include "localization/language_choice.h"
#include "localization/message_catalogue.h"

namespace {

constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kCustomDefault = 0x0C00;
constexpr LCID kInvariantLocale = 0x007F;
constexpr LCTYPE kNumericLanguageQuery = 0x2000006D;

struct CodeLanguage {
  const char* code;
  LANGID language;
};

// The option's codes, in the order they are compared.
constexpr CodeLanguage kOptionCodes[] = {
    {"ru", 1049}, {"uk", 1058}, {"en", 1033}, {"lv", 1062}, {"lt", 1063}, {"ro", 1048},
    {"de", 1031}, {"bg", 1026}, {"ka", 1079}, {"kk", 1087}, {"vi", 1066}, {"tr", 1055},
    {"az", 1068}, {"zh", 2052}, {"fr", 1036}, {"hu", 1038},
};

// Languages without an interface of their own: an option naming one gives
// English without asking the system.
constexpr const char* kOtherRecognisedCodes[] = {
    "af", "sq", "ar", "hy",  "eu", "be",  "bn", "bs",  "my",  "ca",  "hr",  "cs", "da",
    "dv", "nl", "et", "fo",  "fi", "el",  "gu", "he",  "hi",  "is",  "id",  "xh", "zu",
    "it", "ja", "kn", "kok", "ko", "mk",  "ms", "ml",  "mi",  "mt",  "mr",  "mn", "nb",
    "nn", "pl", "pt", "pa",  "qu", "sa",  "se", "smj", "sma", "sms", "smn", "sr", "sr_Latn",
    "sk", "sl", "es", "sw",  "sv", "syr", "ta", "tt",  "te",  "th",  "ur",  "uz", "cy",
};

// The user's primary language to the interface language; every other one
// is English.
constexpr struct {
  WORD primary;
  LANGID language;
} kPrimaryLanguages[] = {
    {2, 1026},  {4, 2052},  {7, 1031},  {12, 1036}, {24, 1048}, {25, 1049}, {31, 1055},
    {34, 1058}, {38, 1062}, {39, 1063}, {44, 1068}, {55, 1079}, {63, 1087},
};

constexpr CodeLanguage kLanguageCodes[] = {
    {"bg", 1026}, {"de", 1031}, {"fr", 1036}, {"hu", 1038}, {"ro", 1048},
    {"ru", 1049}, {"tr", 1055}, {"uk", 1058}, {"lv", 1062}, {"lt", 1063},
    {"vi", 1066}, {"az", 1068}, {"ka", 1079}, {"kk", 1087}, {"zh", 2052},
};

// The codes are ASCII; letter case is ignored the same way in every locale.
bool SameCode(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
    char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

// 0 when the code leaves the choice to the system.
LANGID LanguageOfOption(const char* code) {
  for (const CodeLanguage& entry : kOptionCodes) {
    if (SameCode(code, entry.code)) return entry.language;
  }
  for (const char* other : kOtherRecognisedCodes) {
    if (SameCode(code, other)) return kEnglish;
  }
  return 0;
}

bool IsBeforeVersion6() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExW(&version) && version.dwMajorVersion < 6;
}

// A custom default locale has no language identifier of its own.
LANGID ResolveCustomDefault(LANGID language) {
  if (language != kCustomDefault) return language;
  if (IsBeforeVersion6()) return GetSystemDefaultLangID();
  // The answer is asked for in one unit; the buffer has room for the two
  // that a numeric answer takes, should the system write them anyway.
  DWORD answer = 0;
  if (GetLocaleInfoW(kInvariantLocale, kNumericLanguageQuery, reinterpret_cast<LPWSTR>(&answer),
                     1) == 0)
    return GetSystemDefaultLangID();
  return static_cast<LANGID>(answer);
}

LANGID LanguageOfSystem() {
  LANGID user = ResolveCustomDefault(ResolveCustomDefault(GetUserDefaultLangID()));
  WORD primary = user & 0x3FF;
  for (const auto& entry : kPrimaryLanguages) {
    if (entry.primary == primary) return entry.language;
  }
  return kEnglish;
}

const char* CodeOfLanguage(LANGID language) {
  for (const CodeLanguage& entry : kLanguageCodes) {
    if (entry.language == language) return entry.code;
  }
  return "en";
}

}  // namespace

LanguageChoice ChooseLanguage(const char* optionCode) {
  LANGID language = optionCode ? LanguageOfOption(optionCode) : 0;
  if (language == 0) language = LanguageOfSystem();
  SetCurrentLanguage(language);
  return LanguageChoice{language, FromUtf8(CodeOfLanguage(language))};
}
