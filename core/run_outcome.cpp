#include "core/run_outcome.h"

#include "platform/file_api.h"

void NoteInstallation(RunRecord& run, InstallWorker& worker) {
  uint32_t result = 0;
  if (!worker.HasEnded(&result)) return;
  run.installationEnded = true;
  run.workerResult = result;
}

RunOutcome DecideRunOutcome(const RunRecord& run) {
  if (run.installationEnded) {
    if (run.workerResult == 0) return RunOutcome::Installed;
    if (run.workerResult == kErrorCancelled) return RunOutcome::Cancelled;
    return RunOutcome::Failed;
  }
  if (run.startupPassed || run.cancelRequested) return RunOutcome::Cancelled;
  return RunOutcome::NotStarted;
}

int ExitStatusOf(RunOutcome outcome) {
  return static_cast<int>(outcome);
}

const char* FinalMessageKey(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Installed:
      return "IDS_SUCCESS_FINISH";
    case RunOutcome::Failed:
      return "IDS_ERROR_FINISH";
    case RunOutcome::Cancelled:
      return "IDS_CANCEL_FINISH";
    default:
      return nullptr;
  }
}
