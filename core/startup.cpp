#include "core/startup.h"

#include "core/install_worker.h"
#include "core/interrupted_runs.h"
#include "core/template_location.h"
#include "localization/message_catalogue.h"
#include "platform/error_output.h"
#include "platform/file_api.h"
#include "platform/fs_helpers.h"

bool HasRoomForKit(uint32_t kitSize, uint32_t freeSpace) {
  uint64_t need = static_cast<uint64_t>(kitSize) * 3;
  if (need > 0xFFFFFFFFull) need = 0xFFFFFFFFull;
  return freeSpace >= need;
}

void CleanUpTargetDirectory(U16String& directory) {
  if (directory.Contains(u"http://") || directory.Contains(u"https://") ||
      directory.Contains(u"ftp://")) {
    directory.Clear();
  }
  size_t file = directory.Find(u"file://");
  if (file != U16String::npos) directory.Erase(file, 7);
#ifdef _WIN32
  directory.ReplaceAll(u'/', u'\\');
#endif
  directory.RemoveAll(u'\n');
  directory.RemoveAll(u'\r');
}

namespace {

bool KitIsPresent(const U16String& kitPath) {
  if (kitPath.IsEmpty()) return false;
  DirectorySearch search;
  return search.FindFirst(kitPath);
}

}  // namespace

void PutRightInterruptedRuns() {
  RecoveryOutcome outcome = RecoverInterruptedRuns();
  for (const U16String& directory : outcome.restoredDirectories)
    WriteErrorLine(GetMessageText("IDS_INTERRUPTED_UNDONE") + u' ' + directory);
  for (const U16String& folder : outcome.keptBackups) WriteErrorLine(KeptBackupMessage(folder));
}

bool RunStartupSequenceFor(SetupContext& context, const U16String& kitPath,
                           StartupReporter& reporter) {
  PutRightInterruptedRuns();
  if (!KitIsPresent(kitPath)) {
    reporter.ReportStartupError("IDS_ERROR_NOSOURCE");
    return false;
  }
  context.kitPath = kitPath;

  context.targetDirectory = ProposeTemplateDirectory(context);
  CleanUpTargetDirectory(context.targetDirectory);

  // The test is skipped when either figure cannot be had; reading the kit
  // then decides.
  uint32_t kitSize = 0, freeSpace = 0;
  if (FileApi::FileSize(kitPath, &kitSize) == 0 && GetTempFreeSpace(&freeSpace) == 0 &&
      !HasRoomForKit(kitSize, freeSpace)) {
    reporter.ReportStartupError("IDS_ERROR_NOSPACE");
    return false;
  }

  if (ReadKit(context.kit, kitPath) != 0) {
    reporter.ReportStartupError("IDS_ERROR_DAMAGEDSOURCE");
    return false;
  }
  return true;
}

bool RunStartupSequence(SetupContext& context, StartupReporter& reporter) {
  return RunStartupSequenceFor(context, LocateKit(context.useWorkingDirectory), reporter);
}
