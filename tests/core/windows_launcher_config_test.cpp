// The settings file on Windows: byte-order marks decide the encoding, the
// runtime's text mode turns CR LF into line feeds and back.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/launcher_config.h"
#include "tests/support/settings_description.h"
#include "tests/support/test_support.h"

namespace {

// Bytes in the ANSI code page of UTF-8 text.
std::string Ansi(const std::string& utf8) {
  NarrowString bytes = ToNarrow(U16(utf8));
  return std::string(bytes.Data(), bytes.Length());
}

const std::string kUtf16Mark = "\xFF\xFE";
const std::string kUtf8Mark = "\xEF\xBB\xBF";

struct RoundTrip {
  const char* name;
  std::string input;  // the file's bytes; "(none)" for no file at all
  std::string read;   // Describe() of what was read
  std::function<void(LauncherConfig&)> change;
  std::string written;  // the file's bytes afterwards
};

// "é" is in every Western ANSI code page and "Ж" in none of them.
bool WesternCodePage() {
  return GetACP() == 1252;
}

std::vector<RoundTrip> RoundTrips() {
  auto addRussian = [](LauncherConfig& config) {
    AddValue(config, U16("ConfigurationTemplatesLocation"), U16("C:\\Шаблоны"));
  };
  std::string longValue(3000, 'v');
  return {
      {"UTF-8 with a mark becomes UTF-16LE with a mark",
       kUtf8Mark + "Key=Значение\r\nOther=a=b\r\n",
       "[Key] <\\u0417\\u043D\\u0430\\u0447\\u0435\\u043D\\u0438\\u0435>\n[Other] <a=b>\n",
       {},
       kUtf16Mark + Utf16le("Key=Значение\r\nOther=a=b\r\n")},
      {"UTF-16LE with a mark stays so; a last line without line end gets one",
       kUtf16Mark + Utf16le("Key=v1\r\nkey=V2\r\nplain"),
       "[Key] <v1> <V2>\n[plain] <>\n",
       {},
       kUtf16Mark + Utf16le("Key=v1\r\nKey=V2\r\nplain=\r\n")},
      {"without a mark: the ANSI code page, CR LF kept, blank lines dropped",
       Ansi("Key=café\r\n\r\nB=x\r\n"),
       "[Key] <caf\\u00E9>\n[B] <x>\n",
       {},
       Ansi("Key=café\r\nB=x\r\n")},
      {"a bare line feed is read as a line end and written as CR LF",
       "a=1\nb=2\n",
       "[a] <1>\n[b] <2>\n",
       {},
       "a=1\r\nb=2\r\n"},
      {"a file that does not exist is written as UTF-16LE with a mark", "(none)", "", addRussian,
       kUtf16Mark + Utf16le("ConfigurationTemplatesLocation=C:\\Шаблоны\r\n")},
      // Through the code page the value would come back as "C:\???????".
      {"a text the ANSI code page lacks makes the file UTF-16LE", "Other=1\r\n", "[Other] <1>\n",
       addRussian,
       kUtf16Mark + Utf16le("Other=1\r\nConfigurationTemplatesLocation=C:\\Шаблоны\r\n")},
      {"lines longer than a read block",
       kUtf16Mark + Utf16le("k=" + longValue + "\r\nx=\r\n"),
       "[k] <v*3000>\n[x] <>\n",
       {},
       kUtf16Mark + Utf16le("k=" + longValue + "\r\nx=\r\n")},
  };
}

TEST(WindowsLauncherConfig, EncodingsAndLineEnds) {
  ASSERT_TRUE(WesternCodePage()) << "run the tests with LANG=en_US.UTF-8 (code page " << GetACP()
                                 << ")";
  for (const RoundTrip& trip : RoundTrips()) {
    SCOPED_TRACE(trip.name);
    TempDir dir;
    std::string path = dir / "tarnlaunch.cfg";
    if (trip.input != "(none)") WriteFileBytes(path, trip.input);
    LauncherConfig config;
    ReadLauncherConfig(U16(path), config);
    EXPECT_EQ(DescribeSettings(config), trip.read);
    if (trip.change) trip.change(config);
    WriteLauncherConfig(U16(path), config);
    EXPECT_EQ(ReadFileBytes(path), trip.written);
    // What was written reads back as what was meant.
    LauncherConfig again;
    ReadLauncherConfig(U16(path), again);
    EXPECT_EQ(DescribeSettings(again), DescribeSettings(config));
  }
}

TEST(WindowsLauncherConfig, AFileThatCannotBeOpenedForWriting) {
  TempDir dir;
  MakeDirs(dir / "tarnlaunch.cfg");
  LauncherConfig config;
  AddValue(config, U16("a"), U16("b"));
  try {
    WriteLauncherConfig(U16(dir / "tarnlaunch.cfg"), config);
    ADD_FAILURE() << "no error raised";
  } catch (const SettingsWriteError& error) {
    EXPECT_EQ(error.code, SettingsWriteError::kCannotOpen);
  }
  // A file kept open without sharing by somebody else is left as it was.
  std::string busy = dir / "busy.cfg";
  WriteFileBytes(busy, "a=old\r\n");
  HANDLE held = CreateFileW(reinterpret_cast<const wchar_t*>(U16(busy).Data()), GENERIC_READ, 0,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_THROW(WriteLauncherConfig(U16(busy), config), SettingsWriteError);
  CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(busy), "a=old\r\n");
  LauncherConfig missing;
  ReadLauncherConfig(U16(dir / "no such file"), missing);
  EXPECT_TRUE(missing.entries.empty());
}

// The file is replaced whole: the old one keeps its attributes, a read-only
// one is refused, and no new file is left in the folder.
TEST(WindowsLauncherConfig, ReplacedWholeWithItsAttributes) {
  TempDir dir;
  std::string path = dir / "tarnlaunch.cfg";
  LauncherConfig config;
  AddValue(config, U16("a"), U16("new"));
  WriteFileBytes(path, "a=old\r\n");
  U16String widePath = U16(path);
  const wchar_t* name = reinterpret_cast<const wchar_t*>(widePath.Data());
  ASSERT_TRUE(SetFileAttributesW(name, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  WriteLauncherConfig(widePath, config);
  EXPECT_EQ(ReadFileBytes(path), "a=new\r\n");
  DWORD attributes = GetFileAttributesW(name);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << std::hex << attributes;

  ASSERT_TRUE(SetFileAttributesW(name, FILE_ATTRIBUTE_READONLY));
  LauncherConfig other;
  AddValue(other, U16("a"), U16("other"));
  try {
    WriteLauncherConfig(widePath, other);
    ADD_FAILURE() << "a read-only file was replaced";
  } catch (const SettingsWriteError& error) {
    EXPECT_EQ(error.code, SettingsWriteError::kCannotOpen);
  }
  SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFileBytes(path), "a=new\r\n");
  EXPECT_EQ(ListTree(dir.path()), std::vector<std::string>{"tarnlaunch.cfg"});
}

}  // namespace

#endif  // _WIN32
