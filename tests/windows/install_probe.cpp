// A Windows run that a test kills: it starts up with the kit given, installs
// into the target given, and when entry STOP is announced it creates the
// file READY and waits for ever, holding the installation's journal and
// work file, until the test ends it with TerminateProcess.
//   setup_install_probe KIT TARGET STOP READY
#include <windows.h>

#include <cstdio>

#include "core/progress_channel.h"
#include "core/startup.h"
#include "core/template_installer.h"

namespace {

struct Reporter : StartupReporter {
  void ReportStartupError(const char* key) override { std::printf("startup: %s\n", key); }
};

struct Stop {
  ProgressChannel* channel;
  int announced;
  int stopAt;
  const wchar_t* ready;
};

void OnPublication(void* data) {
  auto* stop = static_cast<Stop*>(data);
  int32_t status = 0, percentage = 0;
  U16String text;
  stop->channel->Read(&status, &text, &percentage);
  if (status != 0 || stop->announced++ != stop->stopAt) return;
  HANDLE ready = CreateFileW(stop->ready, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(ready);
  Sleep(INFINITE);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) return 87;
  SetupContext context;
  Reporter reporter;
  if (!RunStartupSequenceFor(context, U16String(reinterpret_cast<const char16_t*>(argv[1])),
                             reporter))
    return 1;
  ProgressChannel channel;
  Stop stop{&channel, 0, _wtoi(argv[3]), argv[4]};
  channel.Prepare(&context.kit, U16String(reinterpret_cast<const char16_t*>(argv[2])));
  channel.SetNotifier(OnPublication, &stop);
  TemplateInstaller installer(channel);
  installer.SetFinishPause(0);
  return static_cast<int>(installer.InstallAll(channel));
}
