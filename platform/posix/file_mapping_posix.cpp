// Read-only file views over mmap.
#include <errno.h>
#include <sys/mman.h>

#include "platform/file_mapping.h"

uint32_t MapFileReadOnly(FileHandle handle, uint64_t length, FileMapping* mapping) {
  if (mapping == nullptr || handle == kInvalidFileHandle || length == 0)
    return kErrorInvalidParameter;
  *mapping = FileMapping();
  void* view = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, static_cast<int>(handle), 0);
  if (view == MAP_FAILED) return errno == ENOMEM ? kErrorNotEnoughMemory : kErrorInvalidParameter;
  // The consumers read the view front to back once.
  ::madvise(view, length, MADV_SEQUENTIAL);
  mapping->data = static_cast<const uint8_t*>(view);
  mapping->length = length;
  return 0;
}

void UnmapFile(FileMapping* mapping) {
  if (mapping == nullptr || mapping->data == nullptr) return;
  ::munmap(const_cast<uint8_t*>(mapping->data), mapping->length);
  *mapping = FileMapping();
}
