// The compiled-in text tables and the catalogue over them. The tables are
// generated from the language files; see generate_catalogue.py.
#pragma once

#include <cstddef>
#include <cstdint>

// One message of one language; the text is UTF-8.
struct CatalogueText {
  const char* key;
  const char* text;
};

struct CatalogueLanguage {
  const char* code;  // two letters, lower case
  int linuxNumber;   // 0 when only the Windows build carries the language
  uint16_t windowsLanguage;
  const CatalogueText* texts;
  size_t textCount;
};

struct CatalogueTable {
  const CatalogueLanguage* languages;
  size_t count;
};

// The languages of the Linux build, ordered by number (generated).
extern const CatalogueTable kLinuxCatalogue;
// Every language of either build, for checks over the whole data (generated).
extern const CatalogueTable kFullCatalogue;

// Lookups over one table of languages. Languages are named by their Linux
// number.
class MessageCatalogue {
 public:
  explicit MessageCatalogue(const CatalogueTable& table) : table_(table) {}

  const CatalogueTable& Table() const { return table_; }
  // The language with that number, or nullptr.
  const CatalogueLanguage* FindLanguage(int number) const;
  // Number of the first language whose code equals code byte for byte, or 0.
  int FindLanguageByCode(const char* code) const;
  // UTF-8 text of key in the language, or nullptr when either is missing.
  const char* FindText(int language, const char* key) const;

 private:
  const CatalogueTable& table_;
};

// UTF-8 text of key in one language, or nullptr.
const char* FindLanguageText(const CatalogueLanguage& language, const char* key);
