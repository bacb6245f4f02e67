// A read-only view of the whole of an open file, so that a large input can
// be handed to a consumer at once without being read in parts.
#pragma once

#include <cstdint>

#include "platform/file_api.h"

struct FileMapping {
  const uint8_t* data = nullptr;
  uint64_t length = 0;
  void* object = nullptr;  // Windows: the file mapping object; unused on Linux
};

// Maps the first length bytes of the file read-only; length must not be 0.
// 0, or an error code with the mapping left empty.
uint32_t MapFileReadOnly(FileHandle handle, uint64_t length, FileMapping* mapping);
// Releases the view; an empty mapping is left alone.
void UnmapFile(FileMapping* mapping);
