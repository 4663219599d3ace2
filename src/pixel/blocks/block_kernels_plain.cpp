// The reference set of the colour encoder's loops, one lane at a time.
#include "pixel/blocks/block_lanes.h"
#include "pixel/blocks/block_lane_kernels.h"

namespace kv {

const BlockKernels &plainBlockKernels() {
  static constexpr BlockKernels kernels = blockKernelsWith<PlainLanes>();
  return kernels;
}

const BlockKernels &preferredBlockKernels() {
  const BlockKernels *sse2 = sse2BlockKernels();
  return sse2 ? *sse2 : plainBlockKernels();
}

}  // namespace kv
