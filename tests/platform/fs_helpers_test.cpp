#include "platform/fs_helpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/shell_command.h"
#include "tests/support/test_support.h"

namespace {

std::set<std::string> SearchNames(const std::string& specification) {
  std::set<std::string> names;
  DirectorySearch search;
  for (bool found = search.FindFirst(U16(specification)); found; found = search.FindNext()) {
    names.insert(Utf8(search.CurrentName()));
  }
  return names;
}

}  // namespace

TEST(TempDirectory, FromTmpdirOrFallback) {
  TempDir dir;
  WriteFileBytes(dir / "plain", "x");
  struct Case {
    const char* tmpdir;
    std::string expected;
  } cases[] = {
      {nullptr, "/tmp/"},
      {"/var/tmp", "/var/tmp/"},
      {"/var/tmp/", "/var/tmp/"},
      {"", "/tmp/"},
  };
  for (const Case& c : cases) {
    ScopedEnv env("TMPDIR", c.tmpdir);
    U16String path;
    EXPECT_EQ(GetTempDirectory(&path), 0u);
    EXPECT_EQ(Utf8(path), c.expected) << (c.tmpdir ? c.tmpdir : "(unset)");
  }
  for (const std::string& bad : {dir / "plain", dir / "missing"}) {
    ScopedEnv env("TMPDIR", bad.c_str());
    U16String path;
    GetTempDirectory(&path);
    EXPECT_EQ(Utf8(path), "/tmp/");
  }
}

TEST(TempDirectory, FreeSpace) {
  uint32_t bytes = 0;
  EXPECT_EQ(GetTempFreeSpace(nullptr), 87u);
  EXPECT_EQ(GetTempFreeSpace(&bytes), 0u);
  EXPECT_GT(bytes, 0u);
}

