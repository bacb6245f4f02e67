#include "platform/fs_helpers.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/support/test_support.h"

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

std::set<std::string> SearchNames(const std::string& searchPath) {
  std::set<std::string> names;
  DirectorySearch search;
  for (bool found = search.FindFirst(U16(searchPath)); found; found = search.FindNext()) {
    names.insert(Utf8(search.CurrentName()));
  }
  return names;
}

}  // namespace

#ifdef _WIN32
// The system's rule: TMP names the folder, and the result ends in "\".
TEST(TempDirectory, FromTmp) {
  TempDir dir;
  for (const std::string& tmp : {dir.path(), dir.path() + "\\"}) {
    ScopedEnv env("TMP", tmp.c_str());
    U16String path;
    EXPECT_EQ(GetTempDirectory(&path), 0u);
    EXPECT_EQ(Utf8(path), dir.path() + "\\") << tmp;
  }
}
#else
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
#endif

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
#ifdef _WIN32
    EXPECT_EQ(GetFileAttributesW(reinterpret_cast<const wchar_t*>(name.Data())) &
                  FILE_ATTRIBUTE_DIRECTORY,
              0u);
#else
    struct stat status;
    ASSERT_EQ(lstat(path.c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_mode & 077, 0u) << "scratch files are private";
#endif
    made.insert(path);
  }
  EXPECT_EQ(made.size(), 20u);
}

#ifdef _WIN32
// GetTempFileNameW uses the given directory or nothing.
TEST(TempFiles, OnlyInTheGivenDirectory) {
  TempDir dir, other;
  ScopedEnv env("TMP", other.path().c_str());
  for (auto create : {CreateTempFile, CreateTempFileIn}) {
    U16String name(u"stale");
    EXPECT_NE(create(U16(dir / "missing"), U16String(u"bdk"), &name), 0u);
    EXPECT_TRUE(name.IsEmpty());
  }
  EXPECT_EQ(ListTree(dir.path()).size(), 0u);
  EXPECT_EQ(ListTree(other.path()).size(), 0u);
}
#else
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
#endif

// The same operations on both systems, each a system call or a few; where
// the results differ, each keeps its system's rule.
TEST(PathOperations, MakeMoveDelete) {
  TempDir dir;
  EXPECT_EQ(MakeDirectoryPath(U16(dir / "a/b/c")), 0u);
  EXPECT_TRUE(IsDirectoryPath(U16(dir / "a/b/c")));
  EXPECT_EQ(MakeDirectoryPath(U16(dir / "a/b/c")), kWindows ? 183u : 0u) << "an existing directory";
  WriteFileBytes(dir / "blocker", "x");
  EXPECT_EQ(MakeDirectoryPath(U16(dir / "blocker/sub")), kWindows ? 3u : 2u);
#ifdef _WIN32
  // Either separator, and a trailing one, name the same levels; a file
  // of the name counts as existing.
  EXPECT_EQ(MakeDirectoryPath(U16(dir.path() + "/x/y\\z/")), 0u);
  EXPECT_TRUE(IsDirectoryPath(U16(dir / "x/y/z")));
  EXPECT_EQ(MakeDirectoryPath(U16(dir.path() + "\\x\\y\\z\\")), 183u);
  EXPECT_EQ(MakeDirectoryPath(U16(dir / "blocker")), 183u);
#endif

  WriteFileBytes(dir / "from", "new");
  WriteFileBytes(dir / "to", "old");
  if (kWindows) {
    EXPECT_EQ(MovePath(U16(dir / "from"), U16(dir / "to")), 183u) << "MoveFileW never replaces";
    EXPECT_EQ(ReadFileBytes(dir / "to"), "old");
    EXPECT_EQ(ReadFileBytes(dir / "from"), "new");
    EXPECT_EQ(DeleteFilePath(U16(dir / "from")), 0u);
  } else {
    EXPECT_EQ(MovePath(U16(dir / "from"), U16(dir / "to")), 0u)
        << "a move replaces an existing file";
    EXPECT_EQ(ReadFileBytes(dir / "to"), "new");
  }
  EXPECT_EQ(MovePath(U16(dir / "from"), U16(dir / "to2")), 2u) << "missing source";
  EXPECT_EQ(MovePath(U16(dir / "to"), U16(dir / "a/moved")), 0u);
  EXPECT_EQ(ReadFileBytes(dir / "a/moved"), kWindows ? "old" : "new");

  EXPECT_EQ(DeleteFilePath(U16(dir / "a/moved")), 0u);
  EXPECT_FALSE(FileExists(dir / "a/moved"));
  EXPECT_EQ(DeleteFilePath(U16(dir / "a/moved")), kWindows ? 2u : 0u);
  if (kWindows) {
    // RemoveDirectoryW takes empty directories only.
    EXPECT_EQ(RemoveDirectoryPath(U16(dir / "a")), 145u);
    EXPECT_TRUE(FileExists(dir / "a/b/c"));
    for (const char* level : {"a/b/c", "a/b"}) EXPECT_EQ(RemoveDirectoryPath(U16(dir / level)), 0u);
  }
  EXPECT_EQ(RemoveDirectoryPath(U16(dir / "a")), 0u);
  EXPECT_FALSE(FileExists(dir / "a"));
  EXPECT_EQ(RemoveDirectoryPath(U16(dir / "never-there")), kWindows ? 2u : 0u);
}

