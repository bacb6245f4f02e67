// Turns decoded settings text into LauncherConfig entries. The platform
// readers feed it the text in pieces of any size; the line state carries over.
#pragma once

#include <cstddef>

#include "core/launcher_config.h"

class LauncherConfigParser {
 public:
  explicit LauncherConfigParser(LauncherConfig& config) : config_(config) {}

  void Feed(const char16_t* units, size_t count);
  // Takes the last line when the text does not end with a line feed.
  void Finish();

 private:
  void EndLine();

  LauncherConfig& config_;
  bool inValue_ = false;
  U16String key_;
  U16String value_;
};
