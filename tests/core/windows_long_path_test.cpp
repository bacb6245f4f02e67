// Paths beyond the classic 260-unit limit on Windows: the extended form that
// every file-system call gets, the writability probe in a deep directory,
// and installations, updates, rollbacks and the settings file there.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/launcher_config.h"
#include "core/progress_channel.h"
#include "core/template_installer.h"
#include "core/template_location.h"
#include "localization/language_choice.h"
#include "platform/fs_helpers.h"
#include "platform/win32/extended_path.h"
#include "tests/support/kit_times.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"
#include "tools/mkkit/kit_writer.h"

namespace {

constexpr int64_t kUpdate = 1650000000;  // 2022

// base, then levels of at most 60 characters, exactly length units long.
std::string DeepDirectory(const std::string& base, size_t length) {
  std::string path = base;
  for (int level = 0; U16(path).Length() < length; ++level) {
    size_t room = length - U16(path).Length() - 1;
    std::string name = "level" + std::to_string(level) + "-";
    name += std::string(60, 'd');
    path += "\\" + name.substr(0, room < 60 ? room : 60);
  }
  return path;
}

TEST(ExtendedPath, LongPathsGetTheExtendedFormShortOnesStayAsTheyAre) {
  const std::wstring deep = L"\\" + std::wstring(250, L'x');
  struct Case {
    std::wstring path, expected;
  } cases[] = {
      {L"C:\\short\\name.txt", L"C:\\short\\name.txt"},
      {L"C:/short/name.txt", L"C:/short/name.txt"},
      {L"C:\\a" + deep, L"\\\\?\\C:\\a" + deep},
      {L"C:/a/b" + deep, L"\\\\?\\C:\\a\\b" + deep},
      {L"C:\\a\\.\\b\\..\\c" + deep, L"\\\\?\\C:\\a\\c" + deep},
      {L"\\\\server\\share" + deep, L"\\\\?\\UNC\\server\\share" + deep},
      {L"//server/share" + deep, L"\\\\?\\UNC\\server\\share" + deep},
      {L"\\\\?\\C:\\a" + deep, L"\\\\?\\C:\\a" + deep},
      {L"\\\\?\\UNC\\server\\share" + deep, L"\\\\?\\UNC\\server\\share" + deep},
  };
  for (const Case& c : cases) {
    U16String path(reinterpret_cast<const char16_t*>(c.path.c_str()), c.path.size());
    EXPECT_EQ(ExtendedPath(path), c.expected) << Utf8(path);
  }
  // Relative: made absolute from the current directory.
  std::wstring relative = L"sub" + deep;
  wchar_t current[MAX_PATH + 1];
  DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, current);
  ASSERT_GT(length, 0u);
  std::wstring base(current, length);
  if (base.back() != L'\\') base += L'\\';
  std::wstring made =
      ExtendedPath(U16String(reinterpret_cast<const char16_t*>(relative.c_str()), relative.size()));
  std::wstring expected = base + relative;
  if (expected.compare(0, 2, L"\\\\") == 0) {
    expected = L"\\\\?\\UNC\\" + expected.substr(2);
  } else {
    expected = L"\\\\?\\" + expected;
  }
  EXPECT_EQ(made, expected);
}

class LongPathTest : public ::testing::TestWithParam<size_t> {
 protected:
  LongPathTest() : tmp_("TMP", (root_ / "tmp").c_str()) {
    MakeDirs(root_ / "tmp");
    ChooseLanguage("en");
    target_ = DeepDirectory(root_.path(), GetParam());
  }

  void MakeKit(const std::vector<std::pair<std::string, std::string>>& files, int64_t time) {
    std::vector<KitFile> kitFiles;
    for (const auto& [name, data] : files) kitFiles.push_back({U16(name), AsFileTime(time), data});
    KitDescription english{u"en", u"Product", u"Vendor", u"readme.html"};
    WriteFileBytes(root_ / "brvx.bkd", DeflateRaw(BuildWorkFile({english}, false, kitFiles)));
    kit_ = std::make_unique<DistributionKit>();
    ASSERT_EQ(ReadKit(*kit_, U16(root_ / "brvx.bkd")), 0u);
  }

  uint32_t Install() {
    channel_.Prepare(kit_.get(), U16(target_));
    TemplateInstaller installer(channel_);
    installer.SetFinishPause(0);
    return installer.InstallAll(channel_);
  }

  TempDir root_;
  ScopedEnv tmp_;
  std::string target_;
  std::unique_ptr<DistributionKit> kit_;
  ProgressChannel channel_;
};

TEST_P(LongPathTest, TheProbeQualifiesTheDirectoryAndLeavesNothing) {
  ASSERT_EQ(U16(target_).Length(), GetParam());
  ASSERT_EQ(MakeDirectoryPath(U16(target_)), 0u);
  EXPECT_TRUE(ProbeWritable(U16(target_)));
  EXPECT_TRUE(ProbeWritable(U16(target_ + "\\")));
  EXPECT_TRUE(ListTree(target_).empty()) << "the probe left " << ListTree(target_)[0];
  // A directory that does not exist does not qualify, and gets nothing.
  EXPECT_FALSE(ProbeWritable(U16(target_ + "\\missing")));
  EXPECT_TRUE(ListTree(target_).empty());

  // The scratch names are the system's form: "Tar", four hex digits, ".tmp".
  U16String made;
  ASSERT_EQ(CreateTempFileIn(U16(target_), U16String(u"Tarn"), &made), 0u);
  std::string name = Utf8(made).substr(target_.size() + 1);
  EXPECT_EQ(name.size(), 11u) << name;
  EXPECT_EQ(name.substr(0, 3), "Tar");
  EXPECT_EQ(name.substr(7), ".tmp");
  EXPECT_TRUE(PathExists(made));
  EXPECT_EQ(DeleteFilePath(made), 0u);
}

