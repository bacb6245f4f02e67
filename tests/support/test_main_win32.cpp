// The test program's entry on Windows: the build links every program with
// a wide-character entry point, so GoogleTest's own main is not the one run.

#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
