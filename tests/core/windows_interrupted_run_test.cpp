// A Windows run ended with TerminateProcess while it copies: a start while it
// still runs leaves its files alone, and the start after its end puts the
// template directory back and leaves the temporary folder empty.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/startup.h"
#include "localization/language_choice.h"
#include "platform/win32/wide_text.h"
#include "tests/support/kit_times.h"
#include "tests/support/own_settings_folders.h"
#include "tests/support/process_win32.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"
#include "tools/mkkit/kit_writer.h"

namespace {

TEST(WindowsInterruptedRun, ATerminatedRunIsUndoneAtTheNextStart) {
  ChooseLanguage("en");
  TempDir root;
  MakeDirs(root / "tmp");
  ScopedEnv tmp("TMP", (root / "tmp").c_str());
  ScopedEnv temp("TEMP", (root / "tmp").c_str());
  OwnSettingsFolders settings(root.path());
  const std::string target = root / "templates";
  MakeDirs(target + "\\sub");
  WriteFileBytes(target + "\\a.txt", "old a");
  WriteFileBytes(target + "\\sub\\old.txt", "old sub");
  SetMTime(target + "\\a.txt", kOld);
  SetMTime(target + "\\sub\\old.txt", kOld);
  TreeSnapshot before = TakeSnapshot(target);
  const std::string kit = root / "brvx.bkd";
  std::vector<KitFile> files;
  for (const char* name : {"a.txt", "sub\\new.txt", "n1\\n2\\deep.txt", "sub\\old.txt", "z.txt"})
    files.push_back({U16(name), AsFileTime(kKitTime), std::string("kit ") + name});
  WriteFileBytes(kit, DeflateRaw(BuildWorkFile({{u"en", u"P", u"V", u""}}, false, files)));

  // Stopped when the fourth entry is announced: a file replaced, a new one
  // beside an old one and one in new directories are written by then.
  const std::string ready = root / "ready";
  std::wstring command =
      L"\"" + std::wstring(Wide(U16(ProgramBesideTests("setup_install_probe.exe")))) + L"\" \"" +
      Wide(U16(kit)) + L"\" \"" + Wide(U16(target)) + L"\" 3 \"" + Wide(U16(ready)) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  CloseHandle(process.hThread);
  for (int i = 0; i < 600 && !FileExists(ready); ++i) Sleep(50);
  ASSERT_TRUE(FileExists(ready)) << "the probe never reached the entry";
  TreeSnapshot midway = TakeSnapshot(target);
  std::vector<std::string> tempMidway = ListTree(root / "tmp");
  EXPECT_NE(midway, before);

  // A start meanwhile: the live run's journal, backup and work file stay.
  {
    RecordingReporter reporter;
    SetupContext context;
    EXPECT_TRUE(RunStartupSequenceFor(context, U16(kit), reporter));
  }
  EXPECT_EQ(TakeSnapshot(target), midway);
  EXPECT_EQ(ListTree(root / "tmp"), tempMidway);

  ASSERT_TRUE(TerminateProcess(process.hProcess, 9));
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(process.hProcess);

  {
    RecordingReporter reporter;
    SetupContext context;
    EXPECT_TRUE(RunStartupSequenceFor(context, U16(kit), reporter));
    EXPECT_EQ(TakeSnapshot(target), before);
    EXPECT_EQ(ListTree(root / "tmp").size(), 1u) << "only this run's work file";
  }
  EXPECT_EQ(ListTree(root / "tmp"), std::vector<std::string>{});
}

}  // namespace

#endif  // _WIN32
