// Handle-based file interface with the semantics of the Windows file calls:
// numeric access rights and dispositions, 32-bit positions in two halves,
// FILETIME stamps, 0 for success and a last error per thread.
#pragma once

#include <cstdint>

#include "platform/result_codes.h"
#include "platform/strings.h"

using FileHandle = int64_t;
constexpr FileHandle kInvalidFileHandle = -1;

constexpr uint32_t kAccessRead = 0x80000000u;
constexpr uint32_t kAccessWrite = 0x40000000u;

constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kCreateAlways = 2;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kOpenAlways = 4;
constexpr uint32_t kTruncateExisting = 5;

constexpr uint32_t kSeekBegin = 0;
constexpr uint32_t kSeekCurrent = 1;
constexpr uint32_t kSeekEnd = 2;

// Sharing on Windows (ignored on Linux): none, or others may read.
constexpr uint32_t kShareNone = 0;
constexpr uint32_t kShareRead = 1;

// FILETIME: 100-nanosecond intervals since 1601-01-01 UTC.
using FileTime = uint64_t;
constexpr FileTime kUnixEpochAsFileTime = 0x019DB1DED53E8000ull;
// The precision of a time that SetWriteTime stores: Linux keeps whole
// seconds, Windows the full 100 ns.
#ifdef _WIN32
constexpr FileTime kStoredWriteTimePrecision = 1;
#else
constexpr FileTime kStoredWriteTimePrecision = 10000000;
#endif

namespace FileApi {

// Linux: an open with write access never follows a symbolic link at the
// last level, and an open never waits (a FIFO opened for reading).
uint32_t Open(const U16String& path, uint32_t access, uint32_t disposition, FileHandle* handle,
              uint32_t share = kShareNone);
// bytesRead and overlapped may be null; both null is an invalid parameter.
uint32_t Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* bytesRead,
              void* overlapped = nullptr);
uint32_t Write(FileHandle handle, const void* data, uint32_t count, uint32_t* bytesWritten,
               void* overlapped = nullptr);
// Returns the low 32 bits of the new position (0xFFFFFFFF on failure); with
// high present, it is the distance's high half in and the position's out.
uint32_t Seek(FileHandle handle, uint32_t distanceLow, int32_t* distanceHigh, uint32_t origin);
uint32_t Close(FileHandle handle);
uint32_t GetTimes(FileHandle handle, FileTime* creation, FileTime* lastAccess, FileTime* lastWrite);
uint32_t SetWriteTime(FileHandle handle, FileTime lastWrite);
// Cuts (or extends) the file at the current position.
uint32_t Truncate(FileHandle handle);
uint32_t LastError();
// 0 and the size saturated at 0xFFFFFFFF, or 1 when it cannot be had.
uint32_t FileSize(const U16String& path, uint32_t* size);

}  // namespace FileApi
