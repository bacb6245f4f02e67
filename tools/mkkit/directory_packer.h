// Packing a tree of files into a kit: collecting the files under their entry
// names, checking what a reader would refuse, and streaming the kit out.
#pragma once

#include <cstdint>
#include <vector>

#include "core/distribution_kit.h"

// Where a file's bytes are: Linux: a path in the locale's encoding, as the
// file system gave it; Windows: the system's wide path.
#ifdef _WIN32
using SourcePath = U16String;
#else
using SourcePath = NarrowString;
#endif

// One file to pack: its entry name, time and size, and where its bytes are.
struct PackItem {
  U16String name;
  FileTime lastWriteTime = 0;
  uint64_t size = 0;
  SourcePath sourcePath;
};

struct PackOptions {
  std::vector<KitDescription> descriptions;
  bool single = false;  // format 0 header from the one description
  int level = 9;
  // Checksum blocks in every record (mkkit always writes them; without them
  // the kit is what mkkit wrote before it had them).
  bool checksums = true;
};

// Every regular file under directory (recursively; symbolic links to files
// are followed, links to directories are not; Windows: no directory link or
// junction is followed either), named by its path relative
// to directory with "\" separators, with its modification time in whole
// seconds, sorted by name. A file name holding "\" is refused: the kit
// would read it as a separator. false with a message on failure.
bool CollectDirectory(const U16String& directory, std::vector<PackItem>* items, U16String* error);

// Checks everything first (names as the reader checks them, sizes, the 4 GiB limit, the options),
// then writes the kit: header, directory with consecutive offsets from 0, the files' bytes, all
// through one raw deflate stream. On failure nothing is left at kitPath and error tells why.
bool WriteKit(const U16String& kitPath, const PackOptions& options,
              const std::vector<PackItem>& items, U16String* error);

// CollectDirectory, then WriteKit (a kit lying inside the directory is not
// packed into itself).
bool PackDirectory(const U16String& kitPath, const PackOptions& options, const U16String& directory,
                   U16String* error);
