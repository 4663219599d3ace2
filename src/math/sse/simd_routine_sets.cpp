// Which slots the SSE and SSE2 sets replace. Routines of slots whose operations are not
// written yet join their set when those operations land; until then those slots keep
// the baseline's placeholder.
#include "math/table/routine_sets.h"
#include "math/sse/simd_routines.h"

namespace kv {

bool simdRoutinesBuilt() { return KV_MATH_HAS_SIMD != 0; }

void installSseRoutines(MathDispatchTable &table) {
#if KV_MATH_HAS_SIMD
  table.matrixMultiply = &sseMatrixMultiply;
  table.vec3Normalize = &sseVec3Normalize;
  table.float16To32Array = &sseFloat16To32Array;
#else
  (void)table;
#endif
}

void installSse2Routines(MathDispatchTable &table) {
#if KV_MATH_HAS_SIMD
  table.matrixMultiply = &sseMatrixMultiply;
  table.vec3Normalize = &sseVec3Normalize;
  // The SSE2 set also converts floats to halves with integer vectors; the result is the
  // baseline's bit for bit, so callers see no difference but speed.
  table.float32To16Array = &sse2Float32To16Array;
  table.float16To32Array = &sse2Float16To32Array;
#else
  (void)table;
#endif
}

// The SSE array routines (slots 60 to 66 and 69) that the 3DNow! path adds on processors
// that also have SSE: the strided transforms, which are not written yet.
void installSseArrayRoutines(MathDispatchTable &table) { (void)table; }

}  // namespace kv
