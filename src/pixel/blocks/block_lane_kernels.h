// The encoders' loops over a block, written once for any four-lane type
// (block_lanes.h). Lane i of row k holds pixel 4k + i; sums over the block add each
// lane's rows in order and then the lanes in the lane type's fixed order.
#pragma once

#include <cfloat>
#include <utility>

#include "pixel/blocks/block_kernels.h"
#include "pixel/blocks/colour_fit_tables.h"

namespace kv {

template <class L>
struct LaneRgb {
  L r, g, b;

  static LaneRgb row(const WeightedColours &c, int k) {
    return {L::load(c.r + 4 * k), L::load(c.g + 4 * k), L::load(c.b + 4 * k)};
  }
};

inline float lengthSquared(Rgb v) { return (v.r * v.r + v.g * v.g) + v.b * v.b; }
inline Rgb difference(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }

// (c - origin) . direction per lane.
template <class L>
L projectLanes(const LaneRgb<L> &c, Rgb origin, Rgb direction) {
  return ((c.r - L::splat(origin.r)) * L::splat(direction.r) + (c.g - L::splat(origin.g)) * L::splat(direction.g)) +
         (c.b - L::splat(origin.b)) * L::splat(direction.b);
}

// t rounded to the nearest whole step in [0, last].
template <class L>
L nearestStep(L t, float last) {
  return lanesTrunc(lanesMin(lanesMax(t, L::splat(0.0f)), L::splat(last)) + L::splat(0.5f));
}

// Picks which diagonal of the colours' bounding box they lie along, by the spread of
// their projections on the four diagonals, and turns x and y to its corners.
template <class L>
void chooseBoxDiagonal(const WeightedColours &colours, float spanSquared, Rgb *x, Rgb *y) {
  const Rgb centre = {(x->r + y->r) * 0.5f, (x->g + y->g) * 0.5f, (x->b + y->b) * 0.5f};
  const Rgb scale = {(y->r - x->r) / spanSquared, (y->g - x->g) / spanSquared, (y->b - x->b) / spanSquared};
  L spread[4] = {L::splat(0.0f), L::splat(0.0f), L::splat(0.0f), L::splat(0.0f)};
  for (int k = 0; k < 4; ++k) {
    const LaneRgb<L> c = LaneRgb<L>::row(colours, k);
    const L r = (c.r - L::splat(centre.r)) * L::splat(scale.r);
    const L g = (c.g - L::splat(centre.g)) * L::splat(scale.g);
    const L b = (c.b - L::splat(centre.b)) * L::splat(scale.b);
    const L onDiagonal[4] = {(r + g) + b, (r + g) - b, (r - g) + b, (r - g) - b};
    for (int i = 0; i < 4; ++i) spread[i] = spread[i] + onDiagonal[i] * onDiagonal[i];
  }
  int best = 0;
  float bestSpread = spread[0].sum();
  for (int i = 1; i < 4; ++i) {
    const float s = spread[i].sum();
    if (s > bestSpread) {
      best = i;
      bestSpread = s;
    }
  }
  if (best & 2) std::swap(x->g, y->g);
  if (best & 1) std::swap(x->b, y->b);
}

// One least-squares round: moves x and y towards the colours that chose each step.
// False when the moves were all small enough to stop.
template <class L>
bool refineEndpoints(const WeightedColours &colours, const ColourSteps &table, int steps, Rgb *x, Rgb *y) {
  const float last = static_cast<float>(steps - 1);
  const Rgb span = difference(*y, *x);
  const float spanSquared = lengthSquared(span);
  const Rgb direction = {span.r * last / spanSquared, span.g * last / spanSquared, span.b * last / spanSquared};
  const L zero = L::splat(0.0f);
  LaneRgb<L> moveX = {zero, zero, zero}, moveY = {zero, zero, zero};
  L weightX = zero, weightY = zero;
  for (int k = 0; k < 4; ++k) {
    const LaneRgb<L> c = LaneRgb<L>::row(colours, k);
    const L step = nearestStep(projectLanes(c, *x, direction), last);
    const L wx = lanesLookup(table.first, steps, step);
    const L wy = lanesLookup(table.second, steps, step);
    const L wx8 = wx * L::splat(0.125f);
    const L wy8 = wy * L::splat(0.125f);
    const L offR = (L::splat(x->r) * wx + L::splat(y->r) * wy) - c.r;
    const L offG = (L::splat(x->g) * wx + L::splat(y->g) * wy) - c.g;
    const L offB = (L::splat(x->b) * wx + L::splat(y->b) * wy) - c.b;
    moveX = {moveX.r + offR * wx8, moveX.g + offG * wx8, moveX.b + offB * wx8};
    moveY = {moveY.r + offR * wy8, moveY.g + offG * wy8, moveY.b + offB * wy8};
    weightX = weightX + wx * wx8;
    weightY = weightY + wy * wy8;
  }
  const Rgb dx = {moveX.r.sum(), moveX.g.sum(), moveX.b.sum()};
  const Rgb dy = {moveY.r.sum(), moveY.g.sum(), moveY.b.sum()};
  const float sumX = weightX.sum(), sumY = weightY.sum();
  if (sumX > 0.0f) *x = {x->r - dx.r / sumX, x->g - dx.g / sumX, x->b - dx.b / sumX};
  if (sumY > 0.0f) *y = {y->r - dy.r / sumY, y->g - dy.g / sumY, y->b - dy.b / sumY};
  const float limit = 1.0f / 65536.0f;
  const auto small = [limit](Rgb d) { return d.r * d.r < limit && d.g * d.g < limit && d.b * d.b < limit; };
  return !(small(dx) && small(dy));
}

template <class L>
void fitColourEndpointsWith(const WeightedColours &colours, int steps, Rgb *first, Rgb *second) {
  LaneRgb<L> low = LaneRgb<L>::row(colours, 0), high = low;
  for (int k = 1; k < 4; ++k) {
    const LaneRgb<L> c = LaneRgb<L>::row(colours, k);
    low = {lanesMin(low.r, c.r), lanesMin(low.g, c.g), lanesMin(low.b, c.b)};
    high = {lanesMax(high.r, c.r), lanesMax(high.g, c.g), lanesMax(high.b, c.b)};
  }
  Rgb x = {low.r.lowest(), low.g.lowest(), low.b.lowest()};
  Rgb y = {high.r.highest(), high.g.highest(), high.b.highest()};
  const float spanSquared = lengthSquared(difference(y, x));
  // Closer than this, the box is a point (and its diagonals would divide by zero).
  if (spanSquared >= FLT_MIN) {
    chooseBoxDiagonal<L>(colours, spanSquared, &x, &y);
    const ColourSteps &table = colourStepsFor(steps);
    const float tooClose = 1.0f / 4096.0f;
    for (int round = 0; round < 8 && lengthSquared(difference(y, x)) >= tooClose; ++round) {
      if (!refineEndpoints<L>(colours, table, steps, &x, &y)) break;
    }
  }
  *first = x;
  *second = y;
}

template <class L>
void colourStepsWith(const WeightedColours &colours, Rgb first, Rgb direction, int steps, int32_t out[kBlockPixels]) {
  const float last = static_cast<float>(steps - 1);
  for (int k = 0; k < 4; ++k) {
    lanesToInts(nearestStep(projectLanes(LaneRgb<L>::row(colours, k), first, direction), last), out + 4 * k);
  }
}

template <class L>
void quantiseColoursWith(const float pixels[16][4], WeightedColours *out) {
  for (int k = 0; k < 4; ++k) {
    L channel[4];
    L::loadChannels(pixels + 4 * k, channel);
    const auto quantise = [](L v, float levels, float weight) {
      return lanesTrunc(v * L::splat(levels) + L::splat(0.5f)) / L::splat(levels) * L::splat(weight);
    };
    quantise(channel[0], 31.0f, kColourWeights.r).store(out->r + 4 * k);
    quantise(channel[1], 63.0f, kColourWeights.g).store(out->g + 4 * k);
    quantise(channel[2], 31.0f, kColourWeights.b).store(out->b + 4 * k);
  }
}

template <class L>
void quantiseAlphasWith(const float pixels[16][4], float out[kBlockPixels]) {
  for (int k = 0; k < 4; ++k) {
    L channel[4];
    L::loadChannels(pixels + 4 * k, channel);
    (lanesTrunc(channel[3] * L::splat(255.0f) + L::splat(0.5f)) / L::splat(255.0f)).store(out + 4 * k);
  }
}

template <class L>
void palettePositionsWith(const float values[kBlockPixels], float origin, float last, float span,
                          float out[kBlockPixels]) {
  for (int k = 0; k < 4; ++k) {
    ((L::load(values + 4 * k) - L::splat(origin)) * L::splat(last) / L::splat(span)).store(out + 4 * k);
  }
}

template <class L>
constexpr BlockKernels blockKernelsWith() {
  return {quantiseColoursWith<L>, quantiseAlphasWith<L>, fitColourEndpointsWith<L>, colourStepsWith<L>,
          palettePositionsWith<L>};
}

}  // namespace kv
