// Kits built to escape the template directory or to reach a shell, read by
// the startup sequence and installed: each is refused as damaged, installed
// exactly inside the target, or fails and leaves the target as it was; and
// nothing is ever run.
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/startup.h"
#include "localization/language_choice.h"
#include "tests/faults/fault_support.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"

namespace {

enum class Outcome { kRefused, kInstalled, kFailsAndRestores };

// The working directory is the test's own, so a command that ran would
// leave its marker there.
class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const std::string& path) {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer)) old_ = buffer;
    EXPECT_EQ(chdir(path.c_str()), 0);
  }
  ~ScopedWorkingDirectory() {
    if (!old_.empty()) {
      EXPECT_EQ(chdir(old_.c_str()), 0);
    }
  }

 private:
  std::string old_;
};

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

using FileMap = std::map<std::string, std::string>;

FileMap With(FileMap files, const FileMap& more) {
  files.insert(more.begin(), more.end());
  return files;
}

struct HostileKitCase {
  const char* what;
  std::vector<KitFileSpec> files;
  Outcome outcome;
  // Files in the target before the run (older than the kit), with content.
  FileMap existing = {};
};

// What an installation of these entries leaves in an empty target: each
// name with either separator, empty and "." levels dropped, "/" separated;
// a name that comes again replaces the earlier file only when it is newer.
std::map<std::string, KitFileSpec> Installed(const std::vector<KitFileSpec>& files) {
  std::map<std::string, KitFileSpec> installed;
  for (const KitFileSpec& file : files) {
    std::string name, level;
    for (size_t i = 0; i <= file.name.size(); ++i) {
      char c = i < file.name.size() ? file.name[i] : '/';
      if (c != '/' && c != '\\') {
        level += c;
        continue;
      }
      if (!level.empty() && level != ".") name += (name.empty() ? "" : "/") + level;
      level.clear();
    }
    auto found = installed.find(name);
    if (found == installed.end() || file.time > found->second.time) installed[name] = file;
  }
  return installed;
}

const std::string kRun = std::string("touch ") + kMarkerName;

