// What every fuzz target shares: a private scratch directory that the
// temporary directory points into, and a check that ends the run (libFuzzer
// keeps the input) when a property of the code under test does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reports the broken property and aborts, so the input is kept as a crash.
[[noreturn]] void FuzzFailure(const char* file, int line, const char* condition);

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : FuzzFailure(__FILE__, __LINE__, #condition))

// Made once per process under the inherited temporary directory (or /tmp)
// and removed when the process exits normally; TMPDIR then names its "tmp"
// subdirectory, so the code under test keeps its scratch files in there.
const std::string& ScratchDirectory();
const std::string& ScratchTempDirectory();

// Replaces the file's contents with the bytes.
void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);
// Number of entries in the directory, "." and ".." not counted.
int CountDirectoryEntries(const std::string& path);
