// The launcher's settings file "tarnlaunch.cfg": key=value lines, parsed into
// ordered keys with ordered values. The launcher reads these files too, so the
// byte-level form is fixed: one line per value, key, the first "=", value.
#pragma once

#include <exception>
#include <vector>

#include "platform/strings.h"

struct LauncherConfigEntry {
  U16String key;  // spelled as on its first line
  std::vector<U16String> values;
};

// Keys are unique and values unique per key, letter case ignored (kept by
// reading and AddValue; SetValues stores what it is given).
struct LauncherConfig {
  std::vector<LauncherConfigEntry> entries;
};

// Raised by WriteLauncherConfig; the callers of the settings writer catch it.
class SettingsWriteError : public std::exception {
 public:
  static constexpr int kCannotOpen = 1;
  static constexpr int kCannotWrite = 2;

  explicit SettingsWriteError(int errorCode) : code(errorCode) {}
  const char* what() const noexcept override;

  int code;
};

// Adds every key=value line of the file. A file that cannot be opened or read
// adds nothing; nothing is reported.
void ReadLauncherConfig(const U16String& path, LauncherConfig& config);
// Replaces the file whole with the config (a new file renamed over the old
// one; a link stays a link, the old permission bits stay). SettingsWriteError
// code 1: the file may not be written or the new file cannot be made; code
// 2: the contents could not be stored. Either way the old file is unchanged.
void WriteLauncherConfig(const U16String& path, const LauncherConfig& config);

// False when the key already has this value (case ignored).
bool AddValue(LauncherConfig& config, const U16String& key, const U16String& value);
// Values of the key (case ignored), or nullptr when the key is absent.
const std::vector<U16String>* FindValues(const LauncherConfig& config, const U16String& key);
// The key's values become exactly these. An empty list removes the key's
// lines; an absent key is appended after all others.
void SetValues(LauncherConfig& config, const U16String& key, const std::vector<U16String>& values);
