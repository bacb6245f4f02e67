// The Windows form of the fault runs at every entry: a failure at each entry
// of a small kit in turn, and a cancellation after each entry in turn, in a
// short and in a deep template directory. The kit holds one entry of every
// kind: one that replaces an older file, a new file in an existing
// directory, an entry that is up to date (skipped) and a new file in new
// directories. Every run must leave the template directory as it was.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/progress_channel.h"
#include "core/template_installer.h"
#include "localization/language_choice.h"
#include "tests/support/kit_times.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"
#include "tools/mkkit/kit_writer.h"

namespace {

constexpr int kEntries = 4;
constexpr int kUpToDateEntry = 2;

std::string EntryDirectory(int k) {
  return "d" + std::to_string(k) + "\\sub";
}

struct Publication {
  int32_t status;
  std::string text;
};

// The parameter: how long the template directory's path is (0: short).
class WindowsEveryEntryTest : public ::testing::TestWithParam<size_t> {
 protected:
  WindowsEveryEntryTest() : tmp_("TMP", (root_ / "tmp").c_str()) {
    MakeDirs(root_ / "tmp");
    ChooseLanguage("en");
    target_ = root_ / "templates";
    while (U16(target_).Length() < GetParam()) target_ += "\\" + std::string(40, 'x');
    std::vector<KitFile> files;
    for (int k = 0; k < kEntries; ++k) {
      files.push_back({U16(EntryDirectory(k) + "\\file.txt"), AsFileTime(kKitTime),
                       "kit " + std::to_string(k)});
    }
    KitDescription english{u"en", u"Product", u"Vendor", u"readme.html"};
    WriteFileBytes(root_ / "brvx.bkd", DeflateRaw(BuildWorkFile({english}, false, files)));
    kit_ = std::make_unique<DistributionKit>();
    EXPECT_EQ(ReadKit(*kit_, U16(root_ / "brvx.bkd")), 0u);
  }

  // The template directory before the run; with blocked >= 0 a regular file
  // stands where that entry's directory must be.
  void PrepareTarget(int blocked) {
    RemoveTree(U16(target_));
    MakeDirs(target_ + "\\d0\\sub");
    WriteFileBytes(target_ + "\\d0\\sub\\file.txt", "old 0");
    SetMTime(target_ + "\\d0\\sub\\file.txt", kOld);
    MakeDirs(target_ + "\\d1\\sub");
    MakeDirs(target_ + "\\d2\\sub");
    WriteFileBytes(target_ + "\\d2\\sub\\file.txt", "mine, newer");
    SetMTime(target_ + "\\d2\\sub\\file.txt", kNew);
    if (blocked >= 0) {
      std::string directory = target_ + "\\" + EntryDirectory(blocked);
      RemoveTree(U16(directory));
      MakeDirs(target_ + "\\d" + std::to_string(blocked));
      WriteFileBytes(directory, "a file where a directory must be");
    }
  }

  std::string EntryPath(int k) const { return target_ + "\\" + EntryDirectory(k) + "\\file.txt"; }

  // One installation on this thread; cancelAt: the entry whose publication
  // asks for the cancellation (-1: none).
  uint32_t Run(int cancelAt) {
    publications_.clear();
    cancelText_ = cancelAt >= 0 ? EntryPath(cancelAt) : std::string();
    channel_.Prepare(kit_.get(), U16(target_));
    channel_.SetNotifier(&WindowsEveryEntryTest::Record, this);
    TemplateInstaller installer(channel_);
    installer.SetFinishPause(0);
    uint32_t result = installer.InstallAll(channel_);
    channel_.SetNotifier(nullptr, nullptr);
    return result;
  }

  static void Record(void* data) {
    auto* self = static_cast<WindowsEveryEntryTest*>(data);
    Publication p;
    U16String text;
    self->channel_.Read(&p.status, &text, nullptr);
    p.text = Utf8(text);
    self->publications_.push_back(p);
    if (!self->cancelText_.empty() && p.text == self->cancelText_) self->channel_.RequestCancel();
  }

  void ExpectNothingLeft() {
    std::vector<std::string> left = ListTree(root_ / "tmp");
    EXPECT_EQ(left,
              std::vector<std::string>{Utf8(kit_->workPath).substr((root_ / "tmp").size() + 1)});
  }

  TempDir root_;
  ScopedEnv tmp_;
  std::string target_;
  std::unique_ptr<DistributionKit> kit_;
  ProgressChannel channel_;
  std::vector<Publication> publications_;
  std::string cancelText_;
};

TEST_P(WindowsEveryEntryTest, AFailureAtEachEntryRestoresTheDirectory) {
  for (int k = 0; k < kEntries; ++k) {
    SCOPED_TRACE("failing entry " + std::to_string(k));
    PrepareTarget(k);
    TreeSnapshot before = TakeSnapshot(target_);
    uint32_t result = Run(-1);
    EXPECT_NE(result, 0u);
    // Entries 0..k announced, then the error.
    ASSERT_EQ(publications_.size(), static_cast<size_t>(k + 2));
    EXPECT_EQ(publications_[k].text, EntryPath(k));
    EXPECT_EQ(publications_.back().status, static_cast<int32_t>(result));
    EXPECT_EQ(TakeSnapshot(target_), before);
    ExpectNothingLeft();
  }
}

TEST_P(WindowsEveryEntryTest, ACancellationAfterEachEntryRestoresTheDirectory) {
  for (int k = 0; k < kEntries; ++k) {
    SCOPED_TRACE("cancelled at entry " + std::to_string(k));
    PrepareTarget(-1);
    TreeSnapshot before = TakeSnapshot(target_);
    EXPECT_EQ(Run(k), 1223u);
    // Honoured after the next entry written: the up-to-date entry is passed
    // over, so its request lands one entry later.
    int last = k == kUpToDateEntry ? k + 1 : k;
    ASSERT_EQ(publications_.size(), static_cast<size_t>(last + 1));
    EXPECT_EQ(publications_.back().text, EntryPath(last));
    for (const Publication& p : publications_) EXPECT_EQ(p.status, 0);
    EXPECT_EQ(TakeSnapshot(target_), before);
    ExpectNothingLeft();
  }
}

INSTANTIATE_TEST_SUITE_P(TemplateDirectories, WindowsEveryEntryTest, ::testing::Values(0, 300),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           return info.param ? "Deep" : std::string("Short");
                         });

}  // namespace

#endif  // _WIN32