#ifdef _WIN32
// Every name goes to the system as UTF-16: what is made on disk, found by a
// search and moved is exactly the name given, whatever its characters.
TEST(PathOperations, UnicodeNamesReachTheSystemUnchanged) {
  TempDir dir;
  const std::string names[] = {
      "кириллица", "日本語", "emoji \xF0\x9F\x98\x80", "sp ace", "%TEMP%", "a&b^c;d", "ünïcödé",
  };
  for (const std::string& name : names) {
    std::string sub = dir / ("d_" + name);
    ASSERT_EQ(MakeDirectoryPath(U16(sub)), 0u) << name;
    WriteFileBytes(sub + "\\f", name);
    EXPECT_EQ(ListTree(dir.path()),
              (std::vector<std::string>{"d_" + name + "/", "d_" + name + "/f"}));
    EXPECT_EQ(SearchNames(dir / ("d_" + name)), (std::set<std::string>{"d_" + name}));
    EXPECT_EQ(MovePath(U16(sub + "\\f"), U16(dir / ("f_" + name))), 0u) << name;
    EXPECT_EQ(ReadFileBytes(dir / ("f_" + name)), name);
    EXPECT_TRUE(PathExists(U16(dir / ("f_" + name))));
    EXPECT_EQ(DeleteFilePath(U16(dir / ("f_" + name))), 0u);
    EXPECT_EQ(RemoveDirectoryPath(U16(sub)), 0u) << name;
    EXPECT_EQ(ListTree(dir.path()).size(), 0u) << name;
  }
}
#else
// The narrow form of a name goes to the system byte for byte: nothing reads
// a leading "-" as an option or a quote, "$" or backquote as the shell's.
TEST(PathOperations, AnyNameReachesTheSystemUnchanged) {
  TempDir dir;
  const std::string names[] = {
      "-t",         "--help",         "back\\slash",
      "dou\"ble",   "dol$lar",        "$HOME",
      "back`tick`", "$(touch PWNED)", "sp ace; touch PWNED",
      "new\nline",  "кириллица",      "bad\xff\xfeutf8",
      "\\\"$`",
  };
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    // Relative as well as absolute: a relative "-t" is what a user may type.
    for (const std::string& base : {dir.path() + "/", std::string()}) {
      bool dash = name[0] == '-';
      U16String sub = FromNarrow((base + (dash ? name : "d_" + name)).c_str());
      std::string narrow = ToNarrow(sub).Data();
      ASSERT_EQ(MakeDirectoryPath(sub + u"/inner"), 0u);
      EXPECT_TRUE(IsDirectoryPath(sub + u"/inner"));
      WriteFileBytes(narrow + "/f", name);
      U16String moved = FromNarrow((base + (dash ? name + "f" : "f_" + name)).c_str());
      EXPECT_EQ(MovePath(sub + u"/f", moved), 0u);
      EXPECT_EQ(ReadFileBytes(ToNarrow(moved).Data()), name);
      EXPECT_EQ(DeleteFilePath(moved), 0u);
      EXPECT_FALSE(FileExists(ToNarrow(moved).Data()));
      EXPECT_EQ(RemoveDirectoryPath(sub), 0u);
      EXPECT_FALSE(FileExists(narrow));
    }
  }
  EXPECT_FALSE(FileExists(dir / "PWNED"));
  EXPECT_EQ(ListTree(dir.path()).size(), 0u) << "only the named paths were touched";
  ASSERT_EQ(chdir("/"), 0);
}

