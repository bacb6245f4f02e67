// File systems that run full during a run, each a real tmpfs of a few pages:
// the template directory's while an entry is written, the temporary
// directory's while the kit is unpacked and while a replaced file is moved
// into the backup directory. Afterwards the template directory is exactly as
// before and nothing of the run is left in the temporary directory.
#include <sys/statvfs.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/launcher_config.h"
#include "core/startup.h"
#include "localization/language_choice.h"
#include "tests/faults/fault_support.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"

namespace {

constexpr size_t KiB = 1024;
constexpr size_t MiB = 1024 * KiB;

uint64_t FreeBytes(const std::string& path) {
  struct statvfs s;
  if (statvfs(path.c_str(), &s) != 0) return 0;
  return static_cast<uint64_t>(s.f_bfree) * s.f_frsize;
}

std::string BaseName(const U16String& path) {
  std::string text = Utf8(path);
  return text.substr(text.rfind('/') + 1);
}

class FullFileSystemTest : public ::testing::Test {
 protected:
  FullFileSystemTest()
      : home_("HOME", (root_ / "home").c_str()), tmpdir_("TMPDIR", (root_ / "tmp").c_str()) {
    MakeDirs(root_ / "home");
    MakeDirs(root_ / "tmp");
    MakeDirs(root_ / "fs");
    ChooseLanguage("en");
  }

  // Reads the kit; the work file goes to the temporary directory of the moment.
  std::unique_ptr<DistributionKit> ReadTestKit(const std::vector<KitFileSpec>& files) {
    WriteKit(root_ / "brvx.bkd", files);
    auto kit = std::make_unique<DistributionKit>();
    EXPECT_EQ(ReadKit(*kit, U16(root_ / "brvx.bkd")), 0u);
    return kit;
  }

  // Declared first, so the mount (below) goes before the directory holding it.
  TempDir root_;
  ScopedEnv home_, tmpdir_;
  TmpfsMount mount_;
  RecordedInstall install_;
};

TEST_F(FullFileSystemTest, TemplateFileSystemRunsFullInTheMiddleOfAnEntry) {
  struct Case {
    const char* name;
    bool bigReplacesAFile;
    size_t oldASize;  // the replaced a.txt; larger than its replacement in one case
  } cases[] = {
      {"the large entry is a new file", false, 5},
      {"the large entry replaces an older file", true, 5},
      {"an earlier replaced file was larger than its replacement", false, 96 * KiB},
  };
  MOUNT_OR_SKIP(mount_, root_ / "fs", 256 * KiB);
  const std::string target = root_ / "fs/templates";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Shell("rm -rf '" + target + "'");
    MakeDirs(target + "/sub");
    WriteFileBytes(target + "/a.txt", IncompressibleBytes(c.oldASize, 7));
    WriteFileBytes(target + "/sub/b.txt", "old b");
    WriteFileBytes(target + "/keep.txt", "newer than the kit");
    SetMTime(target + "/a.txt", kOld);
    SetMTime(target + "/sub/b.txt", kOld);
    SetMTime(target + "/keep.txt", kNew);
    if (c.bigReplacesAFile) {
      WriteFileBytes(target + "/big.bin", "old big");
      SetMTime(target + "/big.bin", kOld);
    }
    TreeSnapshot before = TakeSnapshot(root_ / "fs");
    uint64_t freeBefore = FreeBytes(root_ / "fs");

    auto kit = ReadTestKit({{"a.txt", "kit a"},
                            {"sub\\b.txt", "kit b"},
                            {"keep.txt", "kit keep"},
                            {"new\\dir\\n.txt", "kit n"},
                            {"big.bin", IncompressibleBytes(1 * MiB)},
                            {"z.txt", "z"}});
    uint32_t result = install_.Run(*kit, target);
    EXPECT_NE(result, 0u);
    EXPECT_NE(result, 1223u);
    ASSERT_FALSE(install_.publications.empty());
    EXPECT_EQ(install_.publications.back().status, static_cast<int32_t>(result));
    EXPECT_EQ(install_.publications.back().percentage, 4 * 100 / 6);
    EXPECT_EQ(TakeSnapshot(root_ / "fs"), before);
    EXPECT_EQ(FreeBytes(root_ / "fs"), freeBefore) << "space still taken on the full volume";
    EXPECT_EQ(NamesIn(root_ / "tmp"), std::vector<std::string>{BaseName(kit->workPath)})
        << "only the work file may remain while the kit is open";
    kit.reset();
    EXPECT_EQ(NamesIn(root_ / "tmp"), std::vector<std::string>{});
  }
}

