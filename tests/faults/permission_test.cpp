// Files that the process has no right to replace. Root ignores permission
// bits, so the installation runs in a child as "nobody"; this test prepares
// the directories as root and checks the outcome afterwards.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/faults/fault_support.h"
#include "tests/faults/unprivileged_child.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"

namespace {

// Every directory from / down to path lets others pass.
bool OthersCanReach(const std::string& path) {
  std::string level;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    level = i == 0 ? "/" : path.substr(0, i);
    struct stat s;
    if (stat(level.c_str(), &s) != 0 || !(s.st_mode & S_IXOTH)) return false;
  }
  return true;
}

void Own(const std::string& path, const passwd* user, mode_t mode) {
  ASSERT_EQ(chown(path.c_str(), user->pw_uid, user->pw_gid), 0) << path;
  ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
}

void CopyFile(const std::string& from, const std::string& to) {
  WriteFileBytes(to, ReadFileBytes(from));
  chmod(to.c_str(), 0755);
}

TEST(PermissionFaults, FilesThatCannotBeReplacedAsAnUnprivilegedUser) {
  if (geteuid() != 0) GTEST_SKIP() << "switching to the user nobody needs root";
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr) GTEST_SKIP() << "this system has no user nobody";

  struct Case {
    const char* name;
    const char* entry;
  } cases[] = {
      // The same child installs when only the user's own files are involved.
      {"only files of the user's own", nullptr},
      {"a read-only file in a directory that cannot be written", "locked\\readonly.txt"},
      {"a writable file in a directory that cannot be written", "locked\\writable.txt"},
      {"a new file in a directory that cannot be written", "locked\\new.txt"},
      {"a new directory in a directory that cannot be written", "locked\\sub\\new.txt"},
  };

  TempDir root;
  chmod(root.path().c_str(), 0755);
  if (!OthersCanReach(root.path()))
    GTEST_SKIP() << "nobody cannot reach " << root.path() << " (set SETUP_TEST_TMP elsewhere)";
  MakeDirs(root / "bin");
  CopyFile("/proc/self/exe", root / "bin/setup_fault_tests");
  const std::string templates = root / "templates";
  const std::string tmp = root / "tmp";

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Shell("rm -rf '" + templates + "' '" + tmp + "'");
    MakeDirs(tmp);
    Own(tmp, nobody, 0700);
    // The user's own template directory, with a directory that belongs to
    // root inside it.
    MakeDirs(templates + "/locked");
    WriteFileBytes(templates + "/own.txt", "old own");
    WriteFileBytes(templates + "/locked/readonly.txt", "old readonly");
    WriteFileBytes(templates + "/locked/writable.txt", "old writable");
    for (const char* name : {"/own.txt", "/locked/readonly.txt", "/locked/writable.txt"})
      SetMTime(templates + name, kOld);
    Own(templates, nobody, 0755);
    Own(templates + "/own.txt", nobody, 0644);
    chmod((templates + "/locked").c_str(), 0755);
    chmod((templates + "/locked/readonly.txt").c_str(), 0644);
    chmod((templates + "/locked/writable.txt").c_str(), 0666);
    TreeSnapshot before = TakeSnapshot(templates);

    std::vector<KitFileSpec> files = {{"own.txt", "kit own"}, {"z.txt", "kit z"}};
    if (c.entry) files.insert(files.begin() + 1, {c.entry, "kit"});
    WriteKit(root / "brvx.bkd", files);
    chmod((root / "brvx.bkd").c_str(), 0644);
    std::string output, reason;
    if (!RunInstallAsNobody(root / "bin/setup_fault_tests", root / "brvx.bkd", templates, tmp,
                            &output, &reason))
      GTEST_SKIP() << "cannot run a child as nobody: " << reason;
    // The child's own line follows whatever the tools it ran printed.
    size_t line = output.rfind("result ");
    unsigned result = 0;
    ASSERT_TRUE(line != std::string::npos &&
                std::sscanf(output.c_str() + line, "result %u", &result) == 1)
        << output;
    if (c.entry == nullptr) {
      EXPECT_EQ(result, 0u);
      EXPECT_EQ(ReadFileBytes(templates + "/own.txt"), "kit own");
      struct stat made;
      ASSERT_EQ(stat((templates + "/z.txt").c_str(), &made), 0);
      EXPECT_EQ(made.st_uid, nobody->pw_uid) << "the child did not run as nobody";
      EXPECT_EQ(NamesIn(tmp), std::vector<std::string>{});
      continue;
    }
    EXPECT_NE(result, 0u) << "the run did not fail";
    EXPECT_NE(result, 1223u);
    EXPECT_EQ(TakeSnapshot(templates), before);
    EXPECT_EQ(NamesIn(tmp), std::vector<std::string>{}) << "work file or backup left";
  }
}

}  // namespace
