// The application body of the Linux program: options, language, then the
// wizard, or without a display the silent run on the standard streams.
#pragma once

// Returns the process's exit status once the run is over (core/run_outcome.h).
int RunSetupApplication(int argumentCount, char** arguments);
