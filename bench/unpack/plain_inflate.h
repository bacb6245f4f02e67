// The reference for the kit unpacker: a plain zlib loop over read() and
// write() with generous buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Inflates the raw deflate file input into output (created or replaced),
// reading inputChunk bytes and writing at most outputChunk bytes at a time;
// the number of bytes written, or -1 on any failure.
int64_t PlainInflate(const std::string& input, const std::string& output, size_t inputChunk,
                     size_t outputChunk);