// /dev/shm is a tmpfs: a move between it and the test's directory crosses
// file systems, which rename cannot do.
TEST(PathOperations, MoveAcrossFileSystems) {
  TempDir dir;
  struct stat here, shm;
  if (stat("/dev/shm", &shm) != 0 || stat(dir.path().c_str(), &here) != 0 ||
      shm.st_dev == here.st_dev)
    GTEST_SKIP() << "/dev/shm is not another file system here";
  char pattern[] = "/dev/shm/setup-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string other = pattern;

  const std::string source = dir / "source";
  WriteFileBytes(source, std::string(300000, 'x') + "end");
  chmod(source.c_str(), 0640);
  struct timespec times[2] = {{1500000000, 123456789}, {1600000000, 987654321}};
  ASSERT_EQ(utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
  WriteFileBytes(other + "/dest", "the file it replaces");
  ASSERT_EQ(MovePath(U16(source), U16(other + "/dest")), 0u);
  EXPECT_FALSE(FileExists(source));
  EXPECT_EQ(ReadFileBytes(other + "/dest"), std::string(300000, 'x') + "end");
  struct stat moved;
  ASSERT_EQ(stat((other + "/dest").c_str(), &moved), 0);
  EXPECT_EQ(moved.st_mode & 07777, 0640u);
  EXPECT_EQ(moved.st_mtim.tv_sec, 1600000000);
  EXPECT_EQ(moved.st_mtim.tv_nsec, 987654321);

  // A link moves as a link; a FIFO or a directory is not copied (2).
  ASSERT_EQ(symlink("/nowhere/target", (other + "/link").c_str()), 0);
  EXPECT_EQ(MovePath(U16(other + "/link"), U16(dir / "link")), 0u);
  char target[64] = {};
  EXPECT_EQ(readlink((dir / "link").c_str(), target, sizeof target - 1), 15);
  EXPECT_STREQ(target, "/nowhere/target");
  ASSERT_EQ(mkfifo((other + "/fifo").c_str(), 0600), 0);
  MakeDirs(other + "/sub");
  EXPECT_EQ(MovePath(U16(other + "/fifo"), U16(dir / "fifo")), 2u);
  EXPECT_EQ(MovePath(U16(other + "/sub"), U16(dir / "sub")), 2u);
  EXPECT_EQ(ListTree(dir.path()), (std::vector<std::string>{"link"})) << "no partial copy left";
  EXPECT_EQ(RemoveDirectoryPath(U16(other)), 0u);
  EXPECT_FALSE(FileExists(other));
}

// The removal of a tree removes links and never what they point at.
TEST(PathOperations, RemovalNeverFollowsALinkOutOfTheTree) {
  TempDir dir;
  MakeDirs(dir / "outside/deep");
  WriteFileBytes(dir / "outside/deep/keep", "keep");
  WriteFileBytes(dir / "outside/file", "keep");
  MakeDirs(dir / "tree/sub");
  WriteFileBytes(dir / "tree/sub/f", "x");
  ASSERT_EQ(symlink((dir / "outside").c_str(), (dir / "tree/sub/dirlink").c_str()), 0);
  ASSERT_EQ(symlink((dir / "outside/file").c_str(), (dir / "tree/filelink").c_str()), 0);
  ASSERT_EQ(mkfifo((dir / "tree/fifo").c_str(), 0600), 0);
  chmod((dir / "tree/sub").c_str(), 0);  // root ignores it; a user removes their own anyway
  ASSERT_EQ(symlink((dir / "outside").c_str(), (dir / "toplink").c_str()), 0);

  EXPECT_EQ(RemoveDirectoryPath(U16(dir / "toplink/")), 0u);
  EXPECT_EQ(RemoveDirectoryPath(U16(dir / "tree")), 0u);
  EXPECT_EQ(ListTree(dir.path()), (std::vector<std::string>{"outside/", "outside/deep/",
                                                            "outside/deep/keep", "outside/file"}));
  // DeleteFilePath removes files and links, not directories.
  EXPECT_NE(DeleteFilePath(U16(dir / "outside/deep")), 0u);
  EXPECT_TRUE(FileExists(dir / "outside/deep/keep"));
}
#endif

TEST(DirectorySearchTest, Patterns) {
  TempDir dir;
  WriteFileBytes(dir / "brvx.bkd", "k");
  WriteFileBytes(dir / ".hidden", "h");
  MakeDirs(dir / "sub");
#ifdef _WIN32
  EXPECT_EQ(SearchNames(dir / "*"),
            (std::set<std::string>{".", "..", "brvx.bkd", ".hidden", "sub"}));
  // Windows matches names without regard to case.
  EXPECT_EQ(SearchNames(dir / "BRVX.BKD"), (std::set<std::string>{"brvx.bkd"}));
  EXPECT_EQ(SearchNames(dir / "brvx.bk?"), (std::set<std::string>{"brvx.bkd"}));
#else
  WriteFileBytes(dir / "a\\b", "x");
  EXPECT_EQ(SearchNames(dir / "*"),
            (std::set<std::string>{".", "..", "brvx.bkd", ".hidden", "a\\b", "sub"}));
  EXPECT_EQ(SearchNames(dir / "a\\b"), (std::set<std::string>{"a\\b"}));
  EXPECT_TRUE(SearchNames(dir / "a\\*").count("a\\b"));
  EXPECT_TRUE(SearchNames("/tmp").empty()) << "a pattern directly under the root finds nothing";
#endif
  EXPECT_EQ(SearchNames(dir / "brvx.bkd"), (std::set<std::string>{"brvx.bkd"}));
  EXPECT_TRUE(SearchNames(dir / "missing").empty());
  EXPECT_TRUE(SearchNames(dir / "nodir/*").empty());

  DirectorySearch search;
  ASSERT_TRUE(search.FindFirst(U16(dir / "sub")));
  EXPECT_EQ(search.CurrentAttributes(), kAttributeDirectory);
  ASSERT_TRUE(search.FindFirst(U16(dir / "brvx.bkd")));
  EXPECT_EQ(search.CurrentAttributes(), 0u);
  EXPECT_FALSE(search.FindNext());
  EXPECT_TRUE(search.CurrentName().IsEmpty()) << "a closed search has no current entry";
}

#ifndef _WIN32
TEST(DirectorySearchTest, DanglingLinkDoesNotEndTheSearch) {
  TempDir dir;
  ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "link").c_str()), 0);
  WriteFileBytes(dir / "file", "x");
  EXPECT_EQ(SearchNames(dir / "*"), (std::set<std::string>{".", "..", "link", "file"}));
}
#endif

