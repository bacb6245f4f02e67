#include <cstdio>

#include "platform/error_output.h"

void WriteErrorLine(const U16String& line) {
  NarrowString text = ToNarrow(line);
  text.Append('\n');
  std::fwrite(text.Data(), 1, text.Length(), stderr);
  std::fflush(stderr);
}
