// The installer's Windows form of making directories: an existing one is
// left alone, a new one is recorded by its outermost new level, and a
// failure climbs to the drive's root and no further.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
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

}  // namespace

#endif  // _WIN32
