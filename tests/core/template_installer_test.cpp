#include "core/template_installer.h"

#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/distribution_kit.h"
#include "core/progress_channel.h"
#include "localization/language_choice.h"
#include "platform/fs_helpers.h"
#include "tests/support/kit_times.h"
#include "tests/support/recorded_install.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"
#include "tools/mkkit/kit_writer.h"

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// A kit made with the kit maker, a target directory and a temporary
// directory of the test's own; every publication is recorded as it happens.
class InstallerTest : public ::testing::Test {
 protected:
  InstallerTest() : tmpdir_(kTempVariable, (root_ / "tmp").c_str()) {
    MakeDirs(root_ / "tmp");
    target_ = root_ / "templates";
    ChooseLanguage("en");
  }

  void MakeKit(const std::vector<std::pair<std::string, std::string>>& files,
               int64_t time = kKitTime) {
    std::vector<KitFile> kitFiles;
    for (const auto& [name, data] : files) kitFiles.push_back({U16(name), AsFileTime(time), data});
    MakeKitFromFiles(kitFiles);
  }
  void MakeKitFromFiles(const std::vector<KitFile>& files) {
    KitDescription english{u"en", u"Product", u"Vendor", u"readme.html"};
    WriteFileBytes(root_ / "brvx.bkd", DeflateRaw(BuildWorkFile({english}, false, files)));
    kit_ = std::make_unique<DistributionKit>();
    ASSERT_EQ(ReadKit(*kit_, U16(root_ / "brvx.bkd")), 0u);
  }

  uint32_t Install(bool cancel = false) {
    return install_.Run(
        *kit_, target_,
        [this](const Publication& p, ProgressChannel&) {
          if (onPublication_) onPublication_(p);
        },
        cancel);
  }

  int BackupDirectories() { return CountEntriesStartingWith(root_ / "tmp", "brstp"); }

  TempDir root_;
  ScopedEnv tmpdir_;
  std::string target_;
  std::unique_ptr<DistributionKit> kit_;
  RecordedInstall install_;
  std::vector<Publication>& publications_ = install_.publications;
  std::function<void(const Publication&)> onPublication_;
};

// What a rewrite of a file changes: its identity on the volume and its
// change time.
struct FileIdentity {
  uint64_t index;
  int64_t mtime, ctime;
  bool operator==(const FileIdentity&) const = default;
};

#ifdef _WIN32
FileIdentity IdentityOf(const std::string& path) {
  U16String wide = U16(path);
  HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(wide.Data()), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  FileIdentity identity{};
  BY_HANDLE_FILE_INFORMATION information;
  FILE_BASIC_INFO times;
  if (file == INVALID_HANDLE_VALUE) return identity;
  if (GetFileInformationByHandle(file, &information)) {
    identity.index =
        static_cast<uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
  }
  if (GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times)) {
    identity.mtime = times.LastWriteTime.QuadPart;
    identity.ctime = times.ChangeTime.QuadPart;
  }
  CloseHandle(file);
  return identity;
}
#else
FileIdentity IdentityOf(const std::string& path) {
  struct stat s;
  stat(path.c_str(), &s);
  return {s.st_ino, s.st_mtime, s.st_ctime};
}
#endif

std::map<std::string, FileIdentity> Identities(const std::string& dir) {
  std::map<std::string, FileIdentity> out;
  for (const std::string& name : ListTree(dir)) out[name] = IdentityOf(dir + "/" + name);
  return out;
}

}  // namespace

// Kit times with a fraction of a second (every kit made on Windows) as well:
// a file system that keeps whole seconds must not make them look newer.
TEST_F(InstallerTest, FreshInstallThenASecondRunWritesNothing) {
  for (FileTime fraction : {FileTime(0), FileTime(1234567)}) {
    SCOPED_TRACE(fraction);
    FileTime time = AsFileTime(kKitTime) + fraction;
    MakeKitFromFiles({{u"a.txt", time, "alpha"},
                      {u"conf\\sub\\b.xml", time, "<b/>"},
                      {u"conf/c.cfg", time, "c=1"}});
    target_ = root_ / (fraction ? "fraction/templates" : "deep/missing/templates");
    ASSERT_EQ(Install(), 0u);
    EXPECT_EQ(ListTree(target_), (std::vector<std::string>{"a.txt", "conf/", "conf/c.cfg",
                                                           "conf/sub/", "conf/sub/b.xml"}));
    EXPECT_EQ(ReadFileBytes(target_ + "/conf/sub/b.xml"), "<b/>");
    EXPECT_EQ(GetMTime(target_ + "/a.txt"), kKitTime);
    EXPECT_EQ(BackupDirectories(), 0);

    auto before = Identities(target_);
    std::this_thread::sleep_for(
        std::chrono::seconds(1));  // a rewrite would show in the change times
    ASSERT_EQ(Install(), 0u);
    EXPECT_EQ(Identities(target_), before);
    EXPECT_EQ(BackupDirectories(), 0);
  }
}

