#include "core/install_worker.h"

#include "core/template_installer.h"
#include "localization/message_catalogue.h"

U16String KeptBackupMessage(const U16String& folder) {
  return GetMessageText("IDS_RESTORE_KEPTFILES") + u" " + folder;
}

uint32_t RunInstallWorker(ProgressChannel& channel, WorkerPause* pause) {
  uint32_t result;
  U16String kept;
  {
    TemplateInstaller installer(channel, pause);
    result = installer.InstallAll(channel);
    kept = installer.keptBackupDirectory();
  }
  if (pause) pause->MarkEnded();
  channel.MarkWorkerEnded(result, kept);
  return result;
}
