// Where the Windows program finds the launcher's settings and proposes its
// default directory, and which directories its probe accepts.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/settings_locations.h"
#include "core/template_location.h"
#include "tests/support/test_support.h"

namespace {

TEST(WindowsSettingsLocations, PathsInTheTwoFolders) {
  SettingsLocations locations = SettingsLocationsUnderFolders(
      U16("C:\\Users\\u\\AppData\\Roaming\\"), U16("C:\\ProgramData\\"));
  // Joined as the launcher joins them: the folder's separator stays doubled.
  EXPECT_EQ(Utf8(locations.perUserFile),
            "C:\\Users\\u\\AppData\\Roaming\\\\Tarn\\TarnLaunch\\tarnlaunch.cfg");
  EXPECT_EQ(Utf8(locations.alternateFile),
            "C:\\Users\\u\\AppData\\Roaming\\\\Tarn\\TarnLauncht\\tarnlaunch.cfg");
  EXPECT_EQ(Utf8(locations.allUsersFile), "C:\\ProgramData\\\\Tarn\\TarnLaunch\\tarnlaunch.cfg");
  EXPECT_EQ(Utf8(locations.defaultTemplateDirectory),
            "C:\\Users\\u\\AppData\\Roaming\\Tarn\\tarn8\\tmplts\\");

  // A folder that nothing could name leaves its paths empty, so that nothing
  // is read or written in a made-up place ("\\Tarn\..." would be a server).
  SettingsLocations none = SettingsLocationsUnderFolders(U16String(), U16("C:\\ProgramData\\"));
  EXPECT_TRUE(none.perUserFile.IsEmpty());
  EXPECT_TRUE(none.alternateFile.IsEmpty());
  EXPECT_TRUE(none.defaultTemplateDirectory.IsEmpty());
  EXPECT_FALSE(none.allUsersFile.IsEmpty());
}

TEST(WindowsSettingsLocations, FoldersFromTheEnvironment) {
  struct Case {
    const char* appData;
    const char* allUsersProfile;
    const char* roaming;
    const char* programData;
  } cases[] = {
      {"C:\\Roaming", "C:\\All Users", "C:\\Roaming\\", "C:\\All Users\\Application Data\\"},
      {"D:\\r\\", "D:\\a/", "D:\\r\\", "D:\\a/Application Data\\"},
      {nullptr, nullptr, "", ""},
  };
  for (const Case& c : cases) {
    ScopedEnv appData("APPDATA", c.appData);
    ScopedEnv allUsers("ALLUSERSPROFILE", c.allUsersProfile);
    EXPECT_EQ(Utf8(KnownFolderFromEnvironment(false)), c.roaming);
    EXPECT_EQ(Utf8(KnownFolderFromEnvironment(true)), c.programData);
  }
}

// The known-folder call answers first; the environment is the last source.
TEST(WindowsSettingsLocations, TheSystemsFoldersComeBeforeTheEnvironment) {
  std::string roaming = Utf8(KnownFolder(false));
  std::string programData = Utf8(KnownFolder(true));
  for (const std::string& folder : {roaming, programData}) {
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\') << folder;
    EXPECT_NE(GetFileAttributesW(reinterpret_cast<const wchar_t*>(U16(folder).Data())) &
                  FILE_ATTRIBUTE_DIRECTORY,
              0u)
        << folder;
  }
  EXPECT_NE(roaming, programData);
  ScopedEnv appData("APPDATA", "C:\\elsewhere");
  ScopedEnv allUsers("ALLUSERSPROFILE", "C:\\elsewhere");
  EXPECT_EQ(Utf8(KnownFolder(false)), roaming);
  EXPECT_EQ(Utf8(KnownFolder(true)), programData);
  EXPECT_EQ(CurrentSettingsLocations().defaultTemplateDirectory,
            U16(roaming + "Tarn\\tarn8\\tmplts\\"));
}

// A test's own folders in place of the known ones, until cleared.
TEST(WindowsSettingsLocations, TheFoldersCanBeOverriddenUntilCleared) {
  const U16String roaming = U16("C:\\own\\roaming\\"), programData = U16("C:\\own\\data\\");
  SettingsLocations known = CurrentSettingsLocations();
  SettingsLocations expected = SettingsLocationsUnderFolders(roaming, programData);
  ASSERT_NE(known.perUserFile, expected.perUserFile);
  OverrideSettingsFolders(roaming, programData);
  SettingsLocations own = CurrentSettingsLocations();
  ClearSettingsFoldersOverride();
  SettingsLocations again = CurrentSettingsLocations();
  for (auto field :
       {&SettingsLocations::perUserFile, &SettingsLocations::alternateFile,
        &SettingsLocations::allUsersFile, &SettingsLocations::defaultTemplateDirectory}) {
    EXPECT_EQ(own.*field, expected.*field);
    EXPECT_EQ(again.*field, known.*field);
  }
}

int ProbeFilesIn(const std::string& directory) {
  int count = 0;
  for (const std::string& name : ListTree(directory)) count += name.rfind("Tarn", 0) == 0;
  return count;
}

// A directory on a network drive is never probed, whether or not it can
// be written; a local one is probed with a file that is removed again.
TEST(WindowsSettingsLocations, TheProbePassesOverNetworkPaths) {
  TempDir local;
  EXPECT_TRUE(ProbeWritable(U16(local.path())));
  EXPECT_EQ(ProbeFilesIn(local.path()), 0);
  EXPECT_FALSE(ProbeWritable(U16(local / "missing")));

  std::string remote;
  for (char letter = 'A'; letter <= 'Z' && remote.empty(); ++letter) {
    std::string root = std::string(1, letter) + ":\\";
    if (GetDriveTypeW(reinterpret_cast<const wchar_t*>(U16(root).Data())) == DRIVE_REMOTE)
      remote = root;
  }
  if (remote.empty()) GTEST_SKIP() << "no network drive on this machine";
  std::string folder = remote + "setup-probe-test";
  CreateDirectoryW(reinterpret_cast<const wchar_t*>(U16(folder).Data()), nullptr);
  WriteFileBytes(folder + "\\writable", "yes");
  EXPECT_EQ(ReadFileBytes(folder + "\\writable"), "yes");
  EXPECT_FALSE(ProbeWritable(U16(folder)));
  EXPECT_EQ(ProbeFilesIn(folder), 0);
  DeleteFileW(reinterpret_cast<const wchar_t*>(U16(folder + "\\writable").Data()));
  RemoveDirectoryW(reinterpret_cast<const wchar_t*>(U16(folder).Data()));
}

}  // namespace