std::vector<HostileKitCase> Cases(const std::string& absoluteMarker) {
  const std::string blocker = "blocker\\x";  // fails: "blocker" is a file
  const FileMap withBlocker = {{"blocker", "a file, not a directory"}};
  return {
      // Names that lead out of the target, with either separator.
      {"parent first, backslash", {{"..\\evil.txt", "x"}}, Outcome::kRefused},
      {"parent first, slash", {{"../evil.txt", "x"}}, Outcome::kRefused},
      {"parent in the middle", {{"a\\..\\..\\evil.txt", "x"}}, Outcome::kRefused},
      {"parent in the middle, slash", {{"a/b/../../../evil.txt", "x"}}, Outcome::kRefused},
      {"parent last", {{"a\\..", "x"}}, Outcome::kRefused},
      {"parent alone", {{"..", "x"}}, Outcome::kRefused},
      {"three dots", {{"a\\...\\evil.txt", "x"}}, Outcome::kRefused},
      {"dots and a blank", {{".. \\evil.txt", "x"}}, Outcome::kRefused},
      {"parent behind a good entry",
       {{"good.txt", "g"}, {"ok/../../evil", "x"}},
       Outcome::kRefused},
      // Names that look absolute.
      {"a root, slash", {{"/tmp/evil.txt", "x"}}, Outcome::kRefused},
      {"a root, backslash", {{"\\tmp\\evil.txt", "x"}}, Outcome::kRefused},
      {"a network path", {{"\\\\server\\share\\evil.txt", "x"}}, Outcome::kRefused},
      {"a drive", {{"C:\\evil.txt", "x"}}, Outcome::kRefused},
      {"a drive without separator", {{"c:evil.txt", "x"}}, Outcome::kRefused},
      {"an empty name", {{"", "x"}}, Outcome::kRefused},
      {"a zero character", {{std::string("a\0b", 3), "x"}}, Outcome::kRefused},
      // Names a shell would act on: installed under exactly these names.
      {"shell metacharacters",
       {{"$(" + kRun + ").txt", "1"},
        {"`" + kRun + "`.txt", "2"},
        {"a;" + kRun + ";b", "3"},
        {"a|" + kRun, "4"},
        {"a&&" + kRun + "&", "5"},
        {"q'" + kRun + "'.txt", "6"},
        {"dq\"$(" + kRun + ")\".txt", "7"},
        {"line\n" + kRun + "\n.txt", "8"},
        {"$HOME ${IFS} !! #x", "9"},
        {"~\\tilde.txt", "10"},
        {"[a]*?.txt", "11"},
        {"dir $(" + kRun + ")\\in `" + kRun + "`.txt", "12"},
        {"$(touch " + absoluteMarker + ")", "13"}},
       Outcome::kInstalled},
      {"mixed, doubled and dot separators",
       {{"a/b\\c.txt", "c"}, {"d\\\\e.txt", "e"}, {"f\\.\\g.txt", "g"}},
       Outcome::kInstalled},
      {"replaced files with shell metacharacters are backed up and restored",
       {{"$(" + kRun + ").txt", "kit"}, {"`" + kRun + "`\\b.txt", "kit"}, {blocker, "x"}},
       Outcome::kFailsAndRestores,
       With(withBlocker, {{"$(" + kRun + ").txt", "old"}, {"`" + kRun + "`/b.txt", "old"}})},
      {"replaced files named like patterns are restored",
       {{"*.txt", "kit"}, {"[ab].txt", "kit"}, {blocker, "x"}},
       Outcome::kFailsAndRestores,
       With(withBlocker, {{"*.txt", "old"}, {"[ab].txt", "old"}, {"a.txt", "old a"}})},
      // Very long names: the system refuses them when the file is made.
      {"a 255-byte name", {{Repeat("n", 255), "x"}}, Outcome::kInstalled},
      {"a 300-byte name",
       {{"first.txt", "f"}, {Repeat("n", 300), "x"}},
       Outcome::kFailsAndRestores},
      {"a 300-byte directory", {{Repeat("d", 300) + "\\x.txt", "x"}}, Outcome::kFailsAndRestores},
      {"a Cyrillic name of 400 bytes", {{Repeat("Ж", 200), "x"}}, Outcome::kFailsAndRestores},
      {"a path longer than the system allows",
       {{"first.txt", "f"}, {Repeat(Repeat("p", 250) + "\\", 20) + "x.txt", "x"}},
       Outcome::kFailsAndRestores},
      // The same name twice: the second is no newer, so the first stays.
      {"a name repeated", {{"dup.txt", "first"}, {"dup.txt", "second"}}, Outcome::kInstalled},
      {"a name repeated, newer the second time, then a failure",
       {{"dup.txt", "first", kKitTime}, {"dup.txt", "second", kKitTime + 10}, {blocker, "x"}},
       Outcome::kFailsAndRestores,
       With(withBlocker, {{"dup.txt", "the original"}})},
      {"a new name repeated, newer the second time, then a failure",
       {{"dup.txt", "first", kKitTime}, {"dup.txt", "second", kKitTime + 10}, {blocker, "x"}},
       Outcome::kFailsAndRestores,
       withBlocker},
      {"a name ending in a separator",
       {{"first.txt", "f"}, {"dir\\", "x"}},
       Outcome::kFailsAndRestores},
  };
}

class HostileKitTest : public ::testing::Test {
 protected:
  HostileKitTest()
      : home_("HOME", (root_ / "home").c_str()), tmpdir_("TMPDIR", (root_ / "tmp").c_str()) {
    for (const char* dir : {"home", "tmp", "cwd", "dist", "parent"}) MakeDirs(root_ / dir);
    ChooseLanguage("en");
  }

  void ExpectNothingRan() {
    EXPECT_EQ(FindNamed(root_.path(), kMarkerName), std::vector<std::string>{});
    EXPECT_EQ(FindNamed(root_.path(), "pwned-absolute"), std::vector<std::string>{});
  }

