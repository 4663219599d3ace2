// The colour encoder's loops with SSE2, four pixels of a block row at a time. Built only
// where SSE2 is part of the target (every x86-64 build); the 32-bit Windows build keeps
// the plain set.
#include "pixel/blocks/block_lanes.h"
#include "pixel/blocks/block_lane_kernels.h"

namespace kv {

const BlockKernels *sse2BlockKernels() {
#if KV_BLOCK_SSE2
  static constexpr BlockKernels kernels = blockKernelsWith<Sse2Lanes>();
  return &kernels;
#else
  return nullptr;
#endif
}

}  // namespace kv
