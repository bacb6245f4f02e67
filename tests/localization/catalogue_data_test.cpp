// Checks over the whole text data: every language either program carries.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "localization/catalogue_data.h"
#include "localization/message_catalogue.h"
#include "localization/message_ids.h"

namespace {

struct ReferenceMessage {
  const char* key;
  unsigned id;
  const char* english;
  const char* russian;
};

// The fixed contract: keys, their Windows identifiers, English and Russian.
const ReferenceMessage kReference[] = {
    {"IDS_WIZARD_BACK", 102, "< Back", "< Назад"},
    {"IDS_WIZARD_NEXT", 103, "Next >", "Далее >"},
    {"IDS_WIZARD_FINISH", 104, "Finish", "Готово"},
    {"IDS_WIZARD_CANCEL", 105, "Cancel", "Отмена"},
    {"IDS_ACCEPT_CANCEL", 106, "Do you really want to cancel installation?",
     "Вы действительно хотите отменить установку?"},
    {"IDS_TITLE_INSTALLER", 107, "Installing configuration", "Установка конфигурации"},
    {"IDS_PREPARECOPY", 108, "Preparing to copy...", "Подготовка к копированию..."},
    {"IDS_INSTALL_ERROR", 109, "Installation error", "Ошибка при инсталляции"},
    {"IDS_ERROR_NOSOURCE", 110, "Distribution kit file brvx.bkd not found.",
     "Файл комплекта установки brvx.bkd не найден."},
    {"IDS_ERROR_NOTARGET", 111,
     "Installation of templates to the current directory is not supported.",
     "Установка в текущий каталог шаблонов не поддерживается."},
    {"IDS_SETUP_EMPTYTARGET", 112, "Specify correct path to template directory.",
     "Укажите корректный путь к каталогу шаблонов."},
    {"IDS_INSTALL_FINISH", 113, "Copying complete...", "Завершение копирования..."},
    {"IDS_ERROR_DAMAGEDSOURCE", 114,
     "Distribution kit file brvx.bkd corrupted or not designed for this installation program.",
     "Файл комплекта установки brvx.bkd поврежден или не предназначен для этой программы "
     "установки."},
    {"IDS_DEFPRODUCT", 115, "<Product>", "<Продукт>"},
    {"IDS_DEFPROVIDER", 116, "<Vendor>", "<Поставщик>"},
    {"IDS_SUCCESS_FINISH", 117, "Configuration installed successfully.",
     "Конфигурация успешно установлена."},
    {"IDS_SUCCESS_OPENDESCR", 118, "Open description of distribution package",
     "Открыть описание поставки"},
    {"IDS_PROGRESS_START", 119, "Files being copied...", "Идет копирование файлов..."},
    {"IDS_ERROR_FINISH", 120,
     "An error occurred during the installation process. Installation canceled. Template directory "
     "has not been changed.",
     "В процессе установки произошла ошибка. Установка прервана. Каталог шаблонов не изменен."},
    {"IDS_CANCEL_FINISH", 121, "Installation canceled. Template directory has not been changed.",
     "Установка отменена. Каталог шаблонов не изменен."},
    {"IDS_BROWSE_SELDIR", 123, "Directory selected:", "Выбранный каталог:"},
    {"IDS_BROWSE_OK", 124, "Select", "Выбрать"},
    {"IDS_BROWSE_CANCEL", 125, "Cancel", "Отмена"},
    {"IDR_MAINFRAME", 128, "Installing configuration", "Установка конфигурации"},
    {"IDS_ERROR_NOSPACE", 136, "Insufficient space available in the directory Temp.",
     "Недостаточно места в каталоге Temp."},
    {"IDS_TEMPLATE_CATALOG", 194, "Template directory:", "Каталог шаблонов:"},
    {"IDS_SETUP_EXISTEDTARGET", 337,
     "The installation directory contains files that may be changed during the installation "
     "process. Do you want to continue?",
     "Каталог установки содержит файлы, которые могут быть изменены в процессе установки. "
     "Продолжить установку?"},
    {"IDS_CHOOSEDIR_FOLDER", 786, "&Folder:", "&Папка:"},
    {"IDS_CHOOSEDIR_TITLE", 787, "Choose Directory", "Выбор каталога"},
    {"IDS_WELCOME_TITLE", 1005, "Welcome to the product installation program",
     "Добро пожаловать в программу установки продукта"},
    {"IDS_DESTINATION_PROMPT", 1009,
     "Specify path to template directory. The installation program will install templates and "
     "configuration files to the specified directory.",
     "Укажите путь к каталогу шаблонов. Программа установки установит шаблоны и файлы конфигурации "
     "в указанный каталог."},
};

struct ExpectedLanguage {
  const char* code;
  int linuxNumber;
  uint16_t windowsLanguage;
};

const ExpectedLanguage kExpectedLanguages[] = {
    {"ru", 1, 0x0419}, {"uk", 2, 0x0422},  {"en", 3, 0x0409},  {"lv", 4, 0x0426},
    {"lt", 5, 0x0427}, {"bg", 6, 0x0402},  {"de", 7, 0x0407},  {"ro", 8, 0x0418},
    {"ka", 9, 0x0437}, {"kk", 10, 0x043F}, {"vi", 11, 0x042A}, {"tr", 12, 0x041F},
    {"az", 0, 0x042C}, {"zh", 0, 0x0804},  {"fr", 0, 0x040C},  {"hu", 0, 0x040E},
    {"pl", 0, 0x0415},
};

const char kKitName[] = "brvx.bkd";

const CatalogueLanguage* FullLanguage(const char* code) {
  for (size_t i = 0; i < kFullCatalogue.count; ++i) {
    if (std::strcmp(kFullCatalogue.languages[i].code, code) == 0) {
      return &kFullCatalogue.languages[i];
    }
  }
  return nullptr;
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

std::string Text(const CatalogueLanguage& language, const char* key) {
  const char* text = FindLanguageText(language, key);
  return text ? text : "";
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(CatalogueDataTest, CarriesExactlyTheInterfaceLanguagesAndPolish) {
  ASSERT_EQ(kFullCatalogue.count, std::size(kExpectedLanguages));
  for (const ExpectedLanguage& expected : kExpectedLanguages) {
    const CatalogueLanguage* language = FullLanguage(expected.code);
    ASSERT_NE(language, nullptr) << expected.code;
    EXPECT_EQ(language->linuxNumber, expected.linuxNumber) << expected.code;
    EXPECT_EQ(language->windowsLanguage, expected.windowsLanguage) << expected.code;
  }
  // The generated header carries the same table for the Windows side.
  ASSERT_EQ(std::size(kCatalogueLanguageIds), std::size(kExpectedLanguages));
  for (const CatalogueLanguageId& id : kCatalogueLanguageIds) {
    const CatalogueLanguage* language = FullLanguage(id.code);
    ASSERT_NE(language, nullptr) << id.code;
    EXPECT_EQ(id.linuxNumber, language->linuxNumber) << id.code;
    EXPECT_EQ(id.windowsLanguage, language->windowsLanguage) << id.code;
  }
}

// Only the Linux program carries the compiled-in tables.
#ifndef _WIN32
TEST(CatalogueDataTest, LinuxCatalogueHoldsItsLanguagesInNumberOrder) {
  ASSERT_EQ(kLinuxCatalogue.count, 12u);
  for (size_t i = 0; i < kLinuxCatalogue.count; ++i) {
    const CatalogueLanguage& language = kLinuxCatalogue.languages[i];
    EXPECT_EQ(language.linuxNumber, static_cast<int>(i + 1)) << language.code;
    const CatalogueLanguage* full = FullLanguage(language.code);
    ASSERT_NE(full, nullptr) << language.code;
    ASSERT_EQ(language.textCount, full->textCount) << language.code;
    for (const MessageKeyId& message : kMessageKeyIds) {
      EXPECT_EQ(Text(language, message.key), Text(*full, message.key))
          << language.code << " " << message.key;
    }
  }
}
#endif

TEST(CatalogueDataTest, EnglishRussianAndIdentifiersAreTheReference) {
  const CatalogueLanguage* english = FullLanguage("en");
  const CatalogueLanguage* russian = FullLanguage("ru");
  ASSERT_NE(english, nullptr);
  ASSERT_NE(russian, nullptr);
  ASSERT_EQ(std::size(kReference), 31u);
  // Keys added after the contract come on top of it.
  ASSERT_GE(kMessageKeyCount, std::size(kReference));
  for (const ReferenceMessage& message : kReference) {
    EXPECT_EQ(Text(*english, message.key), message.english) << message.key;
    EXPECT_EQ(Text(*russian, message.key), message.russian) << message.key;
    EXPECT_EQ(MessageIdOfKey(message.key), message.id) << message.key;
  }
  EXPECT_EQ(MessageIdOfKey("IDS_NO_SUCH_KEY"), 0u);
  EXPECT_EQ(MessageIdOfKey("ids_wizard_back"), 0u);
  EXPECT_EQ(MessageIdOfKey(nullptr), 0u);
}

TEST(CatalogueDataTest, EveryLanguageHasEveryKeyOnceAndNonEmpty) {
  for (size_t i = 0; i < kFullCatalogue.count; ++i) {
    const CatalogueLanguage& language = kFullCatalogue.languages[i];
    EXPECT_EQ(language.textCount, kMessageKeyCount) << language.code;
    std::set<std::string> seen;
    for (size_t t = 0; t < language.textCount; ++t) {
      EXPECT_TRUE(seen.insert(language.texts[t].key).second)
          << language.code << " repeats " << language.texts[t].key;
    }
    for (const MessageKeyId& message : kMessageKeyIds) {
      EXPECT_EQ(seen.count(message.key), 1u) << language.code << " lacks " << message.key;
      EXPECT_FALSE(Text(language, message.key).empty()) << language.code << " " << message.key;
    }
  }
}

TEST(CatalogueDataTest, TranslationsKeepNamesMarksAndShapes) {
  const CatalogueLanguage* english = FullLanguage("en");
  ASSERT_NE(english, nullptr);
  for (size_t i = 0; i < kFullCatalogue.count; ++i) {
    const CatalogueLanguage& language = kFullCatalogue.languages[i];
    SCOPED_TRACE(language.code);
    for (const MessageKeyId& message : kMessageKeyIds) {
      SCOPED_TRACE(message.key);
      const std::string text = Text(language, message.key);
      const std::string reference = Text(*english, message.key);
      // The kit's file name is never translated or transliterated.
      EXPECT_EQ(CountOf(text, kKitName), CountOf(reference, kKitName));
      EXPECT_EQ(CountOf(text, "brvx"), CountOf(text, kKitName));
      EXPECT_EQ(CountOf(text, "bkd"), CountOf(text, kKitName));
      // "&" marks a mnemonic; only the folder label has one.
      const bool isFolderLabel = std::strcmp(message.key, "IDS_CHOOSEDIR_FOLDER") == 0;
      EXPECT_EQ(CountOf(text, "&"), isFolderLabel ? 1u : 0u);
      if (isFolderLabel) {
        size_t mark = text.find('&');
        ASSERT_LT(mark + 1, text.size());
        EXPECT_NE(text[mark + 1], ' ');
      }
      if (EndsWith(reference, "...")) {
        EXPECT_TRUE(EndsWith(text, "..."));
      }
    }
    EXPECT_EQ(Text(language, "IDS_TITLE_INSTALLER"), Text(language, "IDR_MAINFRAME"));
    EXPECT_EQ(Text(language, "IDS_WIZARD_BACK").rfind("< ", 0), 0u);
    EXPECT_TRUE(EndsWith(Text(language, "IDS_WIZARD_NEXT"), " >"));
    for (const char* placeholder : {"IDS_DEFPRODUCT", "IDS_DEFPROVIDER"}) {
      const std::string text = Text(language, placeholder);
      EXPECT_TRUE(text.size() > 2 && text.front() == '<' && text.back() == '>') << placeholder;
    }
  }
}

// The usage and the no-display message name the command line, which is the
// same in every language.
TEST(CatalogueDataTest, CommandLineTextsKeepTheOptions) {
  for (size_t i = 0; i < kFullCatalogue.count; ++i) {
    const CatalogueLanguage& language = kFullCatalogue.languages[i];
    SCOPED_TRACE(language.code);
    EXPECT_EQ(CountOf(Text(language, "IDS_ERROR_NODISPLAY"), "-S"), 1u);
    EXPECT_EQ(CountOf(Text(language, "IDS_USAGE_LANGUAGE"), "xx"), 1u);
    EXPECT_EQ(CountOf(Text(language, "IDS_USAGE_USECWD"), kKitName), 1u);
  }
}

}  // namespace
