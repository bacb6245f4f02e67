// The largest single request made through operator new while a probe is
// active: a reader that sizes buffers from untrusted lengths shows here
// without having to exhaust the machine's memory.
#pragma once

#include <cstddef>

class AllocationProbe {
 public:
  AllocationProbe();
  ~AllocationProbe();
  size_t largest() const;
};
