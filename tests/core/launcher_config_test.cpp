// The Linux form of reading and writing the settings file (locale bytes,
// descriptors, file-size limits).
#ifndef _WIN32

#include "core/launcher_config.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/settings_description.h"
#include "tests/support/test_support.h"

namespace {

struct ExpectedEntry {
  std::string key;  // UTF-8; invalid bytes stand for the units U+DC00 + byte
  std::vector<std::string> values;
};

std::string Describe(const std::vector<ExpectedEntry>& entries) {
  LauncherConfig config;
  for (const ExpectedEntry& entry : entries) {
    LauncherConfigEntry made{U16(entry.key), {}};
    for (const std::string& value : entry.values) made.values.push_back(U16(value));
    config.entries.push_back(made);
  }
  return DescribeSettings(config);
}

int OpenDescriptorCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}

// "k=" followed by filler so that the character's first byte sits at the
// given offset of the file.
std::string LineWithCharacterAt(size_t offset, const std::string& character) {
  return "k=" + std::string(offset - 2, 'x') + character + "\n";
}

class LauncherConfigTest : public ::testing::Test {
 protected:
  ScopedEnv locale_{"LC_ALL", "C.UTF-8"};
  TempDir dir_;
  std::string path_ = dir_ / "tarnlaunch.cfg";
};

struct RoundTrip {
  const char* name;
  std::string input;
  std::vector<ExpectedEntry> entries;           // after reading
  std::function<void(LauncherConfig&)> change;  // before writing, may be empty
  std::string output;
};

std::vector<RoundTrip> RoundTrips() {
  const std::string longValue = [] {
    std::string text;
    while (text.size() < 5000) text += "0123456789абвгд/";
    return text;
  }();
  const std::string twoByteAcross = LineWithCharacterAt(2047, "Ж");
  const std::string threeByteAcross = LineWithCharacterAt(2046, "€") + "next=1\n";
  const std::string fourByteAcross = LineWithCharacterAt(2045, "\xF0\x9F\x98\x80");
  // A second boundary inside one long line, after a first complete line.
  const std::string firstLine = "a=" + std::string(1500, 'y') + "\n";
  const std::string secondBoundary =
      firstLine + "b=" + std::string(4095 - firstLine.size() - 2, 'z') + "Ж\n";

  return {
      {"two equal signs", "a=b=c\n", {{"a", {"b=c"}}}, {}, "a=b=c\n"},
      {"blanks belong to key and value", " k = v \n", {{" k ", {" v "}}}, {}, " k = v \n"},
      {"line without equal sign, number sign is no comment",
       "#note\nplain\n",
       {{"#note", {""}}, {"plain", {""}}},
       {},
       "#note=\nplain=\n"},
      {"line starting with equal sign", "=text\n", {{"", {"text"}}}, {}, "=text\n"},
      {"blank lines and a lone equal sign are dropped",
       "\na=1\n\n=\n\nb=2\n",
       {{"a", {"1"}}, {"b", {"2"}}},
       {},
       "a=1\nb=2\n"},
      {"keys differing in case merge, repeated value kept once",
       "Key=one\nother=x\nKEY=two\nkey=ONE\n",
       {{"Key", {"one", "two"}}, {"other", {"x"}}},
       {},
       "Key=one\nKey=two\nother=x\n"},
      {"last line without line feed", "a=1\nb=2", {{"a", {"1"}}, {"b", {"2"}}}, {}, "a=1\nb=2\n"},
      {"CR LF line ends keep the CR",
       "a=1\r\nb\r\n",
       {{"a", {"1\r"}}, {"b\r", {""}}},
       {},
       "a=1\r\nb\r=\n"},
      {"byte-order mark is part of the first key",
       "\xEF\xBB\xBF"
       "a=1\n",
       {{"\xEF\xBB\xBF"
         "a",
         {"1"}}},
       {},
       "\xEF\xBB\xBF"
       "a=1\n"},
      {"non-ASCII text",
       "Путь=/home/пользователь\n",
       {{"Путь", {"/home/пользователь"}}},
       {},
       "Путь=/home/пользователь\n"},
      {"Latin-1 bytes survive in a UTF-8 locale",
       "caf\xE9=na\xEFve\n",
       {{"caf\xE9", {"na\xEFve"}}},
       {},
       "caf\xE9=na\xEFve\n"},
      {"UTF-16LE file is read without crashing",
       std::string("\xFF\xFE"
                   "a\0=\0"
                   "1\0\n\0",
                   10),
       {{"\xFF\xFE"
         "a",
         {"1"}}},
       {},
       "\xFF\xFE"
       "a=1\n"},
      {"zero bytes are dropped, the text around them kept",
       std::string("a\0b=c\0d\n\0\n", 10),
       {{"ab", {"cd"}}},
       {},
       "ab=cd\n"},
      {"empty file", "", {}, {}, ""},
      {"only line feeds", "\n\n\n", {}, {}, ""},
      {"line longer than a read block",
       "k=" + longValue + "\nz=1\n",
       {{"k", {longValue}}, {"z", {"1"}}},
       {},
       "k=" + longValue + "\nz=1\n"},
      {"two-byte character across the first block boundary",
       twoByteAcross,
       {{"k", {std::string(2045, 'x') + "Ж"}}},
       {},
       twoByteAcross},
      {"three-byte character across the first block boundary",
       threeByteAcross,
       {{"k", {std::string(2044, 'x') + "€"}}, {"next", {"1"}}},
       {},
       threeByteAcross},
      {"four-byte character across the first block boundary",
       fourByteAcross,
       {{"k", {std::string(2043, 'x') + "\xF0\x9F\x98\x80"}}},
       {},
       fourByteAcross},
      {"character across the second block boundary",
       secondBoundary,
       {{"a", {std::string(1500, 'y')}}, {"b", {std::string(4093 - firstLine.size(), 'z') + "Ж"}}},
       {},
       secondBoundary},
      {"SetValues with an empty list removes every line of the key",
       "a=1\nb=2\nA=3\nc=4\n",
       {{"a", {"1", "3"}}, {"b", {"2"}}, {"c", {"4"}}},
       [](LauncherConfig& config) { SetValues(config, U16("a"), {}); },
       "b=2\nc=4\n"},
      {"SetValues on an absent key appends it, list stored as given",
       "a=1\n",
       {{"a", {"1"}}},
       [](LauncherConfig& config) {
         SetValues(config, U16("New"), {U16("x"), U16("X")});
       },
       "a=1\nNew=x\nNew=X\n"},
      {"SetValues keeps the key's place and first spelling",
       "Conf=1\nb=2\nconf=3\n",
       {{"Conf", {"1", "3"}}, {"b", {"2"}}},
       [](LauncherConfig& config) { SetValues(config, U16("CONF"), {U16("z")}); },
       "Conf=z\nb=2\n"},
  };
}

