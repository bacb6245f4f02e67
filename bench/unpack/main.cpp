// bench_unpack: how fast the kit reader inflates a large kit, against a
// plain zlib loop over read() and write() on the same file system, and what
// checking the kit's checksums adds: the same tree packed with checksum
// blocks (as mkkit packs it) and without them. Rates are megabytes (10^6) of
// inflated output per second.
//
//   bench_unpack [--size MIB] [--rounds N] [--level N] [--clean] [FOLDER]
//
// The kits (FOLDER/bench.bkd with checksums, FOLDER/bench-plain.bkd
// without, default folder bench_unpack in the temporary directory) are
// generated once and reused by later runs.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/unpack/plain_inflate.h"
#include "bench/unpack/template_tree.h"
#include "core/distribution_kit.h"
#include "platform/fs_helpers.h"
#include "tools/mkkit/directory_packer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kLargeChunk = 0x40000;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

uint64_t FileBytes(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
}

bool MakeKits(const std::string& folder, const std::string kitPaths[2], uint64_t bytes, int level) {
  std::string tree = folder + "/tree";
  RemoveDirectoryPath(FromNarrow(tree.c_str()));
  ::mkdir(tree.c_str(), 0755);
  Clock::time_point start = Clock::now();
  long files = GenerateTemplateTree(tree, bytes, 20240501);
  if (files < 0) {
    std::fprintf(stderr, "bench_unpack: cannot write the tree under %s\n", tree.c_str());
    return false;
  }
  std::printf("generated %ld files, %.1f MiB, in %.1f s\n", files, bytes / 1048576.0,
              SecondsSince(start));
  bool packed = true;
  for (int checked = 1; packed && checked >= 0; --checked) {
    start = Clock::now();
    PackOptions options;
    options.level = level;
    options.checksums = checked == 1;
    options.descriptions.push_back(
        KitDescription{u"en", u"Benchmark templates", u"Bench", u"readme.html"});
    U16String error;
    const std::string& kitPath = kitPaths[checked];
    packed = PackDirectory(FromNarrow(kitPath.c_str()), options, FromNarrow(tree.c_str()), &error);
    if (!packed) {
      std::fprintf(stderr, "bench_unpack: %s\n", ToNarrow(error).Data());
    } else {
      std::printf("packed %s checksums at level %d into %.1f MiB in %.1f s\n",
                  checked ? "with" : "without", level, FileBytes(kitPath) / 1048576.0,
                  SecondsSince(start));
    }
  }
  RemoveDirectoryPath(FromNarrow(tree.c_str()));
  return packed;
}

// CPU time of the process and its finished children (the shell commands the
// file helpers run), which other work on the machine disturbs far less than
// the wall clock.
double CpuSeconds() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    struct rusage usage;
    ::getrusage(who, &usage);
    total += usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
             usage.ru_stime.tv_usec / 1e6;
  }
  return total;
}

// One ReadKit of the kit with the work file in workFolder; false on failure.
// The work file stays until the kit object is destroyed.
bool RunReadKit(DistributionKit& kit, const std::string& kitPath, const std::string& workFolder,
                bool checked, uint64_t* inflated) {
  setenv("TMPDIR", workFolder.c_str(), 1);
  KitChecksumReport report;
  uint32_t result = ReadKit(kit, FromNarrow(kitPath.c_str()), &report);
  if (result != 0) {
    std::fprintf(stderr, "bench_unpack: ReadKit failed with %u\n", result);
    return false;
  }
  if (report.carried != checked) {
    std::fprintf(stderr, "bench_unpack: %s %s checksums\n", kitPath.c_str(),
                 report.carried ? "carries" : "lacks");
    return false;
  }
  *inflated = FileBytes(ToNarrow(kit.workPath).Data());
  return true;
}

struct Rates {
  std::vector<double> wall;
  std::vector<double> cpu;
  std::vector<double> wallSeconds;
  std::vector<double> cpuSeconds;
};

}  // namespace

