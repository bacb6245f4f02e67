#include "tests/faults/unprivileged_child.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "core/template_installer.h"
#include "localization/language_choice.h"
#include "tests/faults/fault_support.h"
#include "tests/support/test_support.h"

namespace {

bool ProgramExists(const char* name) {
  std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

int RunUnprivilegedInstall(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s KIT TARGET [LOCK]\n", kUnprivilegedInstallOption);
    return 2;
  }
  ChooseLanguage("en");
  uint32_t result;
  std::string kept;
  {
    DistributionKit kit;
    result = ReadKit(kit, U16(argv[0]));
    if (result != 0) {
      std::printf("read %u\n", result);
      return 0;
    }
    RecordedInstall install;
    std::string lastPath;
    if (argc == 3 && !kit.entries.empty())
      lastPath = Utf8(EntryPath(U16(std::string(argv[1]) + "/"), kit.entries.back().name));
    result = install.Run(kit, argv[1], [&](const Publication& p, ProgressChannel&) {
      if (!lastPath.empty() && p.text == lastPath) chmod(argv[2], 0555);
    });
    kept = install.keptBackup;
  }
  std::printf("result %u\n", result);
  if (!kept.empty()) std::printf("kept %s\n", kept.c_str());
  return 0;
}

bool RunInstallAsNobody(const std::string& binary, const std::string& kit,
                        const std::string& target, const std::string& tmpdir, std::string* output,
                        std::string* reason, const std::string& lock) {
  std::string switchUser;
  if (ProgramExists("setpriv")) {
    switchUser = "setpriv --reuid=nobody --regid=nogroup --clear-groups --";
  } else if (ProgramExists("runuser")) {
    switchUser = "runuser -u nobody --";
  } else {
    *reason = "neither setpriv nor runuser is installed (util-linux)";
    return false;
  }
  std::string command = "TMPDIR=" + Quoted(tmpdir) + " " + switchUser + " " + Quoted(binary) + " " +
                        kUnprivilegedInstallOption + " " + Quoted(kit) + " " + Quoted(target) +
                        (lock.empty() ? "" : " " + Quoted(lock)) + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    *reason = "popen failed";
    return false;
  }
  output->clear();
  char block[512];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, pipe)) > 0) output->append(block, n);
  pclose(pipe);
  return true;
}
