// Fitting the two endpoints of an interpolated-alpha block by least squares.
#include "pixel/blocks/alpha_blocks.h"
#include "pixel/blocks/alpha_fit_tables.h"
#include "pixel/blocks/block_layout.h"

#include <utility>

namespace kv {

namespace {

// Six-step blocks code exact 0 and 1 apart, so the range starts from the alphas between.
void startingRange(const float alphas[16], bool six, float *lo, float *hi) {
  if (!six) {
    *lo = *hi = alphas[0];
    for (int p = 1; p < kBlockPixels; ++p) {
      if (alphas[p] < *lo) *lo = alphas[p];
      if (alphas[p] > *hi) *hi = alphas[p];
    }
    return;
  }
  *lo = 1.0f;
  *hi = 0.0f;
  for (int p = 0; p < kBlockPixels; ++p) {
    if (alphas[p] > 0.0f && alphas[p] < *lo) *lo = alphas[p];
    if (alphas[p] < 1.0f && alphas[p] > *hi) *hi = alphas[p];
  }
  if (*lo == *hi) *hi = 1.0f;
}

}  // namespace

void fitAlphaEndpoints(const BlockKernels &kernels, const float alphas[16], int steps, float *loOut, float *hiOut) {
  const bool six = steps == 6;
  const AlphaSteps &table = alphaStepsFor(steps);
  const float last = static_cast<float>(steps - 1);
  float lo, hi;
  startingRange(alphas, six, &lo, &hi);
  for (int round = 0; round < 8 && hi - lo >= 1.0f / 256.0f; ++round) {
    float palette[8];
    for (int s = 0; s < steps; ++s) palette[s] = lo * table.low[s] + hi * table.high[s];
    float position[kBlockPixels];
    kernels.palettePositions(alphas, lo, last, hi - lo, position);
    float towardsLo = 0.0f, towardsHi = 0.0f, weightLo = 0.0f, weightHi = 0.0f;
    for (int p = 0; p < kBlockPixels; ++p) {
      const float a = alphas[p], t = position[p];
      int step;
      if (t < 0.0f) {
        // Alphas nearer to 0 than to lo are coded as exact 0 and do not pull lo.
        if (six && a <= lo * 0.5f) continue;
        step = 0;
      } else if (t > last) {
        if (six && a >= (hi + 1.0f) * 0.5f) continue;
        step = steps - 1;
      } else {
        step = static_cast<int>(t + 0.5f);
      }
      const float d = a - palette[step];
      towardsLo += d * table.low[step];
      towardsHi += d * table.high[step];
      weightLo += table.low[step] * table.low[step];
      weightHi += table.high[step] * table.high[step];
    }
    if (weightLo > 0.0f) lo -= towardsLo / weightLo;
    if (weightHi > 0.0f) hi -= towardsHi / weightHi;
    if (lo > hi) std::swap(lo, hi);
    if (towardsLo * towardsLo < 1.0f / 64.0f && towardsHi * towardsHi < 1.0f / 64.0f) break;
  }
  *loOut = clampUnit(lo);
  *hiOut = clampUnit(hi);
}

}  // namespace kv