TEST_F(InstallerTest, OnlyOlderFilesAreReplacedAndBackedUpMeanwhile) {
  MakeDirs(target_ + "/sub");
  WriteFileBytes(target_ + "/sub/older.txt", "old");
  WriteFileBytes(target_ + "/newer.txt", "mine");
  WriteFileBytes(target_ + "/equal.txt", "same age");
  SetMTime(target_ + "/sub/older.txt", kOld);
  SetMTime(target_ + "/newer.txt", kNew);
  SetMTime(target_ + "/equal.txt", kKitTime);
  MakeKit({{"equal.txt", "kit"}, {"newer.txt", "kit"}, {"sub\\older.txt", "kit"}, {"z.txt", "z"}});

  std::string backupSeen;
  onPublication_ = [&](const Publication& p) {
    // While the last entry is announced, the replaced file waits in the backup.
    if (p.text == target_ + NativePath("/z.txt"))
      backupSeen = ReadFileBytes(root_ / "tmp/brstp0/sub/older.txt");
  };
  ASSERT_EQ(Install(), 0u);
  EXPECT_EQ(backupSeen, "old");
  EXPECT_EQ(ReadFileBytes(target_ + "/newer.txt"), "mine");
  EXPECT_EQ(ReadFileBytes(target_ + "/equal.txt"), "same age");
  EXPECT_EQ(ReadFileBytes(target_ + "/sub/older.txt"), "kit");
  EXPECT_EQ(GetMTime(target_ + "/sub/older.txt"), kKitTime);
  EXPECT_EQ(BackupDirectories(), 0);
}

