// The file times the tests give kits and the files beside them, in seconds
// since 1970, and their FILETIME form.
#pragma once

#include <cstdint>

#include "platform/file_api.h"

constexpr int64_t kOld = 1500000000;      // 2017: older than the kit's files
constexpr int64_t kKitTime = 1600000000;  // 2020: the kit's files
constexpr int64_t kNew = 1700000000;      // 2023: newer than the kit's files

inline FileTime AsFileTime(int64_t seconds) {
  return kUnixEpochAsFileTime + static_cast<FileTime>(seconds) * 10000000ull;
}
