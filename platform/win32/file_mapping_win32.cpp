// Read-only file views over a file mapping object.
#include <windows.h>

#include "platform/file_mapping.h"

uint32_t MapFileReadOnly(FileHandle handle, uint64_t length, FileMapping* mapping) {
  if (mapping == nullptr || handle == kInvalidFileHandle || length == 0)
    return kErrorInvalidParameter;
  *mapping = FileMapping();
  HANDLE file = reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
  HANDLE object = CreateFileMappingW(file, nullptr, PAGE_READONLY, static_cast<DWORD>(length >> 32),
                                     static_cast<DWORD>(length), nullptr);
  if (object == nullptr) return GetLastError();
  const void* view = MapViewOfFile(object, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(length));
  if (view == nullptr) {
    DWORD code = GetLastError();
    CloseHandle(object);
    return code ? code : kErrorInvalidParameter;
  }
  mapping->data = static_cast<const uint8_t*>(view);
  mapping->length = length;
  mapping->object = object;
  return 0;
}

void UnmapFile(FileMapping* mapping) {
  if (mapping == nullptr || mapping->data == nullptr) return;
  UnmapViewOfFile(mapping->data);
  if (mapping->object) CloseHandle(static_cast<HANDLE>(mapping->object));
  *mapping = FileMapping();
}
