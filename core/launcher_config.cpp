// LauncherConfig operations and the line parser shared by both systems.
#include "core/launcher_config.h"

#include "core/launcher_config_parser.h"

const char* SettingsWriteError::what() const noexcept {
  return code == kCannotOpen ? "settings file cannot be opened for writing"
                             : "settings file cannot be written";
}

bool AddValue(LauncherConfig& config, const U16String& key, const U16String& value) {
  LauncherConfigEntry* target = nullptr;
  for (LauncherConfigEntry& entry : config.entries) {
    if (!EqualNoCase(entry.key, key)) continue;
    for (const U16String& existing : entry.values) {
      if (EqualNoCase(existing, value)) return false;
    }
    target = &entry;
  }
  if (target == nullptr) {
    config.entries.push_back(LauncherConfigEntry{key, {}});
    target = &config.entries.back();
  }
  target->values.push_back(value);
  return true;
}

const std::vector<U16String>* FindValues(const LauncherConfig& config, const U16String& key) {
  for (const LauncherConfigEntry& entry : config.entries) {
    if (EqualNoCase(entry.key, key)) return &entry.values;
  }
  return nullptr;
}

void SetValues(LauncherConfig& config, const U16String& key, const std::vector<U16String>& values) {
  for (auto it = config.entries.begin(); it != config.entries.end(); ++it) {
    if (!EqualNoCase(it->key, key)) continue;
    if (!values.empty()) {
      it->values = values;
      return;
    }
    // The key moves to the end without values, so it writes no line.
    U16String spelling = it->key;
    config.entries.erase(it);
    config.entries.push_back(LauncherConfigEntry{spelling, {}});
    return;
  }
  config.entries.push_back(LauncherConfigEntry{key, values});
}

void LauncherConfigParser::Feed(const char16_t* units, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    char16_t unit = units[i];
    if (unit == u'\n') {
      EndLine();
    } else if (unit == 0) {
      // A zero is no text: kept, it would cut the key or value short when
      // written and when compared. Dropping it keeps everything around it.
    } else if (!inValue_ && unit == u'=') {
      inValue_ = true;
    } else {
      (inValue_ ? value_ : key_).Append(unit);
    }
  }
}

void LauncherConfigParser::Finish() {
  EndLine();
}

void LauncherConfigParser::EndLine() {
  if (!key_.IsEmpty() || !value_.IsEmpty()) AddValue(config_, key_, value_);
  key_.Clear();
  value_.Clear();
  inValue_ = false;
}
