#include "core/install_worker.h"

#include "core/template_installer.h"

uint32_t RunInstallWorker(ProgressChannel& channel, WorkerPause* pause) {
  uint32_t result;
  {
    TemplateInstaller installer(channel, pause);
    result = installer.InstallAll(channel);
  }
  if (pause) pause->MarkEnded();
  channel.MarkWorkerEnded(result);
  return result;
}
