// A test binary started as an unprivileged user performs one installation:
//   setup_fault_tests --unprivileged-install KIT TARGET [LOCK]
// It reads the kit (the work file goes to TMPDIR), installs it into TARGET
// and prints "result CODE" on standard output; "read CODE" when the kit
// could not be read; then "kept DIR" when the rollback kept its backup. With
// LOCK, the user makes that directory of theirs read-only when the last
// entry is published. Its exit status is 0 whenever it printed a line.
#pragma once

#include <string>

inline constexpr char kUnprivilegedInstallOption[] = "--unprivileged-install";

int RunUnprivilegedInstall(int argc, char** argv);

// Runs the installation as the user "nobody" through setpriv (or runuser).
// binary is this test binary, placed where nobody can run it. False, with
// the reason, when no way to switch to that user exists here; otherwise
// output receives what the child printed.
bool RunInstallAsNobody(const std::string& binary, const std::string& kit,
                        const std::string& target, const std::string& tmpdir, std::string* output,
                        std::string* reason, const std::string& lock = std::string());
