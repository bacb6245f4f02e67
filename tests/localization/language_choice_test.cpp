// Language choice of the Linux program under real locales. Each case runs in
// a child process, because the choice sets the process's locale and reads
// the environment.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <locale.h>
#include <sys/wait.h>
#include <unistd.h>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "localization/catalogue_data.h"
#include "localization/language_choice.h"
#include "localization/message_catalogue.h"

extern char** environ;

namespace {

struct ChoiceResult {
  int languageId = -1;
  std::string languageCode;
  std::string nextButton;     // the current language's "IDS_WIZARD_NEXT", UTF-8
  std::string processLocale;  // setlocale(LC_ALL, nullptr) afterwards
};

// Leaves LANG as the only locale variable.
void SetLocaleEnvironment(const char* lang) {
  std::vector<std::string> names;
  for (char** entry = environ; *entry; ++entry) {
    if (std::strncmp(*entry, "LC_", 3) == 0) {
      names.emplace_back(*entry, std::strcspn(*entry, "="));
    }
  }
  for (const std::string& name : names) unsetenv(name.c_str());
  unsetenv("LANGUAGE");
  setenv("LANG", lang, 1);
}

bool LocaleExists(const char* name) {
  locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
  if (!locale) return false;
  freelocale(locale);
  return true;
}

bool RunChoice(const char* lang, const char* option, ChoiceResult* result) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    close(fds[0]);
    SetLocaleEnvironment(lang);
    std::setlocale(LC_ALL, "C");  // a known start, whatever earlier tests did
    LanguageChoice choice = ChooseLanguage(option);
    std::string out = std::to_string(choice.languageId) + "\n" +
                      ToUtf8(choice.languageCode).Data() + "\n" +
                      ToUtf8(GetMessageText("IDS_WIZARD_NEXT")).Data() + "\n" +
                      std::setlocale(LC_ALL, nullptr) + "\n";
    ssize_t written = write(fds[1], out.data(), out.size());
    _exit(written == static_cast<ssize_t>(out.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  close(fds[0]);
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return false;
  }
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(out.substr(start, end - start));
  }
  if (lines.size() != 4) return false;
  result->languageId = std::atoi(lines[0].c_str());
  result->languageCode = lines[1];
  result->nextButton = lines[2];
  result->processLocale = lines[3];
  return true;
}

std::string NextButtonOf(const char* code) {
  for (size_t i = 0; i < kLinuxCatalogue.count; ++i) {
    if (std::strcmp(kLinuxCatalogue.languages[i].code, code) == 0) {
      return FindLanguageText(kLinuxCatalogue.languages[i], "IDS_WIZARD_NEXT");
    }
  }
  return "";
}

struct ChoiceCase {
  const char* lang;
  const char* option;  // nullptr: no language option
  int languageId;
  const char* languageCode;
  const char* processLocale;  // nullptr: not checked
};

const ChoiceCase kCases[] = {
    // From the environment.
    {"ru_RU.UTF-8", nullptr, 1, "ru", "ru_RU.UTF-8"},
    {"de_DE.UTF-8", nullptr, 7, "de", "de_DE.UTF-8"},
    {"en_US.UTF-8", nullptr, 3, "en", "en_US.UTF-8"},
    // "PO" and "fr" are no Linux languages: English.
    {"POSIX", nullptr, 3, "en", nullptr},
    {"fr_FR.UTF-8", nullptr, 3, "en", "fr_FR.UTF-8"},
    // The option wins and leaves the process's locale alone.
    {"ru_RU.UTF-8", "de", 7, "de", "C"},
    {"en_US.UTF-8", "ru", 1, "ru", "C"},
    {"POSIX", "kk", 10, "kk", "C"},
    // A refused option leaves the choice to the environment.
    {"ru_RU.UTF-8", "DE", 1, "ru", "ru_RU.UTF-8"},
    {"ru_RU.UTF-8", "fr", 1, "ru", "ru_RU.UTF-8"},
    {"de_DE.UTF-8", "deu", 7, "de", "de_DE.UTF-8"},
    {"de_DE.UTF-8", "", 7, "de", "de_DE.UTF-8"},
};

TEST(LanguageChoiceTest, OptionThenEnvironmentThenEnglish) {
  for (const ChoiceCase& c : kCases) {
    SCOPED_TRACE(std::string("LANG=") + c.lang + " option=" + (c.option ? c.option : "(none)"));
    ASSERT_TRUE(LocaleExists(c.lang)) << c.lang << " is not installed; run scripts/install-deps";
    ChoiceResult result;
    ASSERT_TRUE(RunChoice(c.lang, c.option, &result));
    EXPECT_EQ(result.languageId, c.languageId);
    EXPECT_EQ(result.languageCode, c.languageCode);
    if (c.processLocale) {
      EXPECT_EQ(result.processLocale, c.processLocale);
    }
    // The choice is also the catalogue's current language (decoded as UTF-8
    // only where the environment is UTF-8).
    if (std::strcmp(c.lang, "POSIX") != 0) {
      EXPECT_EQ(result.nextButton, NextButtonOf(c.languageCode));
    }
  }
}

TEST(LanguageChoiceTest, MissingLocaleGivesEnglish) {
  const char* missing = "uk_UA.UTF-8";
  if (LocaleExists(missing)) missing = "xx_XX.UTF-8";
  ASSERT_FALSE(LocaleExists(missing)) << missing;
  ChoiceResult result;
  ASSERT_TRUE(RunChoice(missing, nullptr, &result));
  EXPECT_EQ(result.languageId, 3);
  EXPECT_EQ(result.languageCode, "en");
  EXPECT_EQ(result.nextButton, "Next >");
  EXPECT_EQ(result.processLocale, "C");
}

}  // namespace

#endif  // _WIN32
