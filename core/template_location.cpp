// Template directories from and into the launcher's settings files.
#include "core/template_location.h"

#include "core/settings_locations.h"
#include "platform/fs_helpers.h"
#include "platform/paths.h"

namespace {

U16String CompareForm(const U16String& directory) {
  U16String form = directory;
  EnsureTrailingSeparator(form);
  return form;
}

void WriteOwnFile(const U16String& path, const LauncherConfig& config) {
  if (!PathExists(path)) MakeDirectoryPath(ParentDirectory(path));
  try {
    WriteLauncherConfig(path, config);
  } catch (const SettingsWriteError&) {
    // The directory may have gone in between: make it again and try once more.
    MakeDirectoryPath(ParentDirectory(path));
    WriteLauncherConfig(path, config);
  }
}

}  // namespace

LauncherSettingsSet ReadLauncherSettingsSet(bool alternate) {
  SettingsLocations locations = CurrentSettingsLocations();
  LauncherSettingsSet set;
  set.alternate = alternate;
  set.ownPath = alternate ? locations.alternateFile : locations.perUserFile;
  set.otherPath = alternate ? locations.perUserFile : locations.allUsersFile;
  // Reading reports nothing; a file that fails part-way keeps what was read.
  try {
    ReadLauncherConfig(set.otherPath, set.other);
  } catch (...) {
  }
  try {
    ReadLauncherConfig(set.ownPath, set.own);
  } catch (...) {
  }
  return set;
}

bool SameDirectory(const U16String& a, const U16String& b) {
  return EqualNoCase(CompareForm(a), CompareForm(b));
}

void DropDuplicateDirectories(std::vector<U16String>& directories) {
  std::vector<U16String> kept;
  kept.reserve(directories.size());
  for (const U16String& directory : directories) {
    bool repeated = false;
    for (const U16String& earlier : kept) {
      if (SameDirectory(earlier, directory)) {
        repeated = true;
        break;
      }
    }
    if (!repeated) kept.push_back(directory);
  }
  directories.swap(kept);
}

std::vector<U16String> GetTemplateDirectories(bool alternate) {
  LauncherSettingsSet set = ReadLauncherSettingsSet(alternate);
  std::vector<U16String> directories;
  for (const LauncherConfig* config : {&set.own, &set.other}) {
    const std::vector<U16String>* values = FindValues(*config, kTemplatesLocationKey);
    if (values == nullptr) continue;
    for (const U16String& value : *values) {
      bool collected = false;
      for (const U16String& earlier : directories) {
        if (EqualNoCase(earlier, value)) {
          collected = true;
          break;
        }
      }
      if (!collected) directories.push_back(value);
    }
  }
  for (U16String& directory : directories) directory.ReplaceAll(kForeignSeparator, kSeparator);
  DropDuplicateDirectories(directories);
  return directories;
}

bool ProbeWritable(const U16String& directory) {
  if (IsNetworkPath(directory)) return false;
  // The probe file is made exclusively inside the directory under test, never
  // anywhere else, so success says exactly that this directory takes files.
  U16String probe;
  if (CreateTempFileIn(directory, U16String(u"Tarn"), &probe) != 0) return false;
  DeleteFilePath(probe);
  return true;
}

U16String ProposeTemplateDirectory(SetupContext& context) {
  SettingsLocations locations = CurrentSettingsLocations();
  context.variantFileExists = PathExists(locations.alternateFile);
  context.variantOnly = false;
  context.templateLocations.clear();
  if (PathExists(locations.perUserFile)) {
    context.templateLocations = GetTemplateDirectories(false);
  } else if (context.variantFileExists) {
    context.templateLocations = GetTemplateDirectories(true);
    context.variantOnly = !context.templateLocations.empty();
  }
  for (const U16String& directory : context.templateLocations) {
    if (ProbeWritable(directory)) return directory;
  }
  return locations.defaultTemplateDirectory;
}

void RecordTemplateDirectory(const std::vector<U16String>& directories, bool alternate) {
  LauncherSettingsSet set = ReadLauncherSettingsSet(alternate);
  std::vector<U16String> list = directories;
  DropDuplicateDirectories(list);
  SetValues(set.own, kTemplatesLocationKey, list);
  WriteOwnFile(set.ownPath, set.own);
}

void RecordChosenDirectory(SetupContext& context) {
  try {
    U16String chosen = context.targetDirectory;
    if (EndsWithAnySeparator(chosen)) chosen.Truncate(chosen.Length() - 1);
    context.templateLocations.insert(context.templateLocations.begin(), chosen);
    if (!context.variantOnly) RecordTemplateDirectory(context.templateLocations, false);
    if (context.variantFileExists) RecordTemplateDirectory(context.templateLocations, true);
  } catch (...) {
    // Recording is best effort: the installation has succeeded either way.
  }
}
