// Many-file benchmark: a kit of small files (4 KiB each, in folders of about
// 14 files) installed fresh into an empty template directory, a second time
// (everything up to date), as an update (every installed file older than
// the kit's) and as a mixed run (half the files missing, half older), each
// against `tar -xf` of the same tree as an uncompressed tar, in one run.
// Times leave out the installer's pause after the last file. The journal's
// own records are timed alone beside the fresh install that writes them, and
// the next start's recovery after a run killed at its last entry is timed
// for an update and for a fresh install. Processes are
// counted in a PID namespace of the run's own, so other work on the machine
// does not show (needs root; otherwise the count says "?").
//
//   bench_many_files [WORK_DIR] [FILES...]   (default: $TMPDIR or /tmp; 10000 40000)
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/distribution_kit.h"
#include "core/install_journal.h"
#include "core/interrupted_runs.h"
#include "core/progress_channel.h"
#include "core/template_installer.h"
#include "localization/language_choice.h"
#include "tools/mkkit/directory_packer.h"

namespace {

constexpr size_t kFileSize = 4096;
// 700 folders (100 of 7 subfolders each) for 10,000 files.
int Folders(int files) {
  return files * 7 / 100;
}
constexpr time_t kOld = 1500000000;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string FilePath(const std::string& root, int files, int index) {
  int folder = index % Folders(files);
  return root + "/f" + std::to_string(folder / 7) + "/s" + std::to_string(folder % 7) + "/t" +
         std::to_string(index) + ".xml";
}

void WriteTree(const std::string& root, int files) {
  std::string text;
  for (int i = 0; i < files; ++i) {
    std::string path = FilePath(root, files, i);
    std::string directory = path.substr(0, path.rfind('/'));
    mkdir(directory.substr(0, directory.rfind('/')).c_str(), 0755);
    mkdir(directory.c_str(), 0755);
    text.clear();
    for (uint64_t n = static_cast<uint64_t>(i) * 7919; text.size() < kFileSize; ++n)
      text += "<Property name=\"Attribute" + std::to_string(n % 977) + "\" length=\"" +
              std::to_string(n % 250) + "\"/>\n";
    text.resize(kFileSize);
    std::ofstream(path, std::ios::binary) << text;
  }
}

struct Measure {
  double seconds = 0;
  long processes = -1;
  int status = 0;
};

// Runs body in a child that is process 1 of a new PID namespace (made by a
// helper process, as a namespace ends with its first process); the PID that
// a last fork gets there tells how many processes body started.
template <typename Body>
Measure Measured(Body body) {
  int channel[2];
  if (pipe(channel) != 0) return {0, -1, -1};
  pid_t helper = fork();
  if (helper == 0) {
    bool isolated = unshare(CLONE_NEWPID) == 0;
    pid_t child = fork();
    if (child != 0) {
      waitpid(child, nullptr, 0);
      _exit(0);
    }
    auto start = std::chrono::steady_clock::now();
    Measure m;
    m.status = body();
    m.seconds = Seconds(start);
    if (isolated) {
      pid_t probe = fork();
      if (probe == 0) _exit(0);
      waitpid(probe, nullptr, 0);
      m.processes = probe - 2;  // PID 1 is this child, the probe the last
    }
    ssize_t written = write(channel[1], &m, sizeof m);
    _exit(written == sizeof m ? 0 : 1);
  }
  close(channel[1]);
  Measure m{0, -1, -1};
  if (read(channel[0], &m, sizeof m) != sizeof m) m.status = -1;
  close(channel[0]);
  waitpid(helper, nullptr, 0);
  return m;
}

int Install(DistributionKit& kit, const std::string& target) {
  ProgressChannel channel;
  channel.Prepare(&kit, FromNarrow(target.c_str()));
  TemplateInstaller installer(channel);
  installer.SetFinishPause(0);
  return static_cast<int>(installer.InstallAll(channel));
}

// Every installed file made older than the kit's; with dropEvery, every
// such file is deleted instead, so the run creates it anew.
void Age(const std::string& target, int files, int dropEvery) {
  struct timespec times[2] = {{kOld, 0}, {kOld, 0}};
  for (int i = 0; i < files; ++i) {
    std::string path = FilePath(target, files, i);
    if (dropEvery && i % dropEvery == 0) {
      unlink(path.c_str());
    } else {
      utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
  }
}

// The journal's own part of a fresh install: the records it writes (the two
// directories, one per created folder, one per new file), alone.
int JournalAlone(const std::string& temp, const std::string& target, int files) {
  InstallJournal journal;
  if (journal.Create(FromNarrow((temp + "/brstp99.journal").c_str())) != 0) return 1;
  uint32_t failed = journal.Record(JournalRecord::kTarget, FromNarrow(target.c_str()));
  failed |= journal.Record(JournalRecord::kBackup, FromNarrow((temp + "/brstp99/").c_str()));
  for (int folder = 0; folder < Folders(files); ++folder) {
    std::string path = FilePath(target, files, folder);
    failed |= journal.Record(JournalRecord::kDirectory,
                             FromNarrow(path.substr(0, path.rfind('/')).c_str()));
  }
  for (int i = 0; i < files; ++i)
    failed |= journal.Record(JournalRecord::kFile, FromNarrow(FilePath(target, files, i).c_str()));
  journal.Remove();
  return failed != 0;
}

struct KillAt {
  int left;
};

void KillAtLastEntry(void* data) {
  if (--static_cast<KillAt*>(data)->left == 0) raise(SIGKILL);
}

// An installation killed with SIGKILL when its last entry is announced (all
// others done), then the next start's recovery, timed alone.
Measure KilledThenRecovered(DistributionKit& kit, const std::string& target, int files) {
  pid_t child = fork();
  if (child == 0) {
    ProgressChannel channel;
    channel.Prepare(&kit, FromNarrow(target.c_str()));
    KillAt kill{files};
    channel.SetNotifier(KillAtLastEntry, &kill);
    TemplateInstaller installer(channel);
    installer.InstallAll(channel);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  Measure m;
  m.status = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? 0 : 1;
  auto start = std::chrono::steady_clock::now();
  RecoveryOutcome outcome = RecoverInterruptedRuns();
  m.seconds = Seconds(start);
  if (outcome.restoredDirectories.size() != 1 || !outcome.keptBackups.empty()) m.status = 1;
  return m;
}

int Shell(const std::string& command) {
  return std::system(command.c_str());
}

struct Row {
  const char* name;
  Measure m;
};

std::vector<Row> RunSize(const std::string& work, int files) {
  std::string base = work + "/" + std::to_string(files);
  std::string source = base + "/source", target = base + "/templates", tarFile = base + "/tree.tar";
  mkdir(base.c_str(), 0700);
  mkdir(source.c_str(), 0755);
  std::printf("generating %d files of %zu bytes in %d folders\n", files, kFileSize, Folders(files));
  WriteTree(source, files);
  PackOptions options;
  options.level = 6;
  U16String error;
  std::string kitPath = base + "/brvx.bkd";
  if (!PackDirectory(FromNarrow(kitPath.c_str()), options, FromNarrow(source.c_str()), &error)) {
    std::fprintf(stderr, "packing failed: %s\n", ToNarrow(error).Data());
    std::exit(1);
  }
  Shell("tar -cf '" + tarFile + "' -C '" + source + "' .");
  setenv("TMPDIR", base.c_str(), 1);
  DistributionKit kit;
  if (ReadKit(kit, FromNarrow(kitPath.c_str())) != 0) {
    std::fprintf(stderr, "reading the kit failed\n");
    std::exit(1);
  }
  sync();

  std::vector<Row> rows;
  rows.push_back({"journal alone", Measured([&] { return JournalAlone(base, target, files); })});
  rows.push_back({"fresh install", Measured([&] { return Install(kit, target); })});
  rows.push_back({"up to date", Measured([&] { return Install(kit, target); })});
  Age(target, files, 0);
  rows.push_back({"update (all older)", Measured([&] { return Install(kit, target); })});
  Age(target, files, 2);
  rows.push_back({"mixed (half new)", Measured([&] { return Install(kit, target); })});
  // Recovery of a killed run: the update case (every file back from the
  // backup), then the fresh case (every file deleted again).
  Age(target, files, 0);
  rows.push_back({"recover killed update", KilledThenRecovered(kit, target, files)});
  Shell("rm -rf '" + target + "'");
  rows.push_back({"recover killed fresh", KilledThenRecovered(kit, target, files)});
  mkdir((base + "/untar").c_str(), 0755);
  std::string untar = "tar -xf '" + tarFile + "' -C '" + base + "/untar'";
  Measure tar = Measured([&] { return Shell(untar); });
  tar.processes = -1;  // its shell and tar: the reference, not counted
  rows.push_back({"tar -xf", tar});
  Shell("rm -rf '" + base + "'");
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  const char* tmp = std::getenv("TMPDIR");
  std::string work = argc > 1 ? argv[1] : (tmp && *tmp ? tmp : "/tmp");
  work += "/bench-many-files-" + std::to_string(getpid());
  std::vector<int> sizes;
  for (int i = 2; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {10000, 40000};
  mkdir(work.c_str(), 0700);
  ChooseLanguage("en");

  std::vector<std::vector<Row>> results;
  int failed = 0;
  for (int files : sizes) {
    results.push_back(RunSize(work, files));
    const std::vector<Row>& rows = results.back();
    double tar = rows.back().m.seconds;
    std::printf("%d files:\n", files);
    for (const Row& row : rows) {
      std::string processes = row.m.processes < 0 ? "-" : std::to_string(row.m.processes);
      std::printf("  %-20s %8.3f s  %6.2f x tar  processes %s%s\n", row.name, row.m.seconds,
                  row.m.seconds / tar, processes.c_str(), row.m.status ? "  FAILED" : "");
      failed |= row.m.status;
    }
  }
  for (size_t s = 1; s < sizes.size(); ++s) {
    std::printf("%d / %d files (work x%.1f):\n", sizes[s], sizes[0],
                static_cast<double>(sizes[s]) / sizes[0]);
    for (size_t r = 0; r < results[s].size(); ++r)
      std::printf("  %-20s %6.2f\n", results[s][r].name,
                  results[s][r].m.seconds / results[0][r].m.seconds);
  }
  Shell("rm -rf '" + work + "'");
  return failed != 0;
}