int main(int argc, char** argv) {
  uint64_t mebibytes = 512;
  int rounds = 5;
  int level = 9;
  bool clean = false;
  std::string folder;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--size" && i + 1 < argc) {
      mebibytes = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--level" && i + 1 < argc) {
      level = std::atoi(argv[++i]);
    } else if (arg == "--clean") {
      clean = true;
    } else if (!arg.empty() && arg[0] != '-' && folder.empty()) {
      folder = arg;
    } else {
      std::fprintf(stderr,
                   "usage: bench_unpack [--size MIB] [--rounds N] [--level N] [--clean] "
                   "[FOLDER]\n");
      return 2;
    }
  }
  if (folder.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_unpack";
  }
  ::mkdir(folder.c_str(), 0755);
  // [0] without checksums, [1] with them.
  const std::string kitPaths[2] = {folder + "/bench-plain.bkd", folder + "/bench.bkd"};
  const std::string& kitPath = kitPaths[1];
  std::string workFolder = folder + "/work";
  std::string plainOut = folder + "/plain.out";
  ::mkdir(workFolder.c_str(), 0755);

  if (FileBytes(kitPaths[0]) == 0 || FileBytes(kitPaths[1]) == 0) {
    if (!MakeKits(folder, kitPaths, mebibytes << 20, level)) return 1;
  } else {
    std::printf("reusing %s (%.1f MiB) and %s (%.1f MiB)\n", kitPaths[1].c_str(),
                FileBytes(kitPaths[1]) / 1048576.0, kitPaths[0].c_str(),
                FileBytes(kitPaths[0]) / 1048576.0);
  }

  // Warm the page cache with the kit, so every contender reads it from memory.
  if (PlainInflate(kitPaths[0], plainOut, kLargeChunk, kLargeChunk) < 0 ||
      PlainInflate(kitPath, plainOut, kLargeChunk, kLargeChunk) < 0) {
    std::fprintf(stderr, "bench_unpack: the plain loop failed\n");
    return 1;
  }
  ::unlink(plainOut.c_str());

  // The plain loop with 256 KiB buffers is the reference; the same loop with
  // the unpacker's 32 KiB output block shows what the block size alone costs.
  // ReadKit reads the kit without checksums, and the one with them, which it
  // checks.
  constexpr int kContenders = 4;
  const char* names[] = {"plain loop, 256 KiB buffers", "plain loop, 32 KiB output", "ReadKit",
                         "ReadKit, checksums checked"};
  Rates rates[kContenders];
  for (int round = 0; round < rounds; ++round) {
    // Rotate the order, so that no contender always runs first or last.
    for (int turn = 0; turn < kContenders; ++turn) {
      int which = (round + turn) % kContenders;
      uint64_t bytes = 0;
      // Removing the output (the kit object deletes its work file) is not
      // measured for either contender.
      std::unique_ptr<DistributionKit> kit(new DistributionKit);
      Clock::time_point start = Clock::now();
      double cpuStart = CpuSeconds();
      bool ok = true;
      if (which < 2) {
        int64_t written =
            PlainInflate(kitPath, plainOut, kLargeChunk, which == 0 ? kLargeChunk : 0x8000);
        ok = written >= 0;
        bytes = ok ? static_cast<uint64_t>(written) : 0;
      } else {
        bool checked = which == 3;
        ok = RunReadKit(*kit, kitPaths[checked], workFolder, checked, &bytes);
      }
      double seconds = SecondsSince(start);
      double cpu = CpuSeconds() - cpuStart;
      kit.reset();
      ::unlink(plainOut.c_str());
      if (!ok) return 1;
      rates[which].wall.push_back(bytes / seconds / 1e6);
      rates[which].cpu.push_back(bytes / cpu / 1e6);
      rates[which].wallSeconds.push_back(seconds);
      rates[which].cpuSeconds.push_back(cpu);
    }
    std::printf("round %d (wall clock): %.1f / %.1f / %.1f / %.1f MB/s\n", round + 1,
                rates[0].wall.back(), rates[1].wall.back(), rates[2].wall.back(),
                rates[3].wall.back());
  }
  for (int which = 0; which < kContenders; ++which) {
    std::printf("%-28s wall clock: median %6.1f, best %6.1f MB/s; CPU time: median %6.1f MB/s\n",
                names[which], Median(rates[which].wall),
                *std::max_element(rates[which].wall.begin(), rates[which].wall.end()),
                Median(rates[which].cpu));
  }
  for (int reference = 0; reference < 2; ++reference) {
    std::printf("ReadKit / %s: wall clock %.3f, CPU time %.3f\n", names[reference],
                Median(rates[2].wall) / Median(rates[reference].wall),
                Median(rates[2].cpu) / Median(rates[reference].cpu));
  }
  // The time checking adds, per round (both ran in it) and over the run.
  std::vector<double> wallRatios, cpuRatios;
  for (int round = 0; round < rounds; ++round) {
    wallRatios.push_back(rates[3].wallSeconds[round] / rates[2].wallSeconds[round]);
    cpuRatios.push_back(rates[3].cpuSeconds[round] / rates[2].cpuSeconds[round]);
  }
  std::printf(
      "time with checksums checked / without: wall clock %.3f (median of the rounds' ratios "
      "%.3f), CPU time %.3f (%.3f)\n",
      Median(rates[3].wallSeconds) / Median(rates[2].wallSeconds), Median(wallRatios),
      Median(rates[3].cpuSeconds) / Median(rates[2].cpuSeconds), Median(cpuRatios));
  if (clean) RemoveDirectoryPath(FromNarrow(folder.c_str()));
  return 0;
}