TEST(TempFiles, CreatedExclusivelyWithPrefix) {
  TempDir dir;
  std::set<std::string> made;
  for (int i = 0; i < 20; ++i) {
    U16String name;
    ASSERT_EQ(CreateTempFile(U16(dir.path()), U16String(u"bdk"), &name), 0u);
    std::string path = Utf8(name);
    EXPECT_EQ(path.rfind(dir / "bdk", 0), 0u) << path;
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(ReadFileBytes(path), "");
    struct stat status;
    ASSERT_EQ(lstat(path.c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_mode & 077, 0u) << "scratch files are private";
    made.insert(path);
  }
  EXPECT_EQ(made.size(), 20u);
}

TEST(TempFiles, FallsBackAndReportsWhereTheFileIs) {
  TempDir dir, other;
  ScopedEnv env("TMPDIR", other.path().c_str());
  U16String name;
  ASSERT_EQ(CreateTempFile(U16(dir / "missing"), U16String(u"bdk"), &name), 0u);
  EXPECT_EQ(Utf8(name).rfind(other / "bdk", 0), 0u) << Utf8(name);
  EXPECT_TRUE(FileExists(Utf8(name)));
  // Only inside the directory: a missing directory makes no file.
  EXPECT_EQ(CreateTempFileIn(U16(dir / "missing"), U16String(u"Tarn"), &name), 1013u);
  EXPECT_TRUE(name.IsEmpty());
  EXPECT_EQ(ListTree(dir.path()).size(), 0u);
}

TEST(ShellCommands, MakeMoveDelete) {
  TempDir dir;
  EXPECT_EQ(MakeDirectoryPath(U16(dir / "a/b/c")), 0u);
  EXPECT_EQ(MakeDirectoryPath(U16(dir / "a/b/c")), 0u) << "an existing directory is fine";
  WriteFileBytes(dir / "blocker", "x");
  EXPECT_EQ(MakeDirectoryPath(U16(dir / "blocker/sub")), 2u);

  WriteFileBytes(dir / "from", "new");
  WriteFileBytes(dir / "to", "old");
  EXPECT_EQ(MovePath(U16(dir / "from"), U16(dir / "to")), 0u) << "mv replaces an existing file";
  EXPECT_EQ(ReadFileBytes(dir / "to"), "new");
  EXPECT_EQ(MovePath(U16(dir / "from"), U16(dir / "to2")), 2u) << "missing source";

  EXPECT_EQ(DeleteFilePath(U16(dir / "to")), 0u);
  EXPECT_FALSE(FileExists(dir / "to"));
  EXPECT_EQ(RemoveDirectoryPath(U16(dir / "a")), 0u);
  EXPECT_FALSE(FileExists(dir / "a"));
  EXPECT_EQ(RemoveDirectoryPath(U16(dir / "never-there")), 0u);
}

TEST(ShellCommands, HostilePathsReachTheToolUnchangedAndRunNothing) {
  TempDir dir;
  const std::string names[] = {
      "back\\slash", "dou\"ble",       "dol$lar",       "$HOME",
      "back`tick`",  "$(touch PWNED)", "`touch PWNED`", "sp ace; touch PWNED",
      "new\nline",   "кириллица",      "\\\"$`",
  };
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  for (const std::string& name : names) {
    std::string sub = dir / ("d_" + name);
    ASSERT_EQ(MakeDirectoryPath(U16(sub)), 0u) << name;
    struct stat status;
    EXPECT_EQ(stat(sub.c_str(), &status), 0) << name;
    WriteFileBytes(sub + "/f", name);
    EXPECT_EQ(MovePath(U16(sub + "/f"), U16(dir / ("f_" + name))), 0u) << name;
    EXPECT_EQ(ReadFileBytes(dir / ("f_" + name)), name);
    DeleteFilePath(U16(dir / ("f_" + name)));
    EXPECT_FALSE(FileExists(dir / ("f_" + name))) << name;
    RemoveDirectoryPath(U16(sub));
    EXPECT_FALSE(FileExists(sub)) << name;
  }
  EXPECT_FALSE(FileExists(dir / "PWNED"));
  EXPECT_EQ(ListTree(dir.path()).size(), 0u) << "only the named paths were touched";
  ASSERT_EQ(chdir("/"), 0);
}

TEST(ShellCommands, EscapeForDoubleQuotes) {
  EXPECT_EQ(EscapeForDoubleQuotes(NarrowString("a\\b\"c$d`e'f")), "a\\\\b\\\"c\\$d\\`e'f");
}

TEST(DirectorySearchTest, Patterns) {
  TempDir dir;
  WriteFileBytes(dir / "brvx.bkd", "k");
  WriteFileBytes(dir / ".hidden", "h");
  WriteFileBytes(dir / "a\\b", "x");
  MakeDirs(dir / "sub");
  EXPECT_EQ(SearchNames(dir / "*"),
            (std::set<std::string>{".", "..", "brvx.bkd", ".hidden", "a\\b", "sub"}));
  EXPECT_EQ(SearchNames(dir / "brvx.bkd"), (std::set<std::string>{"brvx.bkd"}));
  EXPECT_TRUE(SearchNames(dir / "missing").empty());
  EXPECT_EQ(SearchNames(dir / "a\\b"), (std::set<std::string>{"a\\b"}));
  EXPECT_TRUE(SearchNames(dir / "a\\*").count("a\\b"));
  EXPECT_TRUE(SearchNames("/tmp").empty()) << "a pattern directly under the root finds nothing";
  EXPECT_TRUE(SearchNames(dir / "nodir/*").empty());

  DirectorySearch search;
  ASSERT_TRUE(search.FindFirst(U16(dir / "sub")));
  EXPECT_EQ(search.CurrentAttributes(), kAttributeDirectory);
  ASSERT_TRUE(search.FindFirst(U16(dir / "brvx.bkd")));
  EXPECT_EQ(search.CurrentAttributes(), 0u);
  EXPECT_FALSE(search.FindNext());
  EXPECT_TRUE(search.CurrentName().IsEmpty()) << "a closed search has no current entry";
}

TEST(DirectorySearchTest, DanglingLinkDoesNotEndTheSearch) {
  TempDir dir;
  ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "link").c_str()), 0);
  WriteFileBytes(dir / "file", "x");
  EXPECT_EQ(SearchNames(dir / "*"), (std::set<std::string>{".", "..", "link", "file"}));
}

TEST(Paths, RootAndExistence) {
  EXPECT_TRUE(IsRootPath(U16String(u"/")));
  EXPECT_FALSE(IsRootPath(U16String(u"/tmp")));
  EXPECT_FALSE(IsRootPath(U16String(u"")));
  EXPECT_FALSE(IsNetworkPath(U16String(u"//srv/share")));
  TempDir dir;
  WriteFileBytes(dir / "f", "");
  EXPECT_TRUE(PathExists(U16(dir / "f")));
  EXPECT_FALSE(PathExists(U16(dir / "g")));
  EXPECT_FALSE(PathExists(U16String()));
  // Names are taken literally, not as patterns.
  WriteFileBytes(dir / "a1.html", "");
  EXPECT_FALSE(PathExists(U16(dir / "a[1].html")));
  EXPECT_FALSE(PathExists(U16(dir / "a?.html")));
  WriteFileBytes(dir / "a[1].html", "");
  EXPECT_TRUE(PathExists(U16(dir / "a[1].html")));
}

TEST(Paths, PrivateDirectoryIsCreatedOnlyOnce) {
  TempDir dir;
  EXPECT_EQ(CreatePrivateDirectory(U16(dir / "brstp0")), 0u);
  struct stat status;
  ASSERT_EQ(stat((dir / "brstp0").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  EXPECT_EQ(CreatePrivateDirectory(U16(dir / "brstp0")), 183u);
  WriteFileBytes(dir / "file", "");
  EXPECT_EQ(CreatePrivateDirectory(U16(dir / "file")), 183u);
  EXPECT_EQ(CreatePrivateDirectory(U16(dir / "missing/sub")), 3u);
}
