// Lookups of the Linux program's catalogue.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <langinfo.h>
#include <locale.h>
#include <clocale>
#include <cstring>

#include "localization/catalogue_data.h"
#include "localization/message_catalogue.h"

namespace {

// Restores the current language after each case.
class MessageLookupTest : public testing::Test {
 protected:
  void SetUp() override { saved_ = CurrentLanguage(); }
  void TearDown() override { SetCurrentLanguage(saved_); }

 private:
  int saved_ = 0;
};

// The lookup decodes with the environment's locale; the test runs under a
// UTF-8 LANG, and the Russian case is only meaningful there.
bool EnvironmentIsUtf8() {
  locale_t environment = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
  if (!environment) return false;
  bool utf8 = std::strcmp(nl_langinfo_l(CODESET, environment), "UTF-8") == 0;
  freelocale(environment);
  return utf8;
}

TEST_F(MessageLookupTest, FindsLanguagesByExactCode) {
  struct Case {
    const char* code;
    int number;
  };
  const Case cases[] = {
      {"ru", 1},
      {"uk", 2},
      {"en", 3},
      {"lv", 4},
      {"lt", 5},
      {"bg", 6},
      {"de", 7},
      {"ro", 8},
      {"ka", 9},
      {"kk", 10},
      {"vi", 11},
      {"tr", 12},
      // Case matters, and only whole codes of the Linux build match.
      {"RU", 0},
      {"De", 0},
      {"r", 0},
      {"rus", 0},
      {"", 0},
      {"fr", 0},
      {"zh", 0},
      {"pl", 0},
      {"PO", 0},
      {"C", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(FindLanguageByCode(c.code), c.number) << c.code;
  EXPECT_EQ(FindLanguageByCode(nullptr), 0);
}

TEST_F(MessageLookupTest, GivesTheTextOfTheCurrentLanguage) {
  SetCurrentLanguage(FindLanguageByCode("en"));
  EXPECT_EQ(GetMessageText("IDS_WIZARD_NEXT"), u"Next >");
  EXPECT_EQ(GetMessageText("IDS_ERROR_NOSOURCE"), u"Distribution kit file brvx.bkd not found.");

  SetCurrentLanguage(FindLanguageByCode("de"));
  EXPECT_EQ(GetMessageText("IDS_WIZARD_NEXT"), u"Weiter >");
  EXPECT_EQ(CurrentLanguage(), 7);
}

TEST_F(MessageLookupTest, RussianTextArrivesAsUtf16InAUtf8Locale) {
  ASSERT_TRUE(EnvironmentIsUtf8()) << "run the tests with a UTF-8 LANG (en_US.UTF-8)";
  SetCurrentLanguage(FindLanguageByCode("ru"));
  U16String cancel = GetMessageText("IDS_WIZARD_CANCEL");
  EXPECT_EQ(cancel.Length(), 6u);
  EXPECT_EQ(cancel, u"Отмена");
  EXPECT_EQ(GetMessageText("IDS_CHOOSEDIR_FOLDER"), u"&Папка:");
}

TEST_F(MessageLookupTest, EveryTextOfEveryLinuxLanguageDecodes) {
  ASSERT_TRUE(EnvironmentIsUtf8()) << "run the tests with a UTF-8 LANG (en_US.UTF-8)";
  for (size_t i = 0; i < kLinuxCatalogue.count; ++i) {
    const CatalogueLanguage& language = kLinuxCatalogue.languages[i];
    SetCurrentLanguage(language.linuxNumber);
    for (size_t t = 0; t < language.textCount; ++t) {
      EXPECT_EQ(GetMessageText(language.texts[t].key), FromUtf8(language.texts[t].text))
          << language.code << " " << language.texts[t].key;
    }
  }
}

TEST_F(MessageLookupTest, UnknownKeyOrLanguageGivesEmptyText) {
  for (int language = 1; language <= 12; ++language) {
    SetCurrentLanguage(language);
    EXPECT_FALSE(GetMessageText("IDS_WIZARD_BACK").IsEmpty()) << language;
    EXPECT_TRUE(GetMessageText("IDS_NO_SUCH_KEY").IsEmpty()) << language;
    EXPECT_TRUE(GetMessageText("ids_wizard_back").IsEmpty()) << language;
    EXPECT_TRUE(GetMessageText("").IsEmpty()) << language;
    EXPECT_TRUE(GetMessageText(nullptr).IsEmpty()) << language;
  }
  // No language chosen yet, or one the Linux build lacks: no fallback.
  for (int language : {0, -1, 13, 0x0409}) {
    SetCurrentLanguage(language);
    EXPECT_TRUE(GetMessageText("IDS_WIZARD_BACK").IsEmpty()) << language;
  }
}

}  // namespace

#endif  // _WIN32
