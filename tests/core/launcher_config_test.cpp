// The Linux form of reading and writing the settings file (locale bytes,
// descriptors, file-size limits).
#ifndef _WIN32

#include "core/launcher_config.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

struct ExpectedEntry {
  std::string key;  // UTF-8; invalid bytes stand for the units U+DC00 + byte
  std::vector<std::string> values;
};

// One line per entry, every unit outside printable ASCII as \uXXXX, so that
// a wrongly decoded character cannot pass for the right one. Long runs of one
// unit are shortened to "x*count".
std::string Describe(const LauncherConfig& config) {
  auto escape = [](const U16String& text) {
    std::string out;
    for (size_t i = 0; i < text.Length(); ++i) {
      char16_t unit = text[i];
      size_t run = 1;
      while (i + run < text.Length() && text[i + run] == unit) ++run;
      if (run > 8 && unit >= 0x20 && unit < 0x7F) {
        out += static_cast<char>(unit) + std::string("*") + std::to_string(run);
        i += run - 1;
      } else if (unit >= 0x20 && unit < 0x7F) {
        out += static_cast<char>(unit);
      } else {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(unit));
        out += buffer;
      }
    }
    return out;
  };
  std::string out;
  for (const LauncherConfigEntry& entry : config.entries) {
    out += "[" + escape(entry.key) + "]";
    for (const U16String& value : entry.values) out += " <" + escape(value) + ">";
    out += "\n";
  }
  return out;
}

std::string Describe(const std::vector<ExpectedEntry>& entries) {
  LauncherConfig config;
  for (const ExpectedEntry& entry : entries) {
    LauncherConfigEntry made{U16(entry.key), {}};
    for (const std::string& value : entry.values) made.values.push_back(U16(value));
    config.entries.push_back(made);
  }
  return Describe(config);
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
    EXPECT_EQ(Describe(config), Describe(row.entries));
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
  EXPECT_EQ(Describe(config), "[Keep] <1>\n");

  WriteFileBytes(path_, "keep=2\nkeep=1\nother=3\n");
  ReadLauncherConfig(U16(path_), config);
  EXPECT_EQ(Describe(config), "[Keep] <1> <2>\n[other] <3>\n");
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

TEST_F(LauncherConfigTest, FileThatCannotBeOpenedRaisesCodeOne) {
  LauncherConfig config;
  AddValue(config, U16("a"), U16("1"));
  int descriptors = OpenDescriptorCount();
  for (const std::string& path : {dir_ / "missing/tarnlaunch.cfg", dir_.path()}) {
    SCOPED_TRACE(path);
    try {
      WriteLauncherConfig(U16(path), config);
      ADD_FAILURE() << "no error raised";
    } catch (const SettingsWriteError& error) {
      EXPECT_EQ(error.code, 1);
    }
  }
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

TEST_F(LauncherConfigTest, ContentsThatCannotBeStoredRaiseCodeTwo) {
  LauncherConfig small, large;
  AddValue(small, U16("a"), U16("1"));
  std::vector<U16String> many;
  for (int i = 0; i < 2000; ++i) many.push_back(U16("/some/dir/" + std::to_string(i)));
  SetValues(large, U16("Key"), many);
  int descriptors = OpenDescriptorCount();
  // Small contents fail only when the stream's buffer is stored at closing.
  for (const LauncherConfig* config : {&small, &large}) {
    try {
      WriteLauncherConfig(U16("/dev/full"), *config);
      ADD_FAILURE() << "no error raised for " << config->entries[0].values.size() << " lines";
    } catch (const SettingsWriteError& error) {
      EXPECT_EQ(error.code, 2);
    }
  }
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

TEST_F(LauncherConfigTest, FailedWriteLeavesTheLinesBeforeTheFailure) {
  std::vector<U16String> many;
  std::string full;
  for (int i = 0; i < 2000; ++i) {
    std::string value = "/some/dir/" + std::to_string(i);
    many.push_back(U16(value));
    full += "Key=" + value + "\n";
  }
  LauncherConfig config;
  SetValues(config, U16("Key"), many);
  WriteFileBytes(path_, "old contents\n");
  // A file-size limit makes the disk refuse the rest of a real file.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit limited = saved;
  limited.rlim_cur = 10000;
  auto* oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  int code = 0;
  try {
    WriteLauncherConfig(U16(path_), config);
  } catch (const SettingsWriteError& error) {
    code = error.code;
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(code, 2);
  std::string written = ReadFileBytes(path_);
  EXPECT_EQ(written.size(), 10000u);
  EXPECT_EQ(written, full.substr(0, written.size()));
}

}  // namespace

#endif  // _WIN32
