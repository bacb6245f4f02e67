// mkkit on Linux: arguments and output in the locale's encoding.
#include <time.h>

#include <clocale>
#include <ctime>

#include "tools/mkkit/mkkit_command.h"

void WriteText(FILE* stream, const U16String& text) {
  NarrowString narrow = ToNarrow(text);
  std::fwrite(narrow.Data(), 1, narrow.Length(), stream);
}

U16String UtcTimeText(FileTime time) {
  int64_t seconds = static_cast<int64_t>(time / 10000000) - 11644473600;
  time_t value = static_cast<time_t>(seconds);
  struct tm parts;
  char text[64];
  if (gmtime_r(&value, &parts) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts) == 0)
    return FromNarrow("?");
  return FromNarrow(text);
}

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::vector<U16String> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(FromNarrow(argv[i]));
  return RunMkkit(arguments);
}
