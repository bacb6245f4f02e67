// The launcher's settings folders of one Windows test: the known folders of
// Windows follow no variable, so the core is pointed at folders under the
// test's own root, and the user's own settings files are never read or
// written.
#pragma once

#ifdef _WIN32

#include <string>

#include "core/settings_locations.h"
#include "tests/support/test_support.h"

class OwnSettingsFolders {
 public:
  explicit OwnSettingsFolders(const std::string& root) {
    MakeDirs(root + "\\roaming");
    MakeDirs(root + "\\programdata");
    OverrideSettingsFolders(U16(root + "\\roaming\\"), U16(root + "\\programdata\\"));
  }
  ~OwnSettingsFolders() { ClearSettingsFoldersOverride(); }
  OwnSettingsFolders(const OwnSettingsFolders&) = delete;
  OwnSettingsFolders& operator=(const OwnSettingsFolders&) = delete;
  std::string perUser() const { return Utf8(CurrentSettingsLocations().perUserFile); }
};

#endif
