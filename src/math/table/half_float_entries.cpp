// The entries of the half-float conversions: each continues through its slot.
#include "math/table/dispatch_table.h"
#include "math/half_float.h"

namespace kv {

uint16_t *float32To16Array(uint16_t *out, const float *in, UINT count) {
  return g_mathDispatchTable.float32To16Array(out, in, count);
}

float *float16To32Array(float *out, const uint16_t *in, UINT count) {
  return g_mathDispatchTable.float16To32Array(out, in, count);
}

}  // namespace kv
