// The Windows startup: its command line of wide arguments and the kit's
// place beside the program.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/startup.h"
#include "tests/support/process_win32.h"
#include "tests/support/test_support.h"

namespace {

CommandLineOptions Parse(const std::vector<std::u16string>& words) {
  std::vector<std::wstring> storage = {L"setup.exe"};
  for (const std::u16string& word : words) storage.emplace_back(word.begin(), word.end());
  std::vector<wchar_t*> argv;
  for (std::wstring& word : storage) argv.push_back(word.data());
  argv.push_back(nullptr);
  return ParseCommandLine(static_cast<int>(storage.size()), argv.data());
}

TEST(WindowsCommandLine, SlashOptionsAndTheScanThatStopsAtTheLanguage) {
  struct Case {
    std::vector<std::u16string> words;
    bool silent, hasLanguage;
    const char* code;  // UTF-8
  } cases[] = {
      {{}, false, false, ""},
      {{u"/S", u"/Lru"}, true, true, "ru"},
      {{u"/Lru", u"/S"}, false, true, "ru"},
      {{u"/Lxx", u"/S"}, false, true, "xx"},
      {{u"/s", u"/lHU"}, true, true, "HU"},
      {{u"/Silent"}, true, false, ""},
      {{u"/L"}, false, true, ""},
      {{u"/Lрус"}, false, true, "рус"},
      // No "-" prefix and no working-directory option on Windows.
      {{u"-S", u"-Lru"}, false, false, ""},
      {{u"usecwd", u"/S"}, true, false, ""},
      {{u"", u"/", u"//S", u"S"}, false, false, ""},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::u16string& w : c.words) shown += Utf8(U16String(w.c_str())) + " ";
    CommandLineOptions o = Parse(c.words);
    EXPECT_FALSE(o.useWorkingDirectory) << shown;
    EXPECT_EQ(o.silentMode, c.silent) << shown;
    EXPECT_EQ(o.hasLanguage, c.hasLanguage) << shown;
    EXPECT_EQ(std::string(o.languageCode.Data()), c.code) << shown;
  }
}

// The probe reports the kit path that LocateKit finds in its process.
std::string KitPathOf(const std::string& program) {
  std::string output;
  if (RunProgram(program, {}, &output) != 0) return "(did not run)";
  size_t kit = output.find("kit=");
  if (kit == std::string::npos) return "";
  std::string line = output.substr(kit + 4, output.find('\n', kit) - kit - 4);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// Windows starts no program whose path reaches 260 characters, so the
// longest program path there can be is 259 characters: it fills the
// buffer that the path is read into all but its end mark.
TEST(WindowsKitPath, BesideTheProgramAlsoForTheLongestProgramPath) {
  std::string probe = ProgramBesideTests("setup_startup_probe.exe");
  std::string folder = probe.substr(0, probe.rfind('\\') + 1);
  EXPECT_EQ(KitPathOf(probe), folder + "brvx.bkd");

  TempDir dir;
  std::string deep = dir.path() + "\\Шаблоны\\";
  const std::string name = "setup.exe";
  size_t units = U16(deep + name).Length();
  ASSERT_LT(units, 250u);
  deep += std::string(259 - units - 1, 'x') + "\\";
  MakeDirs(deep);
  std::string copy = deep + name;
  ASSERT_EQ(U16(copy).Length(), 259u);
  ASSERT_TRUE(CopyFileW(reinterpret_cast<const wchar_t*>(U16(probe).Data()),
                        reinterpret_cast<const wchar_t*>(U16(copy).Data()), FALSE));
  EXPECT_EQ(KitPathOf(copy), deep + "brvx.bkd");
}

}  // namespace
