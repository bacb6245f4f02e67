// The command line with the language choice. Input: one byte that picks the
// environment's LANG (from a few fixed names, or the first argument itself),
// then the arguments separated by zero bytes. ParseCommandLine's options
// must be made of the arguments, and ChooseLanguage must end with a
// catalogue language whose code is the one it reports.
//
// ChooseLanguage sets the process locale from the environment; it is put
// back after each input, so inputs do not depend on one another.
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/startup.h"
#include "localization/language_choice.h"
#include "localization/message_catalogue.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char* const kEnvironmentNames[] = {
    nullptr, "C", "POSIX", "en_US.UTF-8", "ru_RU.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "xx_YY",
};
constexpr size_t kNameCount = sizeof kEnvironmentNames / sizeof kEnvironmentNames[0];

void CheckOptions(const std::vector<std::string>& words, const CommandLineOptions& options) {
  FUZZ_CHECK(options.useWorkingDirectory == (words.size() > 1 && words[1] == "usecwd"));
  if (!options.hasLanguage) {
    FUZZ_CHECK(options.languageCode.IsEmpty());
    return;
  }
  // The code is the rest of one of the arguments after "-L" or "/L".
  bool found = false;
  for (size_t i = 1; i < words.size() && !found; ++i) {
    const std::string& w = words[i];
    found = w.size() >= 2 && (w[0] == '-' || w[0] == '/') && (w[1] == 'L' || w[1] == 'l') &&
            w.compare(2, std::string::npos, options.languageCode.Data()) == 0;
  }
  FUZZ_CHECK(found);
}

void CheckChoice(const CommandLineOptions& options, const LanguageChoice& choice) {
  FUZZ_CHECK(choice.languageId != 0);
  FUZZ_CHECK(CurrentLanguage() == choice.languageId);
  NarrowString code = ToUtf8(choice.languageCode);
  FUZZ_CHECK(code.Length() == 2);
  FUZZ_CHECK(FindLanguageByCode(code.Data()) == choice.languageId);
  // A code that the catalogue knows always wins over the environment.
  if (options.hasLanguage && FindLanguageByCode(options.languageCode.Data()) != 0)
    FUZZ_CHECK(code == options.languageCode);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LC_MESSAGES", "LC_COLLATE", "LC_NUMERIC",
                           "LC_TIME", "LC_MONETARY", "LANGUAGE"})
    unsetenv(name);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::vector<std::string> words{"setup"};
  std::string current;
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0) {
      words.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  words.push_back(current);

  size_t pick = data[0] % (kNameCount + 1);
  if (pick == kNameCount) {
    setenv("LANG", words[1].c_str(), 1);
    words.erase(words.begin() + 1);
  } else if (kEnvironmentNames[pick] == nullptr) {
    unsetenv("LANG");
  } else {
    setenv("LANG", kEnvironmentNames[pick], 1);
  }

  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  CommandLineOptions options = ParseCommandLine(static_cast<int>(words.size()), argv.data());
  CheckOptions(words, options);

  std::string before = std::setlocale(LC_ALL, nullptr);
  LanguageChoice choice =
      ChooseLanguage(options.hasLanguage ? options.languageCode.Data() : nullptr);
  CheckChoice(options, choice);
  std::setlocale(LC_ALL, before.c_str());
  return 0;
}
