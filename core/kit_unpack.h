// Inflation of the kit file (one raw deflate stream) into the work file.
#pragma once

#include <cstdint>

#include "platform/result_codes.h"
#include "platform/strings.h"

// The largest work file the kit format can address with 32-bit positions.
constexpr uint64_t kMaxWorkFileSize = 0xFFFFFFFFull;

// Inflates the kit at kitPath into the (existing) work file at workPath.
// 0; the code of a failed open; 13 for compressed data that zlib rejects or
// that inflates to more than outputLimit bytes; 223 for a kit of 4 GiB or
// more; the write's code when the work file cannot take the data; the
// mapping's code when the kit cannot be mapped. A stream that ends without
// its end mark gives 0 and a short work file.
uint32_t UnpackKit(const U16String& kitPath, const U16String& workPath,
                   uint64_t outputLimit = kMaxWorkFileSize);
