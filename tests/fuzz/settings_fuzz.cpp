// The settings file: the input is a "tarnlaunch.cfg". Whatever it holds, the
// parsed config keeps the format's invariants, and writing it and reading the
// result gives the same config again (bytes that do not decode travel as
// U+DC00 + byte and come back as the same byte; zero bytes are dropped by the
// reader, so they are gone after the first read already). Writing that
// config once more gives the same bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "core/launcher_config.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool HasUnit(const U16String& text, char16_t unit) {
  for (size_t i = 0; i < text.Length(); ++i) {
    if (text[i] == unit) return true;
  }
  return false;
}

void CheckInvariants(const LauncherConfig& config) {
  for (size_t i = 0; i < config.entries.size(); ++i) {
    const LauncherConfigEntry& entry = config.entries[i];
    FUZZ_CHECK(!HasUnit(entry.key, u'\n'));
    FUZZ_CHECK(!HasUnit(entry.key, u'='));
    FUZZ_CHECK(!HasUnit(entry.key, 0));
    // Reading makes no entry without a value.
    FUZZ_CHECK(!entry.values.empty());
    for (size_t k = 0; k < i; ++k) FUZZ_CHECK(!EqualNoCase(config.entries[k].key, entry.key));
    for (size_t v = 0; v < entry.values.size(); ++v) {
      const U16String& value = entry.values[v];
      FUZZ_CHECK(!HasUnit(value, u'\n'));
      FUZZ_CHECK(!HasUnit(value, 0));
      FUZZ_CHECK(!entry.key.IsEmpty() || !value.IsEmpty());
      for (size_t w = 0; w < v; ++w) FUZZ_CHECK(!EqualNoCase(entry.values[w], value));
    }
  }
}

bool SameConfig(const LauncherConfig& a, const LauncherConfig& b) {
  if (a.entries.size() != b.entries.size()) return false;
  for (size_t i = 0; i < a.entries.size(); ++i) {
    if (!(a.entries[i].key == b.entries[i].key)) return false;
    if (a.entries[i].values.size() != b.entries[i].values.size()) return false;
    for (size_t v = 0; v < a.entries[i].values.size(); ++v) {
      if (!(a.entries[i].values[v] == b.entries[i].values[v])) return false;
    }
  }
  return true;
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, n);
    std::fclose(file);
  }
  return bytes;
}

void Write(const std::string& path, const LauncherConfig& config) {
  try {
    WriteLauncherConfig(FromNarrow(path.c_str()), config);
  } catch (const SettingsWriteError& error) {
    FuzzFailure(__FILE__, __LINE__, error.what());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = ScratchDirectory() + "/input.cfg";
  static const std::string first = ScratchDirectory() + "/first.cfg";
  static const std::string second = ScratchDirectory() + "/second.cfg";
  WriteWholeFile(input, data, size);

  LauncherConfig read;
  ReadLauncherConfig(FromNarrow(input.c_str()), read);
  CheckInvariants(read);

  Write(first, read);
  LauncherConfig again;
  ReadLauncherConfig(FromNarrow(first.c_str()), again);
  FUZZ_CHECK(SameConfig(read, again));

  Write(second, again);
  FUZZ_CHECK(FileBytes(first) == FileBytes(second));
  return 0;
}
