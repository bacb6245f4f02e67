// A failure at each entry of a small kit in turn, and a cancellation after
// each entry in turn. The kit holds one entry of every kind: one that
// replaces an older file, a new file in an existing directory, an entry that
// is up to date (skipped) and a new file in new directories. Every run must
// leave the template directory exactly as it was.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "localization/language_choice.h"
#include "tests/faults/fault_support.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"

namespace {

constexpr int kEntries = 4;
constexpr int kUpToDateEntry = 2;

std::string EntryDirectory(int k) {
  return "d" + std::to_string(k) + "/sub";
}

class EveryEntryTest : public ::testing::Test {
 protected:
  EveryEntryTest() : tmpdir_("TMPDIR", (root_ / "tmp").c_str()) {
    MakeDirs(root_ / "tmp");
    ChooseLanguage("en");
    std::vector<KitFileSpec> files;
    for (int k = 0; k < kEntries; ++k)
      files.push_back({"d" + std::to_string(k) + "\\sub\\file.txt", "kit " + std::to_string(k)});
    WriteKit(root_ / "brvx.bkd", files);
    kit_ = std::make_unique<DistributionKit>();
    EXPECT_EQ(ReadKit(*kit_, U16(root_ / "brvx.bkd")), 0u);
  }

  // The template directory before the run; with blocked >= 0 a regular file
  // stands where that entry's directory must be.
  void PrepareTarget(int blocked) {
    Shell("rm -rf '" + target_ + "'");
    MakeDirs(target_ + "/d0/sub");
    WriteFileBytes(target_ + "/d0/sub/file.txt", "old 0");
    SetMTime(target_ + "/d0/sub/file.txt", kOld);
    MakeDirs(target_ + "/d1/sub");
    MakeDirs(target_ + "/d2/sub");
    WriteFileBytes(target_ + "/d2/sub/file.txt", "mine, newer");
    SetMTime(target_ + "/d2/sub/file.txt", kNew);
    if (blocked >= 0) {
      std::string directory = target_ + "/" + EntryDirectory(blocked);
      Shell("rm -rf '" + directory + "'");
      MakeDirs(target_ + "/d" + std::to_string(blocked));
      WriteFileBytes(directory, "a file where a directory must be");
    }
  }

  std::string EntryPath(int k) const { return target_ + "/" + EntryDirectory(k) + "/file.txt"; }

  void ExpectNothingLeft() {
    EXPECT_EQ(NamesIn(root_ / "tmp"),
              std::vector<std::string>{Utf8(kit_->workPath).substr((root_ / "tmp/").size())});
  }

  TempDir root_;
  ScopedEnv tmpdir_;
  std::string target_ = root_ / "templates";
  std::unique_ptr<DistributionKit> kit_;
  RecordedInstall install_;
};

TEST_F(EveryEntryTest, AFailureAtEachEntryRestoresTheDirectory) {
  for (int k = 0; k < kEntries; ++k) {
    SCOPED_TRACE("failing entry " + std::to_string(k));
    PrepareTarget(k);
    TreeSnapshot before = TakeSnapshot(target_);
    EXPECT_EQ(install_.Run(*kit_, target_), 3u);
    // Entries 0..k announced, then the error with entry k's percentage.
    ASSERT_EQ(install_.publications.size(), static_cast<size_t>(k + 2));
    EXPECT_EQ(install_.publications[k].text, EntryPath(k));
    EXPECT_EQ(install_.publications.back().status, 3);
    EXPECT_EQ(install_.publications.back().percentage, k * 100 / kEntries);
    EXPECT_EQ(TakeSnapshot(target_), before);
    ExpectNothingLeft();
  }
}

TEST_F(EveryEntryTest, ACancellationAfterEachEntryRestoresTheDirectory) {
  for (int k = 0; k < kEntries; ++k) {
    SCOPED_TRACE("cancelled at entry " + std::to_string(k));
    PrepareTarget(-1);
    TreeSnapshot before = TakeSnapshot(target_);
    const std::string announced = EntryPath(k);
    EXPECT_EQ(install_.Run(*kit_, target_,
                           [&](const Publication& p, ProgressChannel& channel) {
                             if (p.text == announced) channel.RequestCancel();
                           }),
              1223u);
    // The request is honoured after the next entry that is written: the
    // up-to-date entry is passed over, so its request lands one entry later.
    int last = k == kUpToDateEntry ? k + 1 : k;
    ASSERT_EQ(install_.publications.size(), static_cast<size_t>(last + 1))
        << "a cancelled run publishes nothing at its end";
    EXPECT_EQ(install_.publications.back().text, EntryPath(last));
    for (const Publication& p : install_.publications) EXPECT_EQ(p.status, 0);
    EXPECT_EQ(TakeSnapshot(target_), before);
    ExpectNothingLeft();
  }
}

}  // namespace
