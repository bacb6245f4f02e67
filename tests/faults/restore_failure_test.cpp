// A rollback whose move back fails for real: the directory of the original
// became immutable, read-only for its unprivileged owner, or its volume ran
// full. The original is never deleted: the backup directory stays, holding
// exactly the files that did not go back, and the run still fails.
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/faults/fault_support.h"
#include "tests/faults/unprivileged_child.h"
#include "tests/support/test_support.h"

namespace {

// Two originals the kit replaces: one in the directory that will refuse the
// move back, one beside it that goes back; then an entry that fails.
const std::vector<KitFileSpec> kKit = {
    {"locked\\a.txt", "kit a"}, {"free.txt", "kit free"}, {"blocker\\x", "fails: a file"}};

void PrepareTarget(const std::string& target) {
  Shell("rm -rf '" + target + "'");
  MakeDirs(target + "/locked");
  WriteFileBytes(target + "/locked/a.txt", "original a");
  WriteFileBytes(target + "/free.txt", "original free");
  WriteFileBytes(target + "/blocker", "not a directory");
  SetMTime(target + "/locked/a.txt", kOld);
  SetMTime(target + "/free.txt", kOld);
}

// The outcome every case shares.
void ExpectKept(const std::string& target, const std::string& kept, const std::string& tmp) {
  EXPECT_EQ(ReadFileBytes(target + "/free.txt"), "original free") << "restored";
  ASSERT_FALSE(kept.empty()) << "no backup directory reported";
  EXPECT_EQ(kept.rfind(tmp + "/brstp", 0), 0u) << kept;
  EXPECT_EQ(ListTree(kept), (std::vector<std::string>{"locked/", "locked/a.txt"}));
  EXPECT_EQ(ReadFileBytes(kept + "locked/a.txt"), "original a");
}

bool Chattr(const std::string& flag, const std::string& path) {
  return Shell("chattr " + flag + " '" + path + "' 2>/dev/null") == 0;
}

TEST(RestoreFailure, ImmutableDirectory) {
  if (geteuid() != 0) GTEST_SKIP() << "chattr +i needs root";
  TempDir root;
  ScopedEnv tmpdir("TMPDIR", (root / "tmp").c_str());
  MakeDirs(root / "tmp");
  const std::string target = root / "templates";
  PrepareTarget(target);
  if (!Chattr("+i", target + "/locked") || !Chattr("-i", target + "/locked"))
    GTEST_SKIP() << "this file system has no immutable attribute";
  WriteKit(root / "brvx.bkd", kKit);
  DistributionKit kit;
  ASSERT_EQ(ReadKit(kit, U16(root / "brvx.bkd")), 0u);
  RecordedInstall install;
  uint32_t result = install.Run(kit, target, [&](const Publication& p, ProgressChannel&) {
    if (p.text == target + "/blocker/x") Chattr("+i", target + "/locked");
  });
  Chattr("-i", target + "/locked");
  EXPECT_EQ(result, 3u);
  EXPECT_EQ(ReadFileBytes(target + "/locked/a.txt"), "kit a") << "the move back really failed";
  ExpectKept(target, install.keptBackup, root / "tmp");
}

TEST(RestoreFailure, DirectoryMadeReadOnlyByItsUnprivilegedOwner) {
  if (geteuid() != 0) GTEST_SKIP() << "switching to the user nobody needs root";
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr) GTEST_SKIP() << "this system has no user nobody";
  TempDir root;
  chmod(root.path().c_str(), 0755);
  MakeDirs(root / "bin");
  WriteFileBytes(root / "bin/setup_fault_tests", ReadFileBytes("/proc/self/exe"));
  chmod((root / "bin/setup_fault_tests").c_str(), 0755);
  const std::string target = root / "templates";
  PrepareTarget(target);
  MakeDirs(root / "tmp");
  WriteKit(root / "brvx.bkd", kKit);
  chmod((root / "brvx.bkd").c_str(), 0644);
  Shell("chown -R nobody '" + target + "' '" + root / "tmp" + "'");
  chmod((root / "tmp").c_str(), 0700);

  std::string output, reason;
  if (!RunInstallAsNobody(root / "bin/setup_fault_tests", root / "brvx.bkd", target, root / "tmp",
                          &output, &reason, target + "/locked"))
    GTEST_SKIP() << "cannot run a child as nobody: " << reason;
  chmod((target + "/locked").c_str(), 0755);
  EXPECT_NE(output.find("result 3\n"), std::string::npos) << output;
  size_t line = output.find("kept ");
  ASSERT_NE(line, std::string::npos) << output;
  std::string kept = output.substr(line + 5, output.find('\n', line) - line - 5);
  EXPECT_EQ(ReadFileBytes(target + "/locked/a.txt"), "kit a") << "the move back really failed";
  ExpectKept(target, kept, root / "tmp");
}

TEST(RestoreFailure, TemplateVolumeRunsFullBeforeTheMoveBack) {
  TempDir root;
  ScopedEnv tmpdir("TMPDIR", (root / "tmp").c_str());
  MakeDirs(root / "tmp");
  MakeDirs(root / "fs");
  TmpfsMount mount;
  MOUNT_OR_SKIP(mount, root / "fs", 256 * 1024);
  // The backup lies on another volume: the move back is a copy, which needs
  // room beside the file the run wrote.
  const std::string target = root / "fs/templates";
  PrepareTarget(target);
  WriteKit(root / "brvx.bkd", kKit);
  DistributionKit kit;
  ASSERT_EQ(ReadKit(kit, U16(root / "brvx.bkd")), 0u);
  RecordedInstall install;
  uint32_t result = install.Run(kit, target, [&](const Publication& p, ProgressChannel&) {
    if (p.text != target + "/blocker/x") return;
    // Another program fills the volume.
    FILE* filler = std::fopen((root / "fs/filler").c_str(), "w");
    std::string block(4096, 'f');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
           std::fflush(filler) == 0) {
    }
    std::fclose(filler);
  });
  EXPECT_EQ(result, 3u);
  // Not a page left: neither original fits back beside the run's file.
  EXPECT_EQ(ReadFileBytes(target + "/free.txt"), "kit free");
  const std::string& kept = install.keptBackup;
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(ListTree(kept), (std::vector<std::string>{"free.txt", "locked/", "locked/a.txt"}));
  EXPECT_EQ(ReadFileBytes(kept + "free.txt"), "original free");
  EXPECT_EQ(ReadFileBytes(kept + "locked/a.txt"), "original a");
  EXPECT_EQ(
      ListTree(root / "fs"),
      (std::vector<std::string>{"filler", "templates/", "templates/blocker", "templates/free.txt",
                                "templates/locked/", "templates/locked/a.txt"}))
      << "no partial copy left on the full volume";
}

}  // namespace