  TempDir root_;
  ScopedEnv home_, tmpdir_;
};

TEST_F(HostileKitTest, EachKitIsRefusedOrStaysInsideTheTarget) {
  ScopedWorkingDirectory cwd(root_ / "cwd");
  const std::string parent = root_ / "parent";
  const std::string target = parent + "/templates";
  for (const HostileKitCase& c : Cases(root_ / "pwned-absolute")) {
    SCOPED_TRACE(c.what);
    Shell("rm -rf '" + target + "'");
    if (!c.existing.empty()) MakeDirs(target);
    for (const auto& [name, data] : c.existing) {
      size_t slash = name.rfind('/');
      if (slash != std::string::npos) MakeDirs(target + "/" + name.substr(0, slash));
      WriteFileBytes(target + "/" + name, data);
      SetMTime(target + "/" + name, kOld);
    }
    TreeSnapshot before = TakeSnapshot(parent);
    WriteKit(root_ / "dist/brvx.bkd", c.files);

    RecordingReporter reporter;
    {
      SetupContext context;
      bool started = RunStartupSequenceFor(context, U16(root_ / "dist/brvx.bkd"), reporter);
      if (c.outcome == Outcome::kRefused) {
        EXPECT_FALSE(started);
        EXPECT_EQ(reporter.keys, std::vector<std::string>{"IDS_ERROR_DAMAGEDSOURCE"});
        EXPECT_EQ(TakeSnapshot(parent), before);
      } else {
        ASSERT_TRUE(started) << reporter.First();
        RecordedInstall install;
        uint32_t result = install.Run(context.kit, target);
        if (c.outcome == Outcome::kInstalled) {
          EXPECT_EQ(result, 0u);
          TreeSnapshot after = TakeSnapshot(parent);
          FileMap files;
          for (const auto& [name, entry] : after) {
            if (name.back() != '/') files[name] = entry.bytes;
          }
          FileMap expected;
          for (const auto& [name, file] : Installed(c.files))
            expected["templates/" + name] = file.data;
          EXPECT_EQ(files, expected);
          for (const auto& [name, file] : Installed(c.files))
            EXPECT_EQ(GetMTime(target + "/" + name), file.time) << name;
        } else {
          EXPECT_NE(result, 0u);
          EXPECT_NE(result, 1223u);
          EXPECT_EQ(TakeSnapshot(parent), before);
        }
      }
    }
    EXPECT_EQ(NamesIn(root_ / "tmp"), std::vector<std::string>{}) << "work file or backup left";
    ExpectNothingRan();
  }
}

TEST_F(HostileKitTest, DescriptionTextsWithShellMetacharactersAreOnlyText) {
  ScopedWorkingDirectory cwd(root_ / "cwd");
  const std::string link = "$(" + kRun + ")\\`" + kRun + "`;|&\"'\n readme.html";
  const std::string product = "P $(" + kRun + ") `" + kRun + "`";
  WriteFileBytes(root_ / "dist/brvx.bkd",
                 KitBytes({{"a.txt", "a"}}, {u"en", U16(product), u"V;|&", U16(link)}));
  RecordingReporter reporter;
  SetupContext context;
  ASSERT_TRUE(RunStartupSequenceFor(context, U16(root_ / "dist/brvx.bkd"), reporter));
  EXPECT_EQ(Utf8(GetDescriptionLink(context.kit, u"en")), link);
  U16String name, vendor;
  GetProductAndVendor(context.kit, u"en", &name, &vendor);
  EXPECT_EQ(Utf8(name), product);
  RecordedInstall install;
  EXPECT_EQ(install.Run(context.kit, root_ / "parent/templates"), 0u);
  EXPECT_EQ(ListTree(root_ / "parent"),
            (std::vector<std::string>{"templates/", "templates/a.txt"}));
  ExpectNothingRan();
}

}  // namespace
