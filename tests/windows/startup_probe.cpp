// Reports what a fresh process of the Windows program settles at startup:
// its command line read as the program reads it, the language chosen from
// it or from the system (with the user's language identifier it started
// from), a text in that language, and the kit's place beside the program.
// Tests run it with a user language of their choice (under Wine: LANG) and
// from folders of their choice.
#include <windows.h>

#include <cstdio>

#include "core/startup.h"
#include "localization/language_choice.h"
#include "localization/message_catalogue.h"

int wmain(int argc, wchar_t** argv) {
  CommandLineOptions options = ParseCommandLine(argc, argv);
  LanguageChoice choice =
      ChooseLanguage(options.hasLanguage ? options.languageCode.Data() : nullptr);
  std::printf("silent=%d user=0x%04X language=%d code=%s next=%s\nkit=%s\n",
              options.silentMode ? 1 : 0, GetUserDefaultLangID(), choice.languageId,
              ToUtf8(choice.languageCode).Data(), ToUtf8(GetMessageText("IDS_WIZARD_NEXT")).Data(),
              ToUtf8(LocateKit(false)).Data());
  return 0;
}
