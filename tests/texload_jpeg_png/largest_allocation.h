// The largest single block that malloc or calloc handed out while a watch was on: it shows
// what a reader asked of the heap, its own buffers and the libraries' alike, even for a
// block that is freed again before the reader returns. The counting malloc and calloc live
// in largest_allocation.cpp; sanitizer builds have their own and do not count.
#pragma once

#include <cstddef>

namespace kvtest {

bool allocationsCounted();

struct LargestAllocation {
  LargestAllocation();
  ~LargestAllocation();
  LargestAllocation(const LargestAllocation &) = delete;
  LargestAllocation &operator=(const LargestAllocation &) = delete;
  size_t bytes() const;
};

}  // namespace kvtest
