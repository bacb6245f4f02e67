// Choosing the template directory from the launcher's settings at startup
// and recording the directory used after a successful installation.
#pragma once

#include <vector>

#include "core/launcher_config.h"
#include "core/setup_context.h"
#include "platform/strings.h"

inline constexpr char16_t kTemplatesLocationKey[] = u"ConfigurationTemplatesLocation";

// The two settings files of one mode. The own file (alternate file in
// alternate mode, else per-user file) is the only one ever written; the other
// (per-user file in alternate mode, else all-users file) is only read.
struct LauncherSettingsSet {
  bool alternate = false;
  U16String ownPath;
  U16String otherPath;
  LauncherConfig own;
  LauncherConfig other;
};

// Reads both files of the mode afresh; a file that cannot be read is empty.
LauncherSettingsSet ReadLauncherSettingsSet(bool alternate);

// Equal when, with a separator appended to a non-empty directory that ends in
// none, they compare equal with letter case ignored.
bool SameDirectory(const U16String& a, const U16String& b);
// Removes every directory that repeats an earlier one; the kept ones are unchanged.
void DropDuplicateDirectories(std::vector<U16String>& directories);

// The configured template directories of the mode, own file first, with
// the system's separators and without duplicates.
std::vector<U16String> GetTemplateDirectories(bool alternate);
// True when a file can be made in the directory.
bool ProbeWritable(const U16String& directory);
// Fills templateLocations, variantFileExists and variantOnly and returns the
// first configured directory that can be written, else the default one.
U16String ProposeTemplateDirectory(SetupContext& context);
// Makes the list (without duplicates) the templates location values of the
// mode's own file. Raises SettingsWriteError when the file cannot be written.
void RecordTemplateDirectory(const std::vector<U16String>& directories, bool alternate);
// Records targetDirectory first in the settings after an installation.
// Never raises and reports nothing.
void RecordChosenDirectory(SetupContext& context);
