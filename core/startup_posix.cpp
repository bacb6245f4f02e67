// The Linux command line and the kit's place.
#include <unistd.h>

#include <cstring>
#include <vector>

#include "core/startup.h"

CommandLineOptions ParseCommandLine(int argumentCount, char** arguments) {
  CommandLineOptions options;
  for (int i = 1; i < argumentCount; ++i) {
    if (std::strcmp(arguments[i], "--help") == 0) options.showHelp = true;
  }
  int first = 1;
  if (argumentCount > 1 && std::strcmp(arguments[1], "usecwd") == 0) {
    options.useWorkingDirectory = true;
    first = 2;
  }
  for (int i = first; i < argumentCount; ++i) {
    const char* argument = arguments[i];
    if (argument[0] != '-' && argument[0] != '/') continue;
    char option = argument[1];
    if (option == 'S' || option == 's') {
      options.silentMode = true;
    } else if (option == 'L' || option == 'l') {
      options.hasLanguage = true;
      options.languageCode = NarrowString(argument + 2);
      break;
    }
  }
  return options;
}

namespace {

// The program's own path; empty when the link cannot be read whole.
NarrowString ExecutablePath() {
  std::vector<char> buffer(260);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return NarrowString();
    if (static_cast<size_t>(n) < buffer.size()) return NarrowString(buffer.data(), n);
    if (buffer.size() >= (1u << 20)) return NarrowString();
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

U16String LocateKit(bool useWorkingDirectory) {
  NarrowString directory;
  if (useWorkingDirectory) {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (buffer.size() >= (1u << 20)) return U16String();
      buffer.resize(buffer.size() * 2);
    }
    directory = NarrowString(buffer.data());
  } else {
    NarrowString executable = ExecutablePath();
    size_t slash = executable.FindLast('/');
    if (slash == NarrowString::npos) return U16String();
    directory = executable.Substring(0, slash);
  }
  directory.Append("/brvx.bkd");
  return FromNarrow(directory);
}
