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
#else
// The program-data folder (allUsers) or the roaming application-data folder,
// ending with a separator: from the known-folder calls, else from the
// environment ("ALLUSERSPROFILE" or "APPDATA"). Empty when no source gives one.
U16String KnownFolder(bool allUsers);
// The environment's form of that folder, empty when the variable is unset
// or empty.
U16String KnownFolderFromEnvironment(bool allUsers);
// The locations in the two folders (each ending with a separator). An empty
// folder leaves the paths in it empty: nothing is read or written there.
SettingsLocations SettingsLocationsUnderFolders(const U16String& roamingAppData,
                                                const U16String& programData);
// Makes CurrentSettingsLocations use these two folders (each ending with a
// separator) in place of the known folders, for the whole process, until
// cleared. The known folders follow no variable: this is how a test keeps
// the user's own settings out of its way.
void OverrideSettingsFolders(const U16String& roamingAppData, const U16String& programData);
void ClearSettingsFoldersOverride();
#endif