TEST_F(FullFileSystemTest, TemporaryFileSystemRunsFullWhileTheKitIsUnpacked) {
  struct Case {
    const char* name;
    std::vector<KitFileSpec> files;
    const char* expectedKey;
  } cases[] = {
      // A few KiB of kit (three times that fits) inflating to 4 MiB.
      {"the inflated data does not fit",
       {{"zeros.bin", std::string(4 * MiB, '\0')}, {"a.txt", "a"}},
       "IDS_ERROR_DAMAGEDSOURCE"},
      // 100 KiB that do not compress: three times that is more than is free.
      {"three times the kit does not fit",
       {{"noise.bin", IncompressibleBytes(100 * KiB)}},
       "IDS_ERROR_NOSPACE"},
  };
  MOUNT_OR_SKIP(mount_, root_ / "fs", 256 * KiB);
  ScopedEnv tempOnTheSmallVolume("TMPDIR", (root_ / "fs").c_str());
  MakeDirs(root_ / "dist");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteKit(root_ / "dist/brvx.bkd", c.files);
    uint64_t freeBefore = FreeBytes(root_ / "fs");
    TreeSnapshot homeBefore = TakeSnapshot(root_ / "home");
    RecordingReporter reporter;
    {
      SetupContext context;
      EXPECT_FALSE(RunStartupSequenceFor(context, U16(root_ / "dist/brvx.bkd"), reporter));
      EXPECT_TRUE(context.kit.entries.empty());
      EXPECT_TRUE(context.kit.workPath.IsEmpty());
      EXPECT_EQ(NamesIn(root_ / "fs"), std::vector<std::string>{});
    }
    EXPECT_EQ(reporter.keys, std::vector<std::string>{c.expectedKey});
    EXPECT_EQ(NamesIn(root_ / "fs"), std::vector<std::string>{});
    EXPECT_EQ(FreeBytes(root_ / "fs"), freeBefore);
    EXPECT_EQ(TakeSnapshot(root_ / "home"), homeBefore);
  }
}

TEST_F(FullFileSystemTest, TemporaryFileSystemRunsFullWhileAFileIsBackedUp) {
  // The template directory lies on another file system than the temporary
  // directory, so moving a replaced file into the backup copies it.
  struct Case {
    const char* name;
    std::vector<KitFileSpec> files;
    int failingEntry;
  } cases[] = {
      {"more entries follow",
       {{"a.txt", "kit a"}, {"big.dat", "kit big"}, {"c\\c.txt", "kit c"}},
       1},
      {"the last entry", {{"a.txt", "kit a"}, {"new.txt", "kit new"}, {"big.dat", "kit big"}}, 2},
  };
  MOUNT_OR_SKIP(mount_, root_ / "fs", 256 * KiB);
  ScopedEnv tempOnTheSmallVolume("TMPDIR", (root_ / "fs").c_str());
  const std::string target = root_ / "templates";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Shell("rm -rf '" + target + "'");
    MakeDirs(target);
    WriteFileBytes(target + "/a.txt", "old a");
    WriteFileBytes(target + "/big.dat", IncompressibleBytes(1 * MiB, 3));
    SetMTime(target + "/a.txt", kOld);
    SetMTime(target + "/big.dat", kOld);
    TreeSnapshot before = TakeSnapshot(target);

    auto kit = ReadTestKit(c.files);
    uint32_t result = install_.Run(*kit, target);
    EXPECT_NE(result, 0u) << "a file that could not be backed up was replaced";
    EXPECT_NE(result, 1223u);
    ASSERT_FALSE(install_.publications.empty());
    EXPECT_EQ(install_.publications.back().status, static_cast<int32_t>(result));
    EXPECT_EQ(install_.publications.back().percentage, c.failingEntry * 100 / 3);
    EXPECT_EQ(TakeSnapshot(target), before);
    EXPECT_EQ(NamesIn(root_ / "fs"), std::vector<std::string>{BaseName(kit->workPath)});
    kit.reset();
    EXPECT_EQ(NamesIn(root_ / "fs"), std::vector<std::string>{});
  }
}

TEST_F(FullFileSystemTest, SettingsFileOnAFullFileSystemKeepsItsBytes) {
  MOUNT_OR_SKIP(mount_, root_ / "fs", 64 * KiB);
  const std::string path = root_ / "fs/tarnlaunch.cfg";
  std::string old;
  for (int i = 0; old.size() < 8 * KiB; ++i)
    old += "InstalledLocation=/opt/launcher/" + std::to_string(i) + "\n";
  WriteFileBytes(path, old);
  // Filler takes every block that is left.
  FILE* filler = fopen((root_ / "fs/filler").c_str(), "wb");
  ASSERT_NE(filler, nullptr);
  const std::string block(KiB, 'f');
  while (fwrite(block.data(), 1, block.size(), filler) == block.size() && fflush(filler) == 0) {
  }
  fclose(filler);
  ASSERT_LT(FreeBytes(root_ / "fs"), 4 * KiB);

  LauncherConfig small, large;
  ReadLauncherConfig(U16(path), small);
  ReadLauncherConfig(U16(path), large);
  SetValues(small, U16("ConfigurationTemplatesLocation"), {U16("/t")});
  std::vector<U16String> many;
  for (int i = 0; i < 500; ++i) many.push_back(U16("/templates/" + std::to_string(i)));
  SetValues(large, U16("ConfigurationTemplatesLocation"), many);
  for (const LauncherConfig* config : {&small, &large}) {
    int code = 0;
    try {
      WriteLauncherConfig(U16(path), *config);
    } catch (const SettingsWriteError& error) {
      code = error.code;
    }
    EXPECT_EQ(code, 2);
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(NamesIn(root_ / "fs"), (std::vector<std::string>{"filler", "tarnlaunch.cfg"}));
  }
}

}  // namespace
