// The application body of the Linux program: options, language, the wizard
// object, the startup sequence and the wizard's run.
#pragma once

// Returns when the run is over; the process then exits with status 0.
void RunSetupApplication(int argumentCount, char** arguments);