TEST_F(InstallerTest, FailureInTheThirdOfFiveRestoresEverything) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> firstTwo;
  } cases[] = {
      {"two replaced files", {{"a.txt", "kit a"}, {"sub\\b.txt", "kit b"}}},
      {"a replaced and a new file", {{"a.txt", "kit a"}, {"new\\dir\\n.txt", "kit n"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveDirectoryPath(U16(target_));
    MakeDirs(target_ + "/sub");
    WriteFileBytes(target_ + "/a.txt", "old a");
    WriteFileBytes(target_ + "/sub/b.txt", "old b");
    WriteFileBytes(target_ + "/blocker", "a file where the kit needs a directory");
    SetMTime(target_ + "/a.txt", kOld);
    SetMTime(target_ + "/sub/b.txt", kOld);
    TreeSnapshot before = TakeSnapshot(target_);

    auto files = c.firstTwo;
    files.push_back({"blocker\\c.txt", "c"});
    files.push_back({"d\\d.txt", "d"});
    files.push_back({"e.txt", "e"});
    MakeKit(files);

    uint32_t result = Install();
    EXPECT_EQ(result, 3u);
    ASSERT_FALSE(publications_.empty());
    const Publication& last = publications_.back();
    EXPECT_EQ(last.status, 3);
    EXPECT_EQ(last.percentage, 40);
    EXPECT_EQ(last.text, "Installation error");
    EXPECT_EQ(TakeSnapshot(target_), before);
    EXPECT_EQ(BackupDirectories(), 0);
  }
}

TEST_F(InstallerTest, CancelAfterTheFirstFile) {
  for (bool existed : {true, false}) {
    SCOPED_TRACE(existed ? "replaced" : "new");
    RemoveDirectoryPath(U16(target_));
    MakeDirs(target_);
    if (existed) {
      WriteFileBytes(target_ + "/first.txt", "original");
      SetMTime(target_ + "/first.txt", kOld);
    }
    TreeSnapshot before = TakeSnapshot(target_);
    MakeKit({{"first.txt", "kit"}, {"second.txt", "kit"}});
    EXPECT_EQ(Install(/*cancel=*/true), 1223u);
    EXPECT_EQ(TakeSnapshot(target_), before);
    ASSERT_EQ(publications_.size(), 1u) << "the cancelled end publishes nothing";
    EXPECT_EQ(publications_[0].status, 0);
    EXPECT_EQ(BackupDirectories(), 0);
  }
}

TEST_F(InstallerTest, PublishesEachEntryThenTheFinish) {
  MakeKit({{"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "4"}});
  ASSERT_EQ(Install(), 0u);
  ASSERT_EQ(publications_.size(), 5u);
  const int expected[] = {0, 25, 50, 75, 100};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(publications_[i].status, 0);
    EXPECT_EQ(publications_[i].percentage, expected[i]);
  }
  EXPECT_EQ(publications_[2].text, target_ + NativePath("/3"));
  EXPECT_EQ(publications_[4].text, "Copying complete...");
}

TEST_F(InstallerTest, FailureOnTheFirstEntryPublishesZero) {
  MakeDirs(target_);
  WriteFileBytes(target_ + "/blocker", "x");
  MakeKit({{"blocker\\x", "x"}, {"y", "y"}});
  EXPECT_EQ(Install(), 3u);
  ASSERT_EQ(publications_.size(), 2u);
  EXPECT_EQ(publications_[1].status, 3);
  EXPECT_EQ(publications_[1].percentage, 0);
  EXPECT_EQ(ListTree(target_), (std::vector<std::string>{"blocker"}));
}

TEST_F(InstallerTest, ADirectoryWhereTheKitHasAFileIsNeverMovedAway) {
  MakeDirs(target_ + "/conf");
  WriteFileBytes(target_ + "/conf/mine.txt", "the user's file");
  SetMTime(target_ + "/conf", kOld);
  TreeSnapshot before = TakeSnapshot(target_);
  MakeKit({{"a.txt", "a"}, {"conf", "a file named like the directory"}});
  EXPECT_EQ(Install(), 267u);
  EXPECT_EQ(TakeSnapshot(target_), before);
  EXPECT_EQ(BackupDirectories(), 0);
}

#ifndef _WIN32
// A FIFO where the kit has a file: opening it would block for ever, and it
// cannot be copied to another volume. It is refused, like a directory.
TEST_F(InstallerTest, AFifoWhereTheKitHasAFileIsRefused) {
  MakeDirs(target_);
  WriteFileBytes(target_ + "/a.txt", "old");
  SetMTime(target_ + "/a.txt", kOld);
  ASSERT_EQ(mkfifo((target_ + "/pipe").c_str(), 0600), 0);
  MakeKit({{"a.txt", "a"}, {"pipe", "a file named like the FIFO"}, {"z.txt", "z"}});
  EXPECT_EQ(Install(), 1920u);
  // (A snapshot would read the FIFO.)
  EXPECT_EQ(ListTree(target_), (std::vector<std::string>{"a.txt", "pipe"}));
  EXPECT_EQ(ReadFileBytes(target_ + "/a.txt"), "old");
  EXPECT_EQ(GetMTime(target_ + "/a.txt"), kOld);
  struct stat s;
  ASSERT_EQ(lstat((target_ + "/pipe").c_str(), &s), 0);
  EXPECT_TRUE(S_ISFIFO(s.st_mode));
  EXPECT_EQ(BackupDirectories(), 0);
}

// A template directory typed as "-t": every operation gets it as a name,
// never as an option, also in the rollback.
TEST_F(InstallerTest, ATemplateDirectoryNamedLikeAnOption) {
  ASSERT_EQ(chdir(root_.path().c_str()), 0);
  target_ = "-t";
  MakeDirs(root_ / "-t/sub");
  WriteFileBytes(root_ / "-t/sub/a.txt", "old");
  SetMTime(root_ / "-t/sub/a.txt", kOld);
  WriteFileBytes(root_ / "-t/blocker", "x");
  TreeSnapshot before = TakeSnapshot(root_ / "-t");
  MakeKit({{"sub\\a.txt", "kit a"}, {"-n\\new.txt", "new"}, {"blocker\\x", "fails"}});
  EXPECT_EQ(Install(), 3u);
  EXPECT_EQ(TakeSnapshot(root_ / "-t"), before);
  EXPECT_EQ(BackupDirectories(), 0);
  MakeKit({{"sub\\a.txt", "kit a"}, {"-n\\new.txt", "new"}});
  EXPECT_EQ(Install(), 0u);
  EXPECT_EQ(ReadFileBytes(root_ / "-t/sub/a.txt"), "kit a");
  EXPECT_EQ(ReadFileBytes(root_ / "-t/-n/new.txt"), "new");
  EXPECT_EQ(BackupDirectories(), 0);
  ASSERT_EQ(chdir("/"), 0);
}
#endif

TEST_F(InstallerTest, EmptyKitFinishesAtOnce) {
  MakeKit({});
  EXPECT_EQ(Install(), 0u);
  ASSERT_EQ(publications_.size(), 1u);
  EXPECT_EQ(publications_[0].percentage, 100);
  EXPECT_FALSE(FileExists(target_));
}

TEST_F(InstallerTest, EntriesAroundTheCopyBufferSize) {
  std::string exact(DistributionKit::kCopyBufferSize, '\0');
  std::string larger(DistributionKit::kCopyBufferSize * 2 + 12345, '\0');
  for (size_t i = 0; i < exact.size(); ++i) exact[i] = static_cast<char>(i * 7);
  for (size_t i = 0; i < larger.size(); ++i) larger[i] = static_cast<char>(i * 13 + (i >> 20));
  MakeKit({{"exact.bin", exact}, {"empty", ""}, {"larger.bin", larger}});
  ASSERT_EQ(Install(), 0u);
  EXPECT_EQ(ReadFileBytes(target_ + "/exact.bin"), exact);
  EXPECT_EQ(ReadFileBytes(target_ + "/larger.bin"), larger);
  EXPECT_EQ(ReadFileBytes(target_ + "/empty"), "");
}

TEST_F(InstallerTest, ASecondNamingOfTheSameFileKeepsTheOriginalBackup) {
  MakeDirs(target_ + "/d");
  WriteFileBytes(target_ + "/d/x.txt", "original");
  SetMTime(target_ + "/d/x.txt", kOld);
  WriteFileBytes(target_ + "/blocker", "x");
  TreeSnapshot before = TakeSnapshot(target_);
  MakeKitFromFiles({{u"d\\x.txt", AsFileTime(kKitTime), "first"},
                    {u"d/x.txt", AsFileTime(kNew), "second"},
                    {u"blocker\\fails", AsFileTime(kKitTime), "!"}});
  EXPECT_EQ(Install(), 3u);
  EXPECT_EQ(TakeSnapshot(target_), before);
  EXPECT_EQ(BackupDirectories(), 0);
}

TEST_F(InstallerTest, LeftoverBackupNamesArePassedOver) {
  MakeDirs(root_ / "tmp/brstp0");
  WriteFileBytes(root_ / "tmp/brstp1", "a file of that name");
  MakeDirs(target_);
  WriteFileBytes(target_ + "/a", "old");
  SetMTime(target_ + "/a", kOld);
  MakeKit({{"a", "new"}, {"b", "b"}});
  std::string seenMode;
  onPublication_ = [&](const Publication& p) {
    if (p.text == target_ + NativePath("/b")) {
#ifdef _WIN32
      // The user's temporary folder is private; the directory inherits that.
      if (FileExists(root_ / "tmp/brstp2")) seenMode = "private";
#else
      struct stat s;
      if (stat((root_ / "tmp/brstp2").c_str(), &s) == 0)
        seenMode = std::to_string(s.st_mode & 0777);
#endif
      EXPECT_EQ(ReadFileBytes(root_ / "tmp/brstp2/a"), "old");
    }
  };
  ASSERT_EQ(Install(), 0u);
  EXPECT_EQ(seenMode, kWindows ? "private" : std::to_string(0700))
      << "the backup directory is private";
  EXPECT_TRUE(FileExists(root_ / "tmp/brstp0")) << "somebody else's directory is left alone";
  EXPECT_FALSE(FileExists(root_ / "tmp/brstp2"));
}

TEST(ExtractEntry, AWorkFileThatEndsEarlyIsAnError) {
  TempDir dir;
  WriteFileBytes(dir / "work", "0123456789");
  DistributionKit kit;
  ASSERT_EQ(FileApi::Open(U16(dir / "work"), kAccessRead, kOpenExisting, &kit.handle), 0u);
  kit.entries.push_back({u"x", 0, 4, 100});
  EXPECT_NE(ExtractEntry(kit, 0, U16(dir / "out")), 0u);
  kit.entries[0].size = 6;
  EXPECT_EQ(ExtractEntry(kit, 0, U16(dir / "out")), 0u);
  EXPECT_EQ(ReadFileBytes(dir / "out"), "456789");
  FileApi::Close(kit.handle);
  kit.handle = kInvalidFileHandle;
}

TEST(EntryPathTest, ForeignSeparatorsBecomeTheBuildsOwn) {
#ifdef _WIN32
  EXPECT_EQ(EntryPath(U16String(u"C:\\t\\"), U16String(u"a/b/c.txt")), u"C:\\t\\a\\b\\c.txt");
  EXPECT_EQ(EntryPath(U16String(u"C:\\t\\"), U16String(u"a\\b")), u"C:\\t\\a\\b");
#else
  EXPECT_EQ(EntryPath(U16String(u"/t/"), U16String(u"a\\b\\c.txt")), u"/t/a/b/c.txt");
  EXPECT_EQ(EntryPath(U16String(u"/t/"), U16String(u"a/b")), u"/t/a/b");
#endif
}
