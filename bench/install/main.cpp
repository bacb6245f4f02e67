// Installation benchmark: 1 GiB in 64 files, installed fresh into an empty
// template directory against `cp -r` of the same files, in rounds, then a
// second time over it (everything up to date). Prints the times and where they go:
// the processes the installation starts and their processor time.
//
//   bench_install [WORK_DIR]   (default: $TMPDIR or /tmp)
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/distribution_kit.h"
#include "core/progress_channel.h"
#include "core/template_installer.h"
#include "localization/language_choice.h"
#include "tools/mkkit/directory_packer.h"

namespace {

constexpr int kFiles = 64;
constexpr uint64_t kFileSize = 16ull << 20;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processes created on the machine so far (the "processes" line of /proc/stat).
long long ProcessesCreated() {
  std::ifstream stat("/proc/stat");
  std::string key;
  long long value = 0;
  while (stat >> key) {
    if (key == "processes") {
      stat >> value;
      return value;
    }
    stat.ignore(1 << 20, '\n');
  }
  return -1;
}

double ChildProcessorSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double OwnProcessorSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Template-like text: configuration lines with varying names and values.
void WriteTemplateFile(const std::string& path, int index) {
  std::ofstream out(path, std::ios::binary);
  std::string line;
  uint64_t written = 0, n = static_cast<uint64_t>(index) * 7919;
  while (written < kFileSize) {
    ++n;
    line = "<Property name=\"Attribute" + std::to_string(n % 977) + "\" type=\"" +
           (n % 3 ? "String" : "Number") + "\" length=\"" + std::to_string(n % 250) +
           "\" synonym=\"Field " + std::to_string(n * 31 % 10007) + "\"/>\n";
    if (written + line.size() > kFileSize) line.resize(kFileSize - written);
    out << line;
    written += line.size();
  }
}

struct Run {
  double seconds, ownCpu, childCpu;
  long long processes;
  uint32_t result;
};

Run Install(DistributionKit& kit, const std::string& target) {
  ProgressChannel channel;
  channel.Prepare(&kit, FromNarrow(target.c_str()));
  TemplateInstaller installer(channel);
  installer.SetFinishPause(0);
  double own = OwnProcessorSeconds(), child = ChildProcessorSeconds();
  long long processes = ProcessesCreated();
  auto start = std::chrono::steady_clock::now();
  uint32_t result = installer.InstallAll(channel);
  return {Seconds(start), OwnProcessorSeconds() - own, ChildProcessorSeconds() - child,
          ProcessesCreated() - processes, result};
}

void Print(const char* name, const Run& run) {
  std::printf("%-28s %8.2f s %8.0f MB/s  own cpu %6.2f s  child cpu %6.2f s  processes %lld%s\n",
              name, run.seconds, kFiles * kFileSize / 1e6 / run.seconds, run.ownCpu, run.childCpu,
              run.processes, run.result ? "  FAILED" : "");
}

}  // namespace

int main(int argc, char** argv) {
  const char* tmp = std::getenv("TMPDIR");
  std::string work = argc > 1 ? argv[1] : (tmp && *tmp ? tmp : "/tmp");
  work += "/bench-install-" + std::to_string(getpid());
  std::string source = work + "/source", target = work + "/templates", copy = work + "/copy";
  mkdir(work.c_str(), 0700);
  mkdir(source.c_str(), 0700);
  mkdir((source + "/conf").c_str(), 0700);
  ChooseLanguage("en");

  std::printf("generating %d files of %llu MiB in %s\n", kFiles,
              static_cast<unsigned long long>(kFileSize >> 20), source.c_str());
  for (int i = 0; i < kFiles; ++i) {
    WriteTemplateFile(source + (i % 2 ? "/conf/" : "/") + "t" + std::to_string(i) + ".xml", i);
  }
  PackOptions options;
  options.level = 6;
  U16String error;
  std::string kitPath = work + "/brvx.bkd";
  if (!PackDirectory(FromNarrow(kitPath.c_str()), options, FromNarrow(source.c_str()), &error)) {
    std::fprintf(stderr, "packing failed: %s\n", ToNarrow(error).Data());
    return 1;
  }
  setenv("TMPDIR", work.c_str(), 1);
  DistributionKit kit;
  auto start = std::chrono::steady_clock::now();
  if (ReadKit(kit, FromNarrow(kitPath.c_str())) != 0) {
    std::fprintf(stderr, "reading the kit failed\n");
    return 1;
  }
  std::printf("kit read (unpacked) in %.2f s\n", Seconds(start));
  sync();

  // Fresh installs and copies take turns, each from a clean page cache
  // state (everything written before it is on the disk), so that neither
  // pays for the other's writing; the middle ratio of the rounds is the
  // figure.
  constexpr int kRounds = 7;
  std::vector<Run> fresh, copies;
  std::vector<double> ratios;
  for (int round = 0; round < kRounds; ++round) {
    std::system(("rm -rf '" + target + "' '" + copy + "'").c_str());
    sync();
    fresh.push_back(Install(kit, target));
    sync();
    double child = ChildProcessorSeconds();
    long long processes = ProcessesCreated();
    start = std::chrono::steady_clock::now();
    int copied = std::system(("cp -r '" + source + "' '" + copy + "'").c_str());
    copies.push_back({Seconds(start), 0, ChildProcessorSeconds() - child,
                      ProcessesCreated() - processes, static_cast<uint32_t>(copied)});
    ratios.push_back(fresh.back().seconds / copies.back().seconds);
    Print("install, fresh", fresh.back());
    Print("cp -r", copies.back());
  }
  sync();
  Run again = Install(kit, target);
  Print("install, all up to date", again);
  std::printf("fresh install / cp -r per round:");
  for (double ratio : ratios) std::printf(" %.2f", ratio);
  std::sort(ratios.begin(), ratios.end());
  std::printf("; middle %.2f\n", ratios[kRounds / 2]);
  std::system(("rm -rf '" + work + "'").c_str());
  bool failed = again.result != 0;
  for (int round = 0; round < kRounds; ++round)
    failed = failed || fresh[round].result != 0 || copies[round].result != 0;
  return failed ? 1 : 0;
}
