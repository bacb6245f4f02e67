// A generated tree of template-like files: XML-ish forms, settings files,
// scripts with identifiers and numbers that vary, and some binary blobs.
#pragma once

#include <cstdint>
#include <string>

// Writes files under directory (which must exist) until about totalBytes
// have been written; returns the number of files, or -1 on a write failure.
long GenerateTemplateTree(const std::string& directory, uint64_t totalBytes, uint64_t seed);