TEST(Paths, RootAndExistence) {
  struct Case {
    const char16_t* path;
    bool root;
  };
#ifdef _WIN32
  const Case cases[] = {
      {u"C:", true},
      {u"C:\\", true},
      {u"d:/", true},
      {u"\\\\srv", true},
      {u"\\\\srv\\share", true},
      {u"\\\\srv\\share\\", true},
      {u"\\\\srv/share", true},
      {u"C:\\x", false},
      {u"\\\\srv\\share\\x", false},
      {u"\\", false},
      {u"/", false},
      {u"", false},
  };
#else
  const Case cases[] = {{u"/", true}, {u"/tmp", false}, {u"", false}};
#endif
  for (const Case& c : cases) EXPECT_EQ(IsRootPath(U16String(c.path)), c.root) << Utf8(c.path);

  TempDir dir;
#ifdef _WIN32
  EXPECT_TRUE(IsNetworkPath(U16String(u"\\\\srv\\share")));
  EXPECT_TRUE(IsNetworkPath(U16String(u"\\\\srv\\share\\templates")));
  EXPECT_FALSE(IsNetworkPath(U16(dir.path())));
  EXPECT_FALSE(IsNetworkPath(U16String(u"C:\\")));
#else
  EXPECT_FALSE(IsNetworkPath(U16String(u"//srv/share")));
#endif
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

#ifdef _WIN32
// A folder on a mapped network drive has a universal name. The test prefix
// has N: as a network drive; on other machines any remote drive serves.
TEST(Paths, MappedNetworkDrive) {
  std::u16string remote;
  for (char16_t letter = u'A'; letter <= u'Z' && remote.empty(); ++letter) {
    const char16_t root[] = {letter, u':', u'\\', 0};
    if (GetDriveTypeW(reinterpret_cast<const wchar_t*>(root)) == DRIVE_REMOTE) remote = root;
  }
  if (remote.empty()) GTEST_SKIP() << "no network drive on this machine";
  EXPECT_TRUE(IsNetworkPath(U16String(remote.c_str())));
  // Wine answers for existing folders only.
  std::u16string folder = remote + u"setup-test-templates";
  CreateDirectoryW(reinterpret_cast<const wchar_t*>(folder.c_str()), nullptr);
  EXPECT_TRUE(IsNetworkPath(U16String(folder.c_str())));
  RemoveDirectoryW(reinterpret_cast<const wchar_t*>(folder.c_str()));
}
#endif

TEST(Paths, PrivateDirectoryIsCreatedOnlyOnce) {
  TempDir dir;
  EXPECT_EQ(CreatePrivateDirectory(U16(dir / "brstp0")), 0u);
#ifndef _WIN32
  struct stat status;
  ASSERT_EQ(stat((dir / "brstp0").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
#endif
  EXPECT_EQ(CreatePrivateDirectory(U16(dir / "brstp0")), 183u);
  WriteFileBytes(dir / "file", "");
  EXPECT_EQ(CreatePrivateDirectory(U16(dir / "file")), 183u);
  EXPECT_EQ(CreatePrivateDirectory(U16(dir / "missing/sub")), 3u);
}
