// The Windows program's lookup in its string tables. (The choice of the
// language is checked in fresh processes: tests/windows/language_choice_check.py.)

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "localization/catalogue_data.h"
#include "localization/message_catalogue.h"
#include "localization/message_ids.h"
#include "tests/support/test_support.h"

namespace {

// Restores the current language after each case.
class WindowsLookup : public testing::Test {
 protected:
  void SetUp() override { saved_ = CurrentLanguage(); }
  void TearDown() override { SetCurrentLanguage(saved_); }

 private:
  int saved_ = 0;
};

const CatalogueLanguage* FullLanguage(const char* code) {
  for (size_t i = 0; i < kFullCatalogue.count; ++i) {
    if (std::strcmp(kFullCatalogue.languages[i].code, code) == 0)
      return &kFullCatalogue.languages[i];
  }
  return nullptr;
}

// The program's string tables hold, for every language, exactly the texts
// of the catalogue; a lookup by key and by identifier agree.
TEST_F(WindowsLookup, EveryLanguageOfTheStringTablesGivesTheCatalogueText) {
  for (const CatalogueLanguageId& id : kCatalogueLanguageIds) {
    const CatalogueLanguage* language = FullLanguage(id.code);
    ASSERT_NE(language, nullptr) << id.code;
    SetCurrentLanguage(id.windowsLanguage);
    for (const MessageKeyId& key : kMessageKeyIds) {
      U16String expected = FromUtf8(FindLanguageText(*language, key.key));
      EXPECT_EQ(GetMessageText(key.key), expected) << id.code << " " << key.key;
      EXPECT_EQ(GetMessageText(key.id), expected) << id.code << " " << key.key;
    }
  }
  SetCurrentLanguage(0x0409);
  EXPECT_EQ(GetMessageText("IDS_WIZARD_NEXT"), u"Next >");
  SetCurrentLanguage(0x0419);
  U16String cancel = GetMessageText("IDS_WIZARD_CANCEL");
  EXPECT_EQ(cancel.Length(), 6u);
  EXPECT_EQ(cancel, u"Отмена");
}

TEST_F(WindowsLookup, OnlyExactlyTheCurrentLanguageAndOnlyKnownStrings) {
  SetCurrentLanguage(0x0409);
  EXPECT_TRUE(GetMessageText("IDS_NO_SUCH_KEY").IsEmpty());
  EXPECT_TRUE(GetMessageText("ids_wizard_next").IsEmpty());
  EXPECT_TRUE(GetMessageText(nullptr).IsEmpty());
  // Identifiers without a string: in a block that holds others, in a block
  // of none, and past the last block there can be.
  for (unsigned id : {0u, 122u, 127u, 5000u, 0xFFFF0u, 0xFFFFFFFFu})
    EXPECT_TRUE(GetMessageText(id).IsEmpty()) << id;
  // No fallback to another language, not even to a sibling of English or to
  // the neutral form of a language whose tables exist.
  for (int language : {0, 0x0809, 0x0009, 0x0019, 0x0411, 0x0C00, 0x10000, -1}) {
    SetCurrentLanguage(language);
    EXPECT_TRUE(GetMessageText("IDS_WIZARD_NEXT").IsEmpty()) << std::hex << language;
  }
}

}  // namespace