TEST_F(LauncherConfigTest, FilesReadAndWrittenBack) {
  ASSERT_TRUE(LocaleExists("C.UTF-8"));
  for (const RoundTrip& row : RoundTrips()) {
    SCOPED_TRACE(row.name);
    WriteFileBytes(path_, row.input);
    LauncherConfig config;
    ReadLauncherConfig(U16(path_), config);
    EXPECT_EQ(DescribeSettings(config), Describe(row.entries));
    if (row.change) row.change(config);
    WriteLauncherConfig(U16(path_), config);
    EXPECT_EQ(ReadFileBytes(path_), row.output);
  }
}

TEST_F(LauncherConfigTest, InTheCLocaleEveryByteSurvives) {
  ScopedEnv c("LC_ALL", "C");
  const std::string input = "Путь=/home/пользователь\ncaf\xE9=\xFF\n";
  WriteFileBytes(path_, input);
  LauncherConfig config;
  ReadLauncherConfig(U16(path_), config);
  ASSERT_EQ(config.entries.size(), 2u);
  WriteLauncherConfig(U16(path_), config);
  EXPECT_EQ(ReadFileBytes(path_), input);
}

TEST_F(LauncherConfigTest, ReadingAddsToWhatIsThere) {
  LauncherConfig config;
  AddValue(config, U16("Keep"), U16("1"));
  ReadLauncherConfig(U16(dir_ / "missing.cfg"), config);
  ReadLauncherConfig(U16(dir_.path()), config);  // a directory opens but does not read
  EXPECT_EQ(DescribeSettings(config), "[Keep] <1>\n");

  WriteFileBytes(path_, "keep=2\nkeep=1\nother=3\n");
  ReadLauncherConfig(U16(path_), config);
  EXPECT_EQ(DescribeSettings(config), "[Keep] <1> <2>\n[other] <3>\n");
}

TEST_F(LauncherConfigTest, AddValueAndFindValuesIgnoreCase) {
  LauncherConfig config;
  EXPECT_TRUE(AddValue(config, U16("ConfigurationTemplatesLocation"), U16("/a")));
  EXPECT_FALSE(AddValue(config, U16("configurationtemplateslocation"), U16("/a")));
  EXPECT_FALSE(AddValue(config, U16("CONFIGURATIONTEMPLATESLOCATION"), U16("/A")));
  EXPECT_TRUE(AddValue(config, U16("configurationtemplateslocation"), U16("/b")));
  const std::vector<U16String>* values = FindValues(config, U16("ConfigurationTemplatesLOCATION"));
  ASSERT_NE(values, nullptr);
  ASSERT_EQ(values->size(), 2u);
  EXPECT_EQ(Utf8((*values)[1]), "/b");
  EXPECT_EQ(FindValues(config, U16("Other")), nullptr);
  // Case folding stops at ASCII in a UTF-8 locale.
  EXPECT_TRUE(AddValue(config, U16("Путь"), U16("x")));
  EXPECT_TRUE(AddValue(config, U16("ПУТЬ"), U16("x")));
  EXPECT_EQ(config.entries.size(), 3u);
}

