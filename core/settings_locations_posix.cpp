// Settings locations on Linux: under the home directory and the per-user
// product directory (home + "/.brvx/"). Paths are joined as the launcher
// joins them, so the product directory's trailing slash stays doubled.

#include "core/settings_locations.h"

namespace {

U16String SettingsFile(const U16String& folder, const char16_t* launcherDirectory) {
  return folder + u"/" + launcherDirectory + u"/" + u"tarnlaunch.cfg";
}

}  // namespace

SettingsLocations SettingsLocationsUnderHome(const U16String& home) {
  U16String productDirectory = home + u"/" + u".brvx" + u"/";
  SettingsLocations locations;
  locations.perUserFile = SettingsFile(home, u".Tarn/tarnlaunch");
  locations.alternateFile = SettingsFile(home, u".Tarn/tarnlauncht");
  locations.allUsersFile = SettingsFile(productDirectory, u".Tarn/tarnlaunch");
  locations.defaultTemplateDirectory =
      productDirectory + u"QORV" + u"/" + u"qorvbr" + u"/" + u"tmplts" + u"/";
  return locations;
}

SettingsLocations CurrentSettingsLocations() {
  return SettingsLocationsUnderHome(HomeDirectory());
}
