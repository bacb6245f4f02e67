#include "core/install_worker.h"

#include "core/template_installer.h"

uint32_t RunInstallWorker(ProgressChannel& channel) {
  uint32_t result;
  {
    TemplateInstaller installer(channel);
    result = installer.InstallAll(channel);
  }
  channel.MarkWorkerEnded(result);
  return result;
}
