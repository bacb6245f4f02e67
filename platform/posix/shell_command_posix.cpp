// Shell commands: the caller's paths reach the tool unchanged.
#include <cstdlib>
#include <string>

#include "platform/shell_command.h"

NarrowString EscapeForDoubleQuotes(const NarrowString& text) {
  std::string out;
  out.reserve(text.Length() + 8);
  for (size_t i = 0; i < text.Length(); ++i) {
    char c = text[i];
    // Between double quotes the shell still interprets these four.
    if (c == '\\' || c == '"' || c == '$' || c == '`') out += '\\';
    out += c;
  }
  return NarrowString(out.data(), out.size());
}

int RunShellCommand(const NarrowString& command) {
  return std::system(command.Data());
}
