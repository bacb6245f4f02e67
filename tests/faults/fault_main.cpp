// The fault tests' entry. Started with --unprivileged-install by a test that
// needs an installation without root's privileges, the binary performs that
// one installation instead of running tests (see unprivileged_child.h).
#include <gtest/gtest.h>

#include <cstring>

#include "tests/faults/unprivileged_child.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], kUnprivilegedInstallOption) == 0)
    return RunUnprivilegedInstall(argc - 2, argv + 2);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
