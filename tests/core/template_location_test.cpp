// The Linux forms of the settings locations and of recording: paths under
// the home directory, POSIX permissions.
#ifndef _WIN32

#include "core/template_location.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/settings_locations.h"
#include "tests/support/test_support.h"

namespace {

const std::string kKey = "ConfigurationTemplatesLocation";

std::string Lines(const std::vector<std::string>& directories) {
  std::string out;
  for (const std::string& directory : directories) out += kKey + "=" + directory + "\n";
  return out;
}

std::vector<std::string> Utf8All(const std::vector<U16String>& texts) {
  std::vector<std::string> out;
  for (const U16String& text : texts) out.push_back(Utf8(text));
  return out;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return text;
}

// Names under directory that start with "Tarn" (left-over probe files).
int ProbeFilesIn(const std::string& directory) {
  int count = 0;
  if (DIR* dir = opendir(directory.c_str())) {
    while (dirent* entry = readdir(dir)) count += std::string(entry->d_name).rfind("Tarn", 0) == 0;
    closedir(dir);
  }
  return count;
}

// A run against a home directory of its own: the three settings files lie
// under it and the template directories beside it.
class TemplateLocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDirs(dirs_ / "a");
    MakeDirs(dirs_ / "b");
    MakeDirs(dirs_ / "c");
    a_ = dirs_ / "a";
    b_ = dirs_ / "b";
    c_ = dirs_ / "c";
  }

  void Write(const std::string& file, const std::string& contents) {
    MakeDirs(file.substr(0, file.rfind('/')));
    WriteFileBytes(file, contents);
  }
  // The proposal followed by an installation into target (the proposal when empty).
  std::string Install(const std::string& target = "") {
    U16String proposed = ProposeTemplateDirectory(context_);
    context_.targetDirectory = target.empty() ? proposed : U16(target);
    RecordChosenDirectory(context_);
    return Utf8(proposed);
  }

  ScopedEnv locale_{"LC_ALL", "C.UTF-8"};
  TempDir home_;
  TempDir dirs_;
  ScopedEnv homeVariable_{"HOME", home_.path().c_str()};
  const std::string perUser_ = home_ / ".Tarn/tarnlaunch/tarnlaunch.cfg";
  const std::string alternate_ = home_ / ".Tarn/tarnlauncht/tarnlaunch.cfg";
  const std::string allUsers_ = home_ / ".brvx/.Tarn/tarnlaunch/tarnlaunch.cfg";
  const std::string default_ = home_ / ".brvx/QORV/qorvbr/tmplts/";
  std::string a_, b_, c_;
  SetupContext context_;
};

TEST_F(TemplateLocationTest, PathsAreBuiltUnderTheHomeDirectory) {
  SettingsLocations locations = CurrentSettingsLocations();
  EXPECT_EQ(Utf8(locations.perUserFile), perUser_);
  EXPECT_EQ(Utf8(locations.alternateFile), alternate_);
  EXPECT_EQ(Utf8(locations.allUsersFile), home_ / ".brvx//.Tarn/tarnlaunch/tarnlaunch.cfg");
  EXPECT_EQ(Utf8(locations.defaultTemplateDirectory), default_);
}

TEST_F(TemplateLocationTest, WithoutAHomeDirectoryEveryPathStartsAtTheRoot) {
  const char* expected[] = {"/.Tarn/tarnlaunch/tarnlaunch.cfg", "/.Tarn/tarnlauncht/tarnlaunch.cfg",
                            "/.brvx//.Tarn/tarnlaunch/tarnlaunch.cfg",
                            "/.brvx/QORV/qorvbr/tmplts/"};
  SettingsLocations built = SettingsLocationsUnderHome(U16String());
  ScopedEnv noHome("HOME", "");
  ASSERT_TRUE(HomeDirectory().IsEmpty());
  SettingsLocations current = CurrentSettingsLocations();
  for (const SettingsLocations* locations : {&built, &current}) {
    EXPECT_EQ(Utf8(locations->perUserFile), expected[0]);
    EXPECT_EQ(Utf8(locations->alternateFile), expected[1]);
    EXPECT_EQ(Utf8(locations->allUsersFile), expected[2]);
    EXPECT_EQ(Utf8(locations->defaultTemplateDirectory), expected[3]);
  }
}

TEST_F(TemplateLocationTest, NeitherFileExists) {
  EXPECT_EQ(Install(), default_);
  EXPECT_FALSE(context_.variantFileExists);
  EXPECT_FALSE(context_.variantOnly);
  std::string recorded = default_.substr(0, default_.size() - 1);
  EXPECT_EQ(Utf8All(context_.templateLocations), std::vector<std::string>{recorded});
  EXPECT_EQ(ReadFileBytes(perUser_), Lines({recorded}));
  EXPECT_FALSE(FileExists(alternate_));
}

TEST_F(TemplateLocationTest, AllUsersFileIsNotConsultedWithoutThePerUserFile) {
  Write(allUsers_, Lines({a_}));
  EXPECT_EQ(Install(b_), default_);
  EXPECT_EQ(ReadFileBytes(perUser_), Lines({b_}));
  EXPECT_EQ(ReadFileBytes(allUsers_), Lines({a_}));
}

TEST_F(TemplateLocationTest, OnlyTheAlternateFileListsDirectories) {
  Write(alternate_, "Other=1\n" + Lines({a_, b_}));
  EXPECT_EQ(Install(b_ + "/"), a_);
  EXPECT_TRUE(context_.variantFileExists);
  EXPECT_TRUE(context_.variantOnly);
  EXPECT_EQ(ReadFileBytes(alternate_), "Other=1\n" + Lines({b_, a_}));
  EXPECT_FALSE(FileExists(perUser_));
  EXPECT_FALSE(FileExists(home_ / ".Tarn/tarnlaunch"));
}

