// Linux lookup: the texts are compiled in as UTF-8 and decoded with the
// environment's locale encoding, like every other text entering the core.
#include "localization/catalogue_data.h"
#include "localization/message_catalogue.h"

namespace {
const MessageCatalogue& ProgramCatalogue() {
  static const MessageCatalogue catalogue(kLinuxCatalogue);
  return catalogue;
}
}  // namespace

U16String GetMessageText(const char* key) {
  const char* text = ProgramCatalogue().FindText(CurrentLanguage(), key);
  return text ? FromNarrow(text) : U16String();
}

int FindLanguageByCode(const char* code) {
  return ProgramCatalogue().FindLanguageByCode(code);
}
