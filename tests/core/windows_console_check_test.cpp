// The whole core on Windows, the way the Windows program drives it, against
// real files of the system: kits made by the Windows mkkit, the startup
// sequence with the launcher's settings files and the recording of the
// chosen directory; installations on the worker thread, which waits after
// its error until the front end has shown it and is judged by the result it
// ends with, with backup, failure, cancellation and rollback. Each test
// starts from its own template directory and its own settings folders.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/install_worker.h"
#include "core/progress_channel.h"
#include "core/settings_locations.h"
#include "core/startup.h"
#include "core/template_location.h"
#include "localization/language_choice.h"
#include "tests/support/kit_times.h"
#include "tests/support/own_settings_folders.h"
#include "tests/support/process_win32.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/test_support.h"
#include "tests/support/tree_snapshot.h"

namespace {

constexpr int64_t kSecond = 1710000000;  // 2024

std::wstring Wide(const std::string& utf8) {
  U16String units = U16(utf8);
  return std::wstring(reinterpret_cast<const wchar_t*>(units.Data()), units.Length());
}

// The first drive of the system that is a network drive, or empty.
std::string NetworkDrive() {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::string root = std::string(1, letter) + ":\\";
    if (GetDriveTypeW(Wide(root).c_str()) == DRIVE_REMOTE) return root;
  }
  return "";
}

class ConsoleCheck : public ::testing::Test {
 protected:
  ConsoleCheck() : tmp_("TMP", (root_ / "tmp").c_str()), settings_(root_ / "settings") {
    MakeDirs(root_ / "tmp");
    ChooseLanguage("en");
  }
  // As the sheet does: a worker still running ends, cancelled and with none
  // of its waits holding it, before what it uses goes.
  ~ConsoleCheck() override {
    channel_.RequestCancel();
    pause_.ReleaseAll();
  }

  // A tree of files with their times, packed by the Windows mkkit.
  void Pack(const std::string& kit, const std::vector<std::pair<std::string, std::string>>& files,
            int64_t time) {
    TempDir tree;
    for (const auto& [name, bytes] : files) {
      std::string path = tree / name;
      MakeDirs(path.substr(0, path.rfind('\\')));
      WriteFileBytes(path, bytes);
      SetMTime(path, time);
    }
    std::string output;
    ASSERT_EQ(RunProgram(ProgramBesideTests("mkkit.exe"),
                         {"pack", "-o", kit, "--describe", "en", "Templates", "Vendor",
                          "docs\\readme.html", "--describe", "ru", "Шаблоны", "Поставщик",
                          "docs\\readme.html", tree.path()},
                         &output),
              0)
        << output;
  }

  // Starts the worker on the prepared channel and pause as the front end
  // does.
  void Start() {
    StartWorker(worker_, channel_, &pause_);
    EXPECT_EQ(worker_.StartResult(), 0);
  }
  // The worker's result once it has ended.
  uint32_t ResultAfterEnd() {
    worker_.WaitForEnd();
    uint32_t result = 0xFFFFFFFF;
    EXPECT_TRUE(worker_.HasEnded(&result));
    return result;
  }

  int BackupDirectories() { return CountEntriesStartingWith(root_ / "tmp", "brstp"); }

  // The template directory as the first kit leaves it: the replaced file,
  // the user's newer one, the new ones, and a file where the second kit
  // needs a directory.
  void InstalledFirstKit(const std::string& target) {
    MakeDirs(target + "\\conf\\sub");
    MakeDirs(target + "\\Шаблоны");
    MakeDirs(target + "\\docs");
    WriteFileBytes(target + "\\a.txt", "alpha");
    SetMTime(target + "\\a.txt", kKitTime);
    WriteFileBytes(target + "\\conf\\sub\\b.xml", "the user's newer b");
    SetMTime(target + "\\conf\\sub\\b.xml", kNew);
    WriteFileBytes(target + "\\Шаблоны\\конфиг.cfg", "ключ=значение\r\n");
    WriteFileBytes(target + "\\docs\\readme.html", "<html/>");
    WriteFileBytes(target + "\\x-blocker", "a file where the second kit needs a directory");
  }

  // The second kit: it replaces two files and adds directories; its fourth
  // of five entries needs a directory where x-blocker is a file.
  void PackSecondKit(const std::string& kit) {
    MakeDirs(root_ / "dist");
    Pack(kit,
         {{"a.txt", "alpha 2"},
          {"conf\\sub\\b.xml", "<b version='2'/>"},
          {"new\\dir\\n.txt", "n"},
          {"x-blocker\\c.txt", "c"},
          {"z.txt", "z"}},
         kSecond);
  }