TEST_F(TemplateLocationTest, OnlyTheAlternateFileWithoutDirectories) {
  Write(alternate_, "Other=1\n");
  EXPECT_EQ(Install(a_), default_);
  EXPECT_TRUE(context_.variantFileExists);
  EXPECT_FALSE(context_.variantOnly);
  EXPECT_EQ(ReadFileBytes(perUser_), Lines({a_}));
  EXPECT_EQ(ReadFileBytes(alternate_), "Other=1\n" + Lines({a_}));
}

// Per-user and all-users lists are merged in that order; the alternate file's
// own list is not read in this mode but is replaced by the same list.
TEST_F(TemplateLocationTest, BothOwnFilesExist) {
  Write(perUser_, "InstallComponents=x\n" + Lines({a_}) + "CommonInfoBases=y\n");
  Write(allUsers_, Lines({b_, a_}));
  Write(alternate_, Lines({"/elsewhere"}) + "Other=1\n");
  EXPECT_EQ(Install(c_), a_);
  EXPECT_EQ(Utf8All(context_.templateLocations), (std::vector<std::string>{c_, a_, b_}));
  EXPECT_EQ(ReadFileBytes(perUser_),
            "InstallComponents=x\n" + Lines({c_, a_, b_}) + "CommonInfoBases=y\n");
  EXPECT_EQ(ReadFileBytes(alternate_), Lines({c_, a_, b_}) + "Other=1\n");
  EXPECT_EQ(ReadFileBytes(allUsers_), Lines({b_, a_}));
}

TEST_F(TemplateLocationTest, SameDirectoryWithTrailingSlashAndOtherCaseCountsOnce) {
  Write(perUser_, Lines({a_ + "/", Upper(a_), b_}));
  EXPECT_EQ(Install(), a_ + "/");
  EXPECT_EQ(ReadFileBytes(perUser_), Lines({a_, b_}));
}

TEST_F(TemplateLocationTest, DirectoryListedFurtherDownMovesToTheFront) {
  Write(perUser_, Lines({a_, b_, c_}));
  EXPECT_EQ(Install(c_ + "/"), a_);
  EXPECT_EQ(ReadFileBytes(perUser_), Lines({c_, a_, b_}));
}

TEST_F(TemplateLocationTest, BackslashesBecomeSlashes) {
  std::string backslashed = b_;
  for (char& ch : backslashed) ch = ch == '/' ? '\\' : ch;
  std::string sameWithSlash = b_ + "\\";
  Write(perUser_, Lines({backslashed, sameWithSlash}));
  EXPECT_EQ(Utf8All(GetTemplateDirectories(false)), (std::vector<std::string>{b_}));
  EXPECT_EQ(Install(), b_);
}

// Running as root, permission bits do not stop writing; a missing directory
// and a path under a regular file cannot be written by anyone.
TEST_F(TemplateLocationTest, DirectoryThatCannotBeWrittenIsPassedOver) {
  WriteFileBytes(dirs_ / "file", "x");
  std::vector<std::string> listed = {dirs_ / "missing", dirs_ / "file/sub", dirs_ / "file"};
  if (geteuid() != 0) {
    MakeDirs(dirs_ / "readonly");
    chmod((dirs_ / "readonly").c_str(), 0555);
    listed.push_back(dirs_ / "readonly");
  }
  for (const std::string& directory : listed) {
    SCOPED_TRACE(directory);
    EXPECT_FALSE(ProbeWritable(U16(directory)));
  }
  listed.push_back(b_);
  listed.push_back(a_);
  Write(perUser_, Lines(listed));
  EXPECT_EQ(Install(), b_);
  EXPECT_EQ(ProbeFilesIn(b_), 0);
  EXPECT_EQ(ProbeFilesIn(a_), 0);
  EXPECT_FALSE(FileExists(dirs_ / "missing"));
}

TEST_F(TemplateLocationTest, OtherKeysKeepTheirOrderAndTheMissingKeyIsAppended) {
  const std::string others = "InstallComponents=x\nCommonCfgLocation=y\nDistributiveLocation=z\n";
  Write(perUser_, others);
  EXPECT_EQ(Install(a_), default_);
  EXPECT_EQ(ReadFileBytes(perUser_), others + Lines({a_}));
}

TEST_F(TemplateLocationTest, RecordingDropsDuplicatesButKeepsSeparators) {
  RecordTemplateDirectory({U16("/x/"), U16("/X"), U16("C:\\t\\"), U16("c:\\T\\")}, false);
  EXPECT_EQ(ReadFileBytes(perUser_), Lines({"/x/", "C:\\t\\"}));
}

// A settings file that cannot be written: the error leaves the recording
// step silently and the alternate file is left as it was.
TEST_F(TemplateLocationTest, UnwritableSettingsFileChangesNothingElse) {
  MakeDirs(perUser_);  // a directory where the file should be
  Write(alternate_, Lines({a_}));
  EXPECT_EQ(Install(b_), default_);
  EXPECT_TRUE(context_.variantFileExists);
  EXPECT_EQ(ReadFileBytes(alternate_), Lines({a_}));
  try {
    RecordTemplateDirectory({U16(a_)}, false);
    ADD_FAILURE() << "no error raised";
  } catch (const SettingsWriteError& error) {
    EXPECT_EQ(error.code, 1);
  }
}

TEST_F(TemplateLocationTest, SettingsDirectoryThatCannotBeMadeIsSilent) {
  WriteFileBytes(home_ / ".Tarn", "not a directory");
  EXPECT_EQ(Install(a_), default_);
  EXPECT_EQ(ReadFileBytes(home_ / ".Tarn"), "not a directory");
}

}  // namespace

#endif  // _WIN32
