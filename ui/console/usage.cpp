#include "ui/console/usage.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/run_outcome.h"
#include "localization/catalogue_data.h"
#include "localization/message_catalogue.h"
#include "ui/console/console_text.h"

namespace {

// The options as they are typed, which no language changes, and the
// description of each.
struct OptionLine {
  const char16_t* syntax;
  const char* key;
  bool listsLanguages;
};
constexpr OptionLine kOptions[] = {
    {u"usecwd", "IDS_USAGE_USECWD", false},
    {u"-S, /S", "IDS_USAGE_SILENT", false},
    {u"-Lxx, /Lxx", "IDS_USAGE_LANGUAGE", true},
    {u"--help", "IDS_USAGE_HELP", false},
};

struct StatusLine {
  RunOutcome outcome;
  const char* key;
};
constexpr StatusLine kStatuses[] = {
    {RunOutcome::Installed, "IDS_EXIT_INSTALLED"},
    {RunOutcome::NotStarted, "IDS_EXIT_NOTSTARTED"},
    {RunOutcome::Failed, "IDS_EXIT_FAILED"},
    {RunOutcome::Cancelled, "IDS_EXIT_CANCELLED"},
};

U16String ProgramName(const char* argument) {
  if (!argument || !*argument) return U16String(u"setup");
  const char* slash = std::strrchr(argument, '/');
  return FromNarrow(slash ? slash + 1 : argument);
}

// The codes that "-L" takes, in the order the program searches them.
U16String LanguageCodes() {
  U16String codes;
  for (size_t i = 0; i < kLinuxCatalogue.count; ++i) {
    codes += u" ";
    codes += FromNarrow(kLinuxCatalogue.languages[i].code);
  }
  return codes;
}

U16String Padded(const U16String& text, size_t width) {
  size_t used = DisplayWidth(text);
  return used >= width ? text + u" " : text + U16String(width - used, u' ');
}

}  // namespace

U16String UsageText(const char* programName) {
  U16String text = GetMessageText("IDS_USAGE");
  text += u" ";
  text += ProgramName(programName);
  text += u" [usecwd] [-S] [-Lxx]\n";

  size_t column = 0;
  for (const OptionLine& option : kOptions)
    column = std::max(column, DisplayWidth(U16String(option.syntax)));
  for (const OptionLine& option : kOptions) {
    text += u"  ";
    text += Padded(U16String(option.syntax), column + 2);
    text += GetMessageText(option.key);
    if (option.listsLanguages) text += LanguageCodes();
    text += u"\n";
  }

  text += GetMessageText("IDS_USAGE_EXITSTATUS");
  text += u"\n";
  for (const StatusLine& status : kStatuses) {
    text += u"  ";
    text += FromNarrow(std::to_string(ExitStatusOf(status.outcome)).c_str());
    text += u"  ";
    text += GetMessageText(status.key);
    text += u"\n";
  }
  return text;
}
