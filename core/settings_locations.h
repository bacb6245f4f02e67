// Where the launcher's settings files lie and where templates go by default.
// Each system builds these paths in its own small file.
#pragma once

#include "platform/strings.h"

struct SettingsLocations {
  U16String perUserFile;
  U16String alternateFile;
  U16String allUsersFile;
  U16String defaultTemplateDirectory;  // ends with a separator
};

// The locations for the current user.
SettingsLocations CurrentSettingsLocations();

#ifndef _WIN32
// The locations under a home directory; an empty home puts them all at the
// file-system root.
SettingsLocations SettingsLocationsUnderHome(const U16String& home);
#endif
