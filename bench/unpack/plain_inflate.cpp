#include "bench/unpack/plain_inflate.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <vector>

namespace {

bool WriteAll(int fd, const unsigned char* data, size_t count) {
  while (count > 0) {
    ssize_t n = ::write(fd, data, count);
    if (n <= 0) return false;
    data += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int64_t PlainInflate(const std::string& input, const std::string& output, size_t inputChunk,
                     size_t outputChunk) {
  int in = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return -1;
  int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) {
    ::close(in);
    return -1;
  }
  std::vector<unsigned char> inBuffer(inputChunk), outBuffer(outputChunk);
  z_stream stream{};
  int64_t total = -1;
  if (inflateInit2(&stream, -15) == Z_OK) {
    int result = Z_OK;
    while (result != Z_STREAM_END) {
      ssize_t got = ::read(in, inBuffer.data(), inputChunk);
      if (got <= 0) break;
      stream.next_in = inBuffer.data();
      stream.avail_in = static_cast<uInt>(got);
      do {
        stream.next_out = outBuffer.data();
        stream.avail_out = static_cast<uInt>(outputChunk);
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) break;
        if (!WriteAll(out, outBuffer.data(), outputChunk - stream.avail_out)) {
          result = Z_ERRNO;
          break;
        }
      } while (stream.avail_out == 0 && result != Z_STREAM_END);
      if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) break;
    }
    if (result == Z_STREAM_END) total = static_cast<int64_t>(stream.total_out);
    inflateEnd(&stream);
  }
  if (::close(out) != 0) total = -1;
  ::close(in);
  return total;
}
