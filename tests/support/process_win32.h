// Windows: running another program of the build from a test, the way a
// user's shell would, with its standard output kept.
#pragma once
#ifdef _WIN32

#include <string>
#include <vector>

// Full path (UTF-8) of a program in the test binary's own folder.
std::string ProgramBesideTests(const std::string& name);

// Runs program (UTF-8 path) with the arguments (UTF-8, each passed as one
// argument) in the test's environment and waits for its end. Returns its
// exit code, or -1 when it could not be started; output receives what it
// wrote to its standard output (and standard error when errors is null).
int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               std::string* output, std::string* errors = nullptr);

#endif  // _WIN32