  TempDir root_;
  ScopedEnv tmp_;
  OwnSettingsFolders settings_;
  ProgressChannel channel_;
  WorkerPause pause_;
  RecordingReporter reporter_;
  // After what it uses: destroyed first, it waits for its thread.
  InstallWorker worker_;
};

TEST_F(ConsoleCheck, StartupInstallationAndRecording) {
  const std::string target = root_ / "templates";
  const std::string missing = root_ / "not there";
  const std::string network = NetworkDrive();
  // A folder on the network drive that can be written, but is not proposed.
  std::string remote;
  if (!network.empty()) {
    remote = network + "setup-console-check";
    MakeDirs(remote);
  }
  // The user's file: UTF-8 with a mark and CR LF, a key of the launcher's own.
  std::string listed;
  for (const std::string& directory : {remote, missing, target}) {
    if (!directory.empty()) listed += "ConfigurationTemplatesLocation=" + directory + "\r\n";
  }
  MakeDirs(settings_.perUser().substr(0, settings_.perUser().rfind('\\')));
  WriteFileBytes(settings_.perUser(), "\xEF\xBB\xBFInstallComponents=x\r\n" + listed);

  MakeDirs(target + "\\conf\\sub");
  WriteFileBytes(target + "\\a.txt", "old a");
  SetMTime(target + "\\a.txt", kOld);
  WriteFileBytes(target + "\\conf\\sub\\b.xml", "the user's newer b");
  SetMTime(target + "\\conf\\sub\\b.xml", kNew);
  WriteFileBytes(target + "\\x-blocker", "a file where the second kit needs a directory");
  const std::string kit = root_ / "dist\\brvx.bkd";
  MakeDirs(root_ / "dist");
  Pack(kit,
       {{"a.txt", "alpha"},
        {"conf\\sub\\b.xml", "<b/>"},
        {"Шаблоны\\конфиг.cfg", "ключ=значение\r\n"},
        {"docs\\readme.html", "<html/>"}},
       kKitTime);

  {
    SetupContext context;
    ASSERT_TRUE(RunStartupSequenceFor(context, U16(kit), reporter_));
    EXPECT_TRUE(reporter_.keys.empty());
    // The network folder and the missing one are passed over.
    EXPECT_EQ(Utf8(context.targetDirectory), target);
    EXPECT_EQ(context.templateLocations.size(), network.empty() ? 2u : 3u);
    EXPECT_FALSE(context.variantFileExists);
    ASSERT_EQ(context.kit.entries.size(), 4u);
    EXPECT_EQ(Utf8(context.kit.entries[3].name), "Шаблоны\\конфиг.cfg");
    U16String product, vendor;
    GetProductAndVendor(context.kit, U16("ru"), &product, &vendor);
    EXPECT_EQ(Utf8(product), "Шаблоны");
    EXPECT_EQ(ListTree(root_ / "tmp").size(), 1u) << "the work file stays while the wizard runs";

    // First installation: the older file is backed up and replaced, the
    // newer one is left alone.
    std::string backedUp;
    struct Watch {
      ProgressChannel* channel;
      std::string backup;
      std::string* seen;
    } watch{&channel_, root_ / "tmp\\brstp0\\a.txt", &backedUp};
    channel_.SetNotifier(
        [](void* data) {
          auto* w = static_cast<Watch*>(data);
          int32_t percentage = 0;
          w->channel->Read(nullptr, nullptr, &percentage);
          if (percentage == 75) *w->seen = ReadFileBytes(w->backup);
        },
        &watch);
    channel_.Prepare(&context.kit, context.targetDirectory);
    pause_.Prepare(true);
    Start();
    EXPECT_EQ(ResultAfterEnd(), 0u);
    channel_.SetNotifier(nullptr, nullptr);
    int32_t status = -1, percentage = -1;
    U16String text;
    channel_.Read(&status, &text, &percentage);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(percentage, 100);
    EXPECT_EQ(Utf8(text), "Copying complete...");
    EXPECT_EQ(backedUp, "old a");
    EXPECT_EQ(ReadFileBytes(target + "\\a.txt"), "alpha");
    EXPECT_EQ(GetMTime(target + "\\a.txt"), kKitTime);
    EXPECT_EQ(ReadFileBytes(target + "\\conf\\sub\\b.xml"), "the user's newer b");
    EXPECT_EQ(ReadFileBytes(target + "\\Шаблоны\\конфиг.cfg"), "ключ=значение\r\n");
    EXPECT_EQ(BackupDirectories(), 0);

    // Recorded first; the file had a mark, so it is rewritten as UTF-16LE
    // with CR LF, the launcher's key kept in its place.
    RecordChosenDirectory(context);
    std::string recorded =
        "InstallComponents=x\r\nConfigurationTemplatesLocation=" + target + "\r\n";
    for (const std::string& directory : {remote, missing}) {
      if (!directory.empty()) recorded += "ConfigurationTemplatesLocation=" + directory + "\r\n";
    }
    EXPECT_EQ(ReadFileBytes(settings_.perUser()), "\xFF\xFE" + Utf16le(recorded));
  }
  EXPECT_TRUE(ListTree(root_ / "tmp").empty()) << "the work file goes with the run";

  // The next start proposes the recorded directory, now the first listed.
  {
    SetupContext context;
    ASSERT_TRUE(RunStartupSequenceFor(context, U16(kit), reporter_));
    EXPECT_EQ(Utf8(context.targetDirectory), target);
  }
  if (!remote.empty()) RemoveDirectoryW(Wide(remote).c_str());
}

