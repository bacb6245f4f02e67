#include "core/install_worker.h"

#include "core/template_installer.h"
#include "localization/message_catalogue.h"

U16String KeptBackupMessage(const U16String& folder) {
  return GetMessageText("IDS_RESTORE_KEPTFILES") + u" " + folder;
}

uint32_t RunInstallWorker(ProgressChannel& channel) {
  uint32_t result;
  U16String kept;
  {
    TemplateInstaller installer(channel);
    result = installer.InstallAll(channel);
    kept = installer.keptBackupDirectory();
  }
  channel.MarkWorkerEnded(result, kept);
  return result;
}
