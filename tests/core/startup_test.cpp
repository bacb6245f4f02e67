// The startup's free-space rule and clean-up of the proposed directory on
// both systems; the Linux command line, kit locations and default directory.
#include "core/startup.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings_locations.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/test_support.h"
#include "tools/mkkit/kit_writer.h"

#ifndef _WIN32
namespace {

CommandLineOptions Parse(std::vector<std::string> words) {
  std::vector<char*> argv;
  static std::string program = "setup";
  argv.push_back(program.data());
  for (std::string& w : words) argv.push_back(w.data());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(CommandLine, OptionsAndTheScanThatStopsAtTheLanguage) {
  struct Case {
    std::vector<std::string> words;
    bool cwd, silent, hasLanguage;
    const char* code;
    bool help = false;
  } cases[] = {
      {{}, false, false, false, ""},
      {{"usecwd"}, true, false, false, ""},
      {{"usecwd", "-S"}, true, true, false, ""},
      {{"-S", "usecwd"}, false, true, false, ""},
      {{"-S", "-Lru"}, false, true, true, "ru"},
      {{"-Lru", "-S"}, false, false, true, "ru"},
      {{"-Lxx", "-S"}, false, false, true, "xx"},
      {{"/s", "/lde"}, false, true, true, "de"},
      {{"-", "x", "--S"}, false, false, false, ""},
      {{"usecwdx", "-s"}, false, true, false, ""},
      // "--help" is seen past the language option too; near misses are not it.
      {{"--help"}, false, false, false, "", true},
      {{"usecwd", "-Lru", "--help"}, true, false, true, "ru", true},
      {{"--helpx", "-help", "--HELP", "/help"}, false, false, false, "", false},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& w : c.words) shown += w + " ";
    CommandLineOptions o = Parse(c.words);
    EXPECT_EQ(o.useWorkingDirectory, c.cwd) << shown;
    EXPECT_EQ(o.silentMode, c.silent) << shown;
    EXPECT_EQ(o.hasLanguage, c.hasLanguage) << shown;
    EXPECT_EQ(o.languageCode, c.code) << shown;
    EXPECT_EQ(o.showHelp, c.help) << shown;
  }
}

#endif  // !_WIN32

TEST(FreeSpace, ThreeTimesTheKitSaturated) {
  constexpr uint32_t MiB = 1024 * 1024;
  struct Case {
    uint32_t kit, free;
    bool room;
  } cases[] = {
      {100 * MiB, 250 * MiB, false},     {100 * MiB, 300 * MiB, true},
      {100 * MiB, 300 * MiB - 1, false}, {0x80000000u, 0xFFFFFFFEu, false},
      {0x80000000u, 0xFFFFFFFFu, true},  {1431655765u, 0xFFFFFFFFu, true},
      {1431655766u, 0xFFFFFFFFu, true},  {1431655766u, 0xFFFFFFFEu, false},
      {0xFFFFFFFFu, 0xFFFFFFFFu, true},  {0, 0, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HasRoomForKit(c.kit, c.free), c.room) << c.kit << " " << c.free;
}

TEST(TargetCleanUp, Table) {
  struct Case {
    const char16_t* in;
    const char16_t* out;
  } cases[] = {
      {u"file:///home/u/t", u"/home/u/t"},
      {u"/a/file://b/file://c", u"/a/b/file://c"},
      {u"http://server/t", u""},
      {u"/x/https://y", u""},
      {u"ftp://h/t", u""},
      {u"/home/u/t\r", u"/home/u/t"},
      {u"/ho\nme/\ru/t", u"/home/u/t"},
#ifdef _WIN32
      {u"C:/Users/u/t", u"C:\\Users\\u\\t"},
#else
      {u"C:/Users/u/t", u"C:/Users/u/t"},
#endif
  };
  for (const Case& c : cases) {
    U16String d(c.in);
    CleanUpTargetDirectory(d);
    U16String expected(c.out);
#ifdef _WIN32
    // Windows makes every "/" a "\" as well.
    expected.ReplaceAll(u'/', u'\\');
#endif
    EXPECT_EQ(d, expected) << Utf8(U16String(c.in));
  }
}

#ifndef _WIN32
class StartupTest : public ::testing::Test {
 protected:
  StartupTest()
      : home_("HOME", (root_ / "home").c_str()), tmpdir_("TMPDIR", (root_ / "tmp").c_str()) {
    MakeDirs(root_ / "home");
    MakeDirs(root_ / "tmp");
    MakeDirs(root_ / "dist");
  }
  TempDir root_;
  ScopedEnv home_, tmpdir_;
  RecordingReporter reporter_;
};

TEST_F(StartupTest, AMissingKitNeverCreatesTheWorkFile) {
  for (const std::string& path : {root_ / "dist/brvx.bkd", std::string()}) {
    SetupContext context;
    reporter_.keys.clear();
    EXPECT_FALSE(RunStartupSequenceFor(context, U16(path), reporter_));
    EXPECT_EQ(reporter_.keys, std::vector<std::string>{"IDS_ERROR_NOSOURCE"});
    EXPECT_TRUE(ListTree(root_ / "tmp").empty());
    EXPECT_TRUE(context.kitPath.IsEmpty());
  }
}

TEST_F(StartupTest, ADamagedKitIsReportedAndLeavesNothing) {
  WriteFileBytes(root_ / "dist/brvx.bkd", "this is not a deflate stream at all \xFF\xFF\xFF");
  SetupContext context;
  EXPECT_FALSE(RunStartupSequenceFor(context, U16(root_ / "dist/brvx.bkd"), reporter_));
  EXPECT_EQ(reporter_.keys, std::vector<std::string>{"IDS_ERROR_DAMAGEDSOURCE"});
  EXPECT_TRUE(ListTree(root_ / "tmp").empty());
}

TEST_F(StartupTest, AGoodKitIsReadAndTheDefaultProposed) {
  KitDescription english{u"en", u"Product", u"Vendor", u"doc\\readme.html"};
  std::vector<KitFile> files = {{u"a.txt", kUnixEpochAsFileTime, "a"}};
  WriteFileBytes(root_ / "dist/brvx.bkd", DeflateRaw(BuildWorkFile({english}, false, files)));
  SetupContext context;
  ASSERT_TRUE(RunStartupSequenceFor(context, U16(root_ / "dist/brvx.bkd"), reporter_));
  EXPECT_TRUE(reporter_.keys.empty());
  EXPECT_EQ(Utf8(context.kitPath), root_ / "dist/brvx.bkd");
  EXPECT_EQ(context.targetDirectory, CurrentSettingsLocations().defaultTemplateDirectory);
  EXPECT_EQ(Utf8(context.targetDirectory), root_ / "home/.brvx/QORV/qorvbr/tmplts/");
  ASSERT_EQ(context.kit.entries.size(), 1u);
  EXPECT_EQ(ListTree(root_ / "tmp").size(), 1u) << "the work file stays while the wizard runs";
}

TEST_F(StartupTest, TheFirstWritableConfiguredDirectoryIsProposed) {
  MakeDirs(root_ / "home/.Tarn/tarnlaunch");
  MakeDirs(root_ / "configured");
  WriteFileBytes(root_ / "home/.Tarn/tarnlaunch/tarnlaunch.cfg",
                 "ConfigurationTemplatesLocation=" + (root_ / "missing") +
                     "\nConfigurationTemplatesLocation=" + (root_ / "configured") + "\n");
  WriteFileBytes(root_ / "dist/brvx.bkd", DeflateRaw(BuildWorkFile({}, false, {})));
  SetupContext context;
  ASSERT_TRUE(RunStartupSequenceFor(context, U16(root_ / "dist/brvx.bkd"), reporter_));
  EXPECT_EQ(Utf8(context.targetDirectory), root_ / "configured");
}

TEST_F(StartupTest, TheKitInTheWorkingDirectory) {
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir((root_ / "dist").c_str()), 0);
  EXPECT_EQ(Utf8(LocateKit(true)), root_ / "dist/brvx.bkd");
  ASSERT_EQ(chdir(previous), 0);
  std::string beside = Utf8(LocateKit(false));
  EXPECT_EQ(beside, std::string(SETUP_BIN_DIR) + "/brvx.bkd");
}

#endif  // _WIN32
