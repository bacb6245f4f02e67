#include "tests/support/settings_description.h"

#include <cstdio>

namespace {

std::string Escape(const U16String& text) {
  std::string out;
  for (size_t i = 0; i < text.Length(); ++i) {
    char16_t unit = text[i];
    size_t run = 1;
    while (i + run < text.Length() && text[i + run] == unit) ++run;
    if (run > 8 && unit >= 0x20 && unit < 0x7F) {
      out += static_cast<char>(unit) + std::string("*") + std::to_string(run);
      i += run - 1;
    } else if (unit >= 0x20 && unit < 0x7F) {
      out += static_cast<char>(unit);
    } else {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(unit));
      out += buffer;
    }
  }
  return out;
}

}  // namespace

std::string DescribeSettings(const LauncherConfig& config) {
  std::string out;
  for (const LauncherConfigEntry& entry : config.entries) {
    out += "[" + Escape(entry.key) + "]";
    for (const U16String& value : entry.values) out += " <" + Escape(value) + ">";
    out += "\n";
  }
  return out;
}
