// Putting right what runs that died left in the temporary directory: the
// first step of every run, before the kit is looked for.
#pragma once

#include <vector>

#include "platform/strings.h"

struct RecoveryOutcome {
  // Template directories whose interrupted installation was undone.
  std::vector<U16String> restoredDirectories;
  // Backup directories kept because some of their files could not go back.
  std::vector<U16String> keptBackups;
};

// Every journal whose lock is free belongs to a run that died: its
// installation is undone as a failed one would be (a committed one only
// loses what is left of its backup), then the journal goes. Every work file
// whose lock is free is deleted. What a live run holds, and a backup
// directory without a journal, are left alone.
RecoveryOutcome RecoverInterruptedRuns();
