// A startup reporter that keeps the message keys of the failures it is
// given, in order, for the tests to compare.
#pragma once

#include <string>
#include <vector>

#include "core/startup.h"

struct RecordingReporter : StartupReporter {
  std::vector<std::string> keys;
  void ReportStartupError(const char* key) override { keys.push_back(key); }
  // The first key, or "" when nothing was reported: for failure messages.
  std::string First() const { return keys.empty() ? std::string() : keys.front(); }
};
