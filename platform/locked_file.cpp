// What both forms of the locked file share: the search for a free name.
#include "platform/locked_file.h"

#include "platform/fs_helpers.h"
#include "platform/paths.h"

uint32_t LockedFile::CreateUnique(const U16String& directory, const U16String& prefix,
                                  const U16String& suffix, Use use, U16String* name) {
  U16String base = directory;
  EnsureTrailingSeparator(base);
  base.Append(prefix);
  for (int attempt = 0; attempt < 100; ++attempt) {
    U16String candidate = base + RandomNameLetters() + suffix;
    uint32_t result = Create(candidate, use);
    if (result == 0) {
      *name = candidate;
      return 0;
    }
    if (result != kErrorAlreadyExists) return result;
  }
  return kErrorCannotMakeScratchFile;
}