TEST_F(ConsoleCheck, AFailureWaitsUntilShownThenTheDirectoryIsRestored) {
  const std::string target = root_ / "templates";
  const std::string kit = root_ / "dist\\brvx.bkd";
  InstalledFirstKit(target);
  PackSecondKit(kit);
  TreeSnapshot before = TakeSnapshot(target);
  {
    DistributionKit opened;
    ASSERT_EQ(ReadKit(opened, U16(kit)), 0u);
    channel_.Prepare(&opened, U16(target));
    // It waits after its failure until the front end has shown it.
    pause_.Prepare(true);
    Start();
    // The worker publishes the error and waits for the front end.
    int32_t status = 0, percentage = -1;
    U16String text;
    for (int i = 0; i < 3000 && status == 0; ++i) {
      Sleep(10);
      channel_.Read(&status, &text, &percentage);
    }
    Sleep(200);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(percentage, 60);
    EXPECT_EQ(Utf8(text), "Installation error");
    // Nothing is undone before the error has been shown.
    EXPECT_EQ(ReadFileBytes(target + "\\a.txt"), "alpha 2");
    EXPECT_EQ(ReadFileBytes(root_ / "tmp\\brstp0\\a.txt"), "alpha");
    EXPECT_EQ(ReadFileBytes(root_ / "tmp\\brstp0\\conf\\sub\\b.xml"), "the user's newer b");
    pause_.ErrorShown();
    EXPECT_EQ(ResultAfterEnd(), 3u);
    EXPECT_EQ(TakeSnapshot(target), before);
    EXPECT_FALSE(FileExists(target + "\\new"));
    EXPECT_EQ(BackupDirectories(), 0);
  }
}

// Cancelled as the front end cancels: the worker paused at a safe point
// while the question is asked (here before its first entry), the request
// made, the pause ended. It stops after the file it is writing and puts the
// old one back.
TEST_F(ConsoleCheck, ACancelPausesTheWorkerAtASafePointAndRestores) {
  const std::string target = root_ / "templates";
  const std::string kit = root_ / "dist\\brvx.bkd";
  InstalledFirstKit(target);
  DeleteFileW(Wide(target + "\\x-blocker").c_str());
  PackSecondKit(kit);
  TreeSnapshot before = TakeSnapshot(target);
  DistributionKit opened;
  ASSERT_EQ(ReadKit(opened, U16(kit)), 0u);
  channel_.Prepare(&opened, U16(target));
  pause_.Prepare(true);
  EXPECT_FALSE(pause_.PauseAndWait(0)) << "no worker runs yet";
  Start();
  ASSERT_TRUE(pause_.PauseAndWait(30000));
  channel_.RequestCancel();
  pause_.Resume();
  EXPECT_EQ(ResultAfterEnd(), 1223u);
  EXPECT_EQ(TakeSnapshot(target), before);
  EXPECT_EQ(BackupDirectories(), 0);
}

}  // namespace

#endif  // _WIN32
