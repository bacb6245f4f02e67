// The installer's Windows forms: making directories (an existing one is left
// alone, a new one is recorded by its outermost new level, and a failure
// climbs to the drive's root and no further), putting a backup back while
// another program holds the file, and removing read-only backups.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/progress_channel.h"
#include "core/template_installer.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"

namespace {

std::vector<std::string> Created(const TemplateInstaller& installer) {
  std::vector<std::string> out;
  for (const U16String& directory : installer.transactions().back().createdDirectories)
    out.push_back(Utf8(directory));
  return out;
}

TEST(WindowsEnsureDirectory, ExistingNewAndImpossibleDirectories) {
  TempDir root;
  ScopedEnv tmp("TMP", root.path().c_str());
  ProgressChannel channel;
  TemplateInstaller installer(channel);
  ASSERT_EQ(installer.BeginTransaction(U16(root / "target")), 0u);
  std::vector<std::string> created = Created(installer);  // the backup directory
  ASSERT_EQ(created.size(), 1u);

  // There already (MakeDirectoryPath answers 183): not the installation's.
  EXPECT_EQ(installer.EnsureDirectory(U16(root.path()), true), 0u);
  EXPECT_EQ(installer.EnsureDirectory(U16(root.path() + "\\"), true), 0u);
  EXPECT_EQ(installer.EnsureDirectory(U16String(u"C:\\"), true), 0u);
  EXPECT_EQ(Created(installer), created);

  // Three new levels in one call: the outermost is recorded, once.
  EXPECT_EQ(installer.EnsureDirectory(U16(root / "a/b/c"), true), 0u);
  EXPECT_TRUE(FileExists(root / "a/b/c"));
  created.push_back(root / "a");
  EXPECT_EQ(Created(installer), created);
  // Not recorded when asked not to.
  EXPECT_EQ(installer.EnsureDirectory(U16(root / "d/e"), false), 0u);
  EXPECT_TRUE(FileExists(root / "d/e"));
  EXPECT_EQ(Created(installer), created);

  // A drive that does not exist: the parents are tried up to its root, then 3.
  std::string missing;
  for (char letter = 'Z'; letter >= 'D' && missing.empty(); --letter) {
    std::string drive = std::string(1, letter) + ":\\";
    if (GetDriveTypeW(reinterpret_cast<const wchar_t*>(U16(drive).Data())) == DRIVE_NO_ROOT_DIR)
      missing = drive;
  }
  ASSERT_FALSE(missing.empty());
  EXPECT_EQ(installer.EnsureDirectory(U16(missing + "x\\y"), true), 3u);
  // A file where a level must go: the failure is the system's, nothing is
  // recorded and nothing is left.
  WriteFileBytes(root / "file", "x");
  EXPECT_NE(installer.EnsureDirectory(U16(root / "file/sub/deeper"), true), 0u);
  EXPECT_EQ(Created(installer), created);

  // The rollback removes what was recorded, the backup directory included.
  installer.Rollback(1223);
  EXPECT_FALSE(FileExists(root / "a"));
  EXPECT_TRUE(FileExists(root / "d/e"));
  EXPECT_EQ(CountEntriesStartingWith(root.path(), "brstp"), 0);
}

HANDLE OpenUnshared(const std::string& path) {
  U16String wide = U16(path);
  return CreateFileW(reinterpret_cast<const wchar_t*>(wide.Data()), GENERIC_READ, 0, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

// Held by another program for a moment (a scanner, an indexer): the move
// back waits for it; held for good, the backup stays where it is.
TEST(WindowsRestore, AFileHeldByAnotherProgram) {
  TempDir root;
  for (bool released : {true, false}) {
    SCOPED_TRACE(released ? "released after 300 ms" : "held throughout");
    WriteFileBytes(root / "backup", "original");
    WriteFileBytes(root / "place", "written by the run");
    HANDLE held = OpenUnshared(root / "place");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread releaser([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(released ? 300 : 2500));
      CloseHandle(held);
    });
    uint32_t result = MoveBackupIntoPlace(U16(root / "backup"), U16(root / "place"));
    releaser.join();
    if (released) {
      EXPECT_EQ(result, 0u);
      EXPECT_EQ(ReadFileBytes(root / "place"), "original");
      EXPECT_FALSE(FileExists(root / "backup"));
    } else {
      EXPECT_NE(result, 0u);
      EXPECT_EQ(ReadFileBytes(root / "backup"), "original");
      EXPECT_EQ(ReadFileBytes(root / "place"), "written by the run");
    }
  }
}

TEST(WindowsRestore, AReadOnlyBackupGoesWithItsDirectory) {
  TempDir root;
  MakeDirs(root / "brstp0/sub");
  WriteFileBytes(root / "brstp0/sub/original.txt", "read-only original");
  U16String file = U16(root / "brstp0/sub/original.txt");
  ASSERT_TRUE(
      SetFileAttributesW(reinterpret_cast<const wchar_t*>(file.Data()), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(RemoveTree(U16(root / "brstp0")), 0u);
  EXPECT_FALSE(FileExists(root / "brstp0"));
}

}  // namespace