int RaisedCode(const std::string& path, const LauncherConfig& config) {
  try {
    WriteLauncherConfig(U16(path), config);
  } catch (const SettingsWriteError& error) {
    return error.code;
  }
  return 0;
}

TEST_F(LauncherConfigTest, FileThatCannotBeWrittenRaisesCodeOneAndStaysAsItWas) {
  LauncherConfig config;
  AddValue(config, U16("a"), U16("1"));
  int descriptors = OpenDescriptorCount();
  // A device under the name is no settings file: renaming over it would
  // take it away.
  for (const std::string& path : {dir_ / "missing/tarnlaunch.cfg", dir_.path(),
                                  std::string("/dev/full"), std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(RaisedCode(path, config), 1);
  }
  struct stat status;
  ASSERT_EQ(stat("/dev/full", &status), 0);
  EXPECT_TRUE(S_ISCHR(status.st_mode));
  // An immutable file (the one kind that even root may not write) and a
  // folder in which no new file can be made.
  WriteFileBytes(path_, "old=1\n");
  if (Shell("chattr +i '" + path_ + "' 2>/dev/null") != 0) {
    GTEST_SKIP() << "chattr +i is not available on this file system";
  }
  EXPECT_EQ(RaisedCode(path_, config), 1);
  Shell("chattr -i '" + path_ + "'");
  Shell("chattr +i '" + dir_.path() + "'");
  EXPECT_EQ(RaisedCode(path_, config), 1);
  Shell("chattr -i '" + dir_.path() + "'");
  EXPECT_EQ(ReadFileBytes(path_), "old=1\n");
  EXPECT_EQ(ListTree(dir_.path()), std::vector<std::string>{"tarnlaunch.cfg"});
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

TEST_F(LauncherConfigTest, FailedWriteLeavesTheOldFileWhole) {
  std::vector<U16String> many;
  for (int i = 0; i < 2000; ++i) many.push_back(U16("/some/dir/" + std::to_string(i)));
  LauncherConfig config;
  SetValues(config, U16("Key"), many);
  WriteFileBytes(path_, "old contents\n");
  int descriptors = OpenDescriptorCount();
  // A file-size limit makes the disk refuse the rest of a real file.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit limited = saved;
  limited.rlim_cur = 10000;
  auto* oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  int code = RaisedCode(path_, config);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(ReadFileBytes(path_), "old contents\n");
  EXPECT_EQ(ListTree(dir_.path()), std::vector<std::string>{"tarnlaunch.cfg"})
      << "the new file is left behind";
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

TEST_F(LauncherConfigTest, ReplacementKeepsLinksAndPermissionBits) {
  LauncherConfig config;
  AddValue(config, U16("Key"), U16("new"));
  MakeDirs(dir_ / "real");
  struct Case {
    const char* name;
    std::string link;    // the settings path, a link to target ("" when none)
    std::string target;  // where the contents must end up
    mode_t mode;         // of the existing file; 0 when none exists
  } cases[] = {
      {"a plain file keeps its mode", "", dir_ / "plain.cfg", 0640},
      {"a relative link is followed", "rel.cfg", dir_ / "real/a.cfg", 0600},
      {"a chain of links is followed", "chain.cfg", dir_ / "real/b.cfg", 0644},
      {"a dangling link gets its target made", "dangling.cfg", dir_ / "real/c.cfg", 0},
  };
  Shell("cd '" + dir_.path() + "' && ln -s real/a.cfg rel.cfg && ln -s hop.cfg chain.cfg && " +
        "ln -s '" + dir_.path() + "/real/b.cfg' hop.cfg && ln -s real/c.cfg dangling.cfg");
  mode_t mask = umask(022);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.mode != 0) {
      WriteFileBytes(c.target, "Key=old\nOther=kept\n");
      ASSERT_EQ(chmod(c.target.c_str(), c.mode), 0);
    }
    std::string path = c.link.empty() ? c.target : dir_ / c.link;
    EXPECT_EQ(RaisedCode(path, config), 0);
    EXPECT_EQ(ReadFileBytes(c.target), "Key=new\n");
    struct stat status;
    ASSERT_EQ(lstat(c.target.c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, c.mode != 0 ? c.mode : 0644);
    if (!c.link.empty()) {
      ASSERT_EQ(lstat(path.c_str(), &status), 0);
      EXPECT_TRUE(S_ISLNK(status.st_mode)) << "the link was replaced by a file";
    }
  }
  umask(mask);
  EXPECT_EQ(ListTree(dir_.path()),
            (std::vector<std::string>{"chain.cfg", "dangling.cfg", "hop.cfg", "plain.cfg", "real/",
                                      "real/a.cfg", "real/b.cfg", "real/c.cfg", "rel.cfg"}));
}

}  // namespace

#endif  // _WIN32
