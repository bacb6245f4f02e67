// HOME, TMPDIR, the kit's directory and the template directory holding
// quotes, "$", backquotes, backslashes, blanks, line feeds, pattern
// characters and Cyrillic. The startup sequence and one installation run in
// each; the files land exactly in the target, the temporary files stay in
// TMPDIR and are gone afterwards, and nothing is run.
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/startup.h"
#include "localization/language_choice.h"
#include "tests/faults/fault_support.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"

namespace {

const std::string kHostile =
    "q'uo\"te $HOME ${IFS} `touch pwned` $(touch pwned) back\\slash ;|&<>#~!*?[x] Кириллица";
const std::string kHostileLines = kHostile + "\n$(touch pwned)\r";

std::string WithoutLineEnds(std::string text) {
  std::string out;
  for (char c : text) {
    if (c != '\n' && c != '\r') out += c;
  }
  return out;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

struct EnvironmentCase {
  const char* what;
  std::string home;    // relative to the test's root
  std::string tmpdir;  // relative to the test's root
  std::string chosen;  // the directory the user gives instead of the proposal; may be empty
  bool fails;          // a file stands where the kit needs a directory
};

class HostileEnvironmentTest : public ::testing::Test {
 protected:
  TempDir root_;
};

TEST_F(HostileEnvironmentTest, EverythingStaysWhereItBelongs) {
  const EnvironmentCase cases[] = {
      {"HOME", kHostile + "/home", "tmp", "", false},
      {"HOME with line ends", kHostileLines + "/home", "tmp", "", false},
      {"TMPDIR", "home", kHostileLines + "/tmp", "", false},
      {"the chosen template directory", "home", "tmp", kHostileLines + "/templates", false},
      {"the chosen template directory, failing", "home", "tmp", kHostileLines + "/templates", true},
      {"all of them", kHostile + "/home", kHostileLines + "/tmp", kHostileLines + "/t e m p", true},
  };
  ChooseLanguage("en");
  const std::string cwd = root_ / "cwd";
  const std::string dist = root_ / (kHostileLines + "/dist");
  for (const EnvironmentCase& c : cases) {
    SCOPED_TRACE(c.what);
    Shell("rm -rf '" + root_.path() + "'/*");
    MakeDirs(cwd);
    MakeDirs(dist);
    MakeDirs(root_ / c.home);
    MakeDirs(root_ / c.tmpdir);
    ScopedEnv home("HOME", (root_ / c.home).c_str());
    ScopedEnv tmpdir("TMPDIR", (root_ / c.tmpdir).c_str());
    ASSERT_EQ(chdir(cwd.c_str()), 0);

    // Where the files must go: the chosen directory, or the default one under
    // HOME, from which the startup's clean-up removes line ends.
    std::string target = c.chosen.empty()
                             ? WithoutLineEnds(root_ / c.home) + "/.brvx/QORV/qorvbr/tmplts/"
                             : root_ / c.chosen + "/";
    // The target holds an older file, so that the run backs one up.
    MakeDirs(target + "sub");
    WriteFileBytes(target + "sub/old.txt", "old");
    SetMTime(target + "sub/old.txt", kOld);
    if (c.fails) WriteFileBytes(target + "blocker", "a file, not a directory");
    const std::string targetName = target.substr(root_.path().size() + 1);
    TreeSnapshot before = TakeSnapshot(root_.path());

    std::vector<KitFileSpec> files = {
        {"sub\\old.txt", "kit old"}, {"$(touch pwned)\\n.txt", "kit n"}, {"z.txt", "kit z"}};
    if (c.fails) files.push_back({"blocker\\x.txt", "x"});
    WriteKit(dist + "/brvx.bkd", files);
    before[(kHostileLines + "/dist/brvx.bkd")] = TakeSnapshot(dist)["brvx.bkd"];

    uint32_t result;
    std::vector<std::string> tempDuringRun;
    {
      RecordingReporter reporter;
      SetupContext context;
      ASSERT_TRUE(RunStartupSequenceFor(context, U16(dist + "/brvx.bkd"), reporter))
          << reporter.First();
      if (!c.chosen.empty()) context.targetDirectory = U16(root_ / c.chosen);
      EXPECT_EQ(Utf8(context.targetDirectory) + (c.chosen.empty() ? "" : "/"), target);
      RecordedInstall install;
      result = install.Run(context.kit, Utf8(context.targetDirectory),
                           [&](const Publication& p, ProgressChannel&) {
                             if (p.text == target + "z.txt")
                               tempDuringRun = NamesIn(root_ / c.tmpdir);
                           });
    }
    ASSERT_EQ(chdir("/"), 0);

    EXPECT_EQ(result != 0, c.fails) << result;
    EXPECT_EQ(tempDuringRun.size(), 3u)
        << "the work file, the backup directory and its journal in TMPDIR";
    if (tempDuringRun.size() == 3) {
      EXPECT_EQ(tempDuringRun[1], "brstp0");
      EXPECT_EQ(tempDuringRun[2], "brstp0.journal");
    }
    EXPECT_EQ(NamesIn(root_ / c.tmpdir), std::vector<std::string>{});
    EXPECT_EQ(FindNamed(root_.path(), kMarkerName), std::vector<std::string>{});

    TreeSnapshot after = TakeSnapshot(root_.path());
    TreeSnapshot insideBefore, insideAfter;
    for (const auto& [name, entry] : before) {
      if (StartsWith(name, targetName) && name != targetName)
        insideBefore[name.substr(targetName.size())] = entry;
    }
    for (const auto& [name, entry] : after) {
      if (name == targetName) continue;  // the target itself
      if (StartsWith(name, targetName)) {
        insideAfter[name.substr(targetName.size())] = entry;
      } else {
        auto old = before.find(name);
        EXPECT_TRUE(old != before.end() && old->second == entry) << "changed outside: " << name;
      }
    }
    for (const auto& [name, entry] : before) {
      if (!StartsWith(name, targetName)) {
        EXPECT_EQ(after.count(name), 1u) << "gone: " << name;
      }
    }
    if (c.fails) {
      EXPECT_EQ(insideAfter, insideBefore);
    } else {
      std::vector<std::string> names;
      for (const auto& [name, entry] : insideAfter) names.push_back(name);
      EXPECT_EQ(names, (std::vector<std::string>{"$(touch pwned)/", "$(touch pwned)/n.txt", "sub/",
                                                 "sub/old.txt", "z.txt"}));
      EXPECT_EQ(insideAfter["sub/old.txt"].bytes, "kit old");
      EXPECT_EQ(insideAfter["z.txt"].mtime, kKitTime);
    }
  }
}

}  // namespace