TEST_P(LongPathTest, InstallUpdateRollBackAndRecordBeyondTheLimit) {
  // Entries whose paths pass 260 units even under a short target.
  const std::string longName =
      "conf\\" + std::string(120, 'n') + "\\" + std::string(120, 'm') + ".cfg";
  MakeKit({{"a.txt", "alpha"}, {longName, "deep"}, {"sub\\b.txt", "beta"}}, kKitTime);
  ASSERT_EQ(Install(), 0u);
  EXPECT_EQ(ReadFileBytes(target_ + "\\a.txt"), "alpha");
  EXPECT_EQ(ReadFileBytes(target_ + "\\" + longName), "deep");
  EXPECT_EQ(GetMTime(target_ + "\\" + longName), kKitTime);
  EXPECT_EQ(CountEntriesStartingWith(root_ / "tmp", "brstp"), 0);

  // An update replaces the older files through the backup directory.
  SetMTime(target_ + "\\sub\\b.txt", kOld);
  WriteFileBytes(target_ + "\\mine.txt", "the user's own");
  MakeKit({{"a.txt", "alpha 2"}, {longName, "deep 2"}, {"sub\\b.txt", "beta 2"}}, kUpdate);
  ASSERT_EQ(Install(), 0u);
  EXPECT_EQ(ReadFileBytes(target_ + "\\" + longName), "deep 2");
  EXPECT_EQ(ReadFileBytes(target_ + "\\sub\\b.txt"), "beta 2");
  EXPECT_EQ(ReadFileBytes(target_ + "\\mine.txt"), "the user's own");

  // A failure at the last entry puts everything back, the deep file too.
  WriteFileBytes(target_ + "\\zz", "a file where the kit needs a directory");
  TreeSnapshot before = TakeSnapshot(target_);
  MakeKit(
      {{"a.txt", "alpha 3"}, {longName, "deep 3"}, {"new\\dir\\n.txt", "n"}, {"zz\\c.txt", "c"}},
      kUpdate + 100);
  EXPECT_NE(Install(), 0u);
  EXPECT_EQ(TakeSnapshot(target_), before);
  EXPECT_FALSE(FileExists(target_ + "\\new"));
  EXPECT_EQ(CountEntriesStartingWith(root_ / "tmp", "brstp"), 0);

  // The settings file, written and read back under the deep directory.
  const std::string settings = target_ + "\\Tarn\\TarnLaunch\\tarnlaunch.cfg";
  ASSERT_EQ(MakeDirectoryPath(U16(target_ + "\\Tarn\\TarnLaunch")), 0u);
  LauncherConfig written;
  SetValues(written, kTemplatesLocationKey, {U16(target_)});
  WriteLauncherConfig(U16(settings), written);
  LauncherConfig read;
  ReadLauncherConfig(U16(settings), read);
  const std::vector<U16String>* values = FindValues(read, kTemplatesLocationKey);
  ASSERT_NE(values, nullptr);
  ASSERT_EQ(values->size(), 1u);
  EXPECT_EQ(Utf8((*values)[0]), target_);
}

// Beyond what the system takes at all (32767 units): the probe says no and
// an installation fails as any failed file operation does, nothing left.
TEST(LongPath, APathBeyondTheSystemsLimitFailsLikeAnyOtherFileOperation) {
  TempDir root;
  ScopedEnv tmp("TMP", (root / "tmp").c_str());
  MakeDirs(root / "tmp");
  ChooseLanguage("en");
  std::string target = root.path();
  while (U16(target).Length() < 33000) target += "\\" + std::string(200, 'x');
  EXPECT_FALSE(ProbeWritable(U16(target)));

  KitDescription english{u"en", u"Product", u"Vendor", u"readme.html"};
  WriteFileBytes(
      root / "brvx.bkd",
      DeflateRaw(BuildWorkFile({english}, false, {{u"a.txt", AsFileTime(kKitTime), "a"}})));
  DistributionKit kit;
  ASSERT_EQ(ReadKit(kit, U16(root / "brvx.bkd")), 0u);
  ProgressChannel channel;
  channel.Prepare(&kit, U16(target));
  TemplateInstaller installer(channel);
  installer.SetFinishPause(0);
  uint32_t result = installer.InstallAll(channel);
  EXPECT_NE(result, 0u);
  int32_t status = 0;
  U16String text;
  channel.Read(&status, &text, nullptr);
  EXPECT_EQ(status, static_cast<int32_t>(result));
  EXPECT_EQ(Utf8(text), "Installation error");
  EXPECT_EQ(CountEntriesStartingWith(root / "tmp", "brstp"), 0);
}

INSTANTIATE_TEST_SUITE_P(DeepTemplateDirectories, LongPathTest, ::testing::Values(280, 400),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           return std::to_string(info.param) + "Units";
                         });

}  // namespace

#endif  // _WIN32
