#include "localization/catalogue_data.h"

#include <cstring>

const char* FindLanguageText(const CatalogueLanguage& language, const char* key) {
  if (!key) return nullptr;
  for (size_t i = 0; i < language.textCount; ++i) {
    if (std::strcmp(language.texts[i].key, key) == 0) return language.texts[i].text;
  }
  return nullptr;
}

const CatalogueLanguage* MessageCatalogue::FindLanguage(int number) const {
  if (number <= 0) return nullptr;
  for (size_t i = 0; i < table_.count; ++i) {
    if (table_.languages[i].linuxNumber == number) return &table_.languages[i];
  }
  return nullptr;
}

int MessageCatalogue::FindLanguageByCode(const char* code) const {
  if (!code) return 0;
  for (size_t i = 0; i < table_.count; ++i) {
    const CatalogueLanguage& language = table_.languages[i];
    if (language.linuxNumber != 0 && std::strcmp(language.code, code) == 0) {
      return language.linuxNumber;
    }
  }
  return 0;
}

const char* MessageCatalogue::FindText(int language, const char* key) const {
  const CatalogueLanguage* found = FindLanguage(language);
  return found ? FindLanguageText(*found, key) : nullptr;
}
