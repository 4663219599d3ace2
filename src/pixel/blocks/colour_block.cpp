#include "pixel/blocks/colour_block.h"

#include <cstring>
#include <utility>

#include "pixel/blocks/block_diffusion.h"
#include "pixel/blocks/colour_fit_tables.h"

namespace kv {

namespace {

Rgb weighted(Rgb c) { return {c.r * kColourWeights.r, c.g * kColourWeights.g, c.b * kColourWeights.b}; }
Rgb unweighted(Rgb c) {
  return {c.r * kInverseColourWeights.r, c.g * kInverseColourWeights.g, c.b * kInverseColourWeights.b};
}

bool isTransparent(const float pixel[4]) { return pixel[3] < 0.5f; }

// Each channel to its 5, 6 or 5 bits with the errors diffused, then weighted for the fit.
void quantiseColoursDithered(const float pixels[16][4], WeightedColours *out) {
  static constexpr float kLevels[3] = {31.0f, 63.0f, 31.0f};
  float *const channels[3] = {out->r, out->g, out->b};
  BlockDiffusion<3> diffusion;
  for (int p = 0; p < kBlockPixels; ++p) {
    float v[3];
    diffusion.addCollected(p, pixels[p], v);
    float q[3], error[3];
    for (int c = 0; c < 3; ++c) {
      q[c] = truncated(v[c] * kLevels[c] + 0.5f) / kLevels[c];
      error[c] = v[c] - q[c];
    }
    diffusion.spread(p, error);
    const Rgb w = weighted({q[0], q[1], q[2]});
    channels[0][p] = w.r;
    channels[1][p] = w.g;
    channels[2][p] = w.b;
  }
}

void writeColourBlock(uint8_t *block, uint16_t colour0, uint16_t colour1, uint32_t codes) {
  writeLe16(block, colour0);
  writeLe16(block + 2, colour1);
  writeLe32(block + 4, codes);
}

// Steps along first + t * direction with the diffusion of each pixel's distance to the
// palette colour it got; transparent pixels of a three-step block are skipped.
void ditheredColourSteps(const WeightedColours &colours, const float pixels[16][4], Rgb first, Rgb second,
                         Rgb direction, int steps, int32_t out[16]) {
  const ColourSteps &table = colourStepsFor(steps);
  const float last = static_cast<float>(steps - 1);
  BlockDiffusion<3> diffusion;
  for (int p = 0; p < kBlockPixels; ++p) {
    if (steps == 3 && isTransparent(pixels[p])) continue;
    const float own[3] = {colours.r[p], colours.g[p], colours.b[p]};
    float v[3];
    diffusion.addCollected(p, own, v);
    const float t = ((v[0] - first.r) * direction.r + (v[1] - first.g) * direction.g) + (v[2] - first.b) * direction.b;
    const int step = t <= 0.0f ? 0 : t >= last ? steps - 1 : static_cast<int>(t + 0.5f);
    out[p] = step;
    const float wx = table.first[step], wy = table.second[step];
    const float error[3] = {v[0] - (first.r * wx + second.r * wy), v[1] - (first.g * wx + second.g * wy),
                            v[2] - (first.b * wx + second.b * wy)};
    diffusion.spread(p, error);
  }
}

}  // namespace

void decodeColourBlock(const uint8_t *block, float pixels[16][4]) {
  const uint16_t colour0 = readLe16(block), colour1 = readLe16(block + 2);
  const Rgb c0 = unpackR5G6B5(colour0), c1 = unpackR5G6B5(colour1);
  float palette[4][4] = {{c0.r, c0.g, c0.b, 1.0f}, {c1.r, c1.g, c1.b, 1.0f}, {}, {}};
  for (int c = 0; c < 4; ++c) {
    const float a = palette[0][c], b = palette[1][c];
    if (colour0 > colour1) {
      palette[2][c] = a + (b - a) * (1.0f / 3.0f);
      palette[3][c] = a + (b - a) * (2.0f / 3.0f);
    } else {
      palette[2][c] = (a + b) * 0.5f;  // palette[3] stays transparent black
    }
  }
  const uint32_t codes = readLe32(block + 4);
  for (int p = 0; p < kBlockPixels; ++p) std::memcpy(pixels[p], palette[(codes >> (2 * p)) & 3], sizeof palette[0]);
}

void encodeColourBlock(const BlockKernels &kernels, const float pixels[16][4], bool alphaAllowed, bool dither,
                       uint8_t *block) {
  int transparent = 0;
  if (alphaAllowed) {
    for (int p = 0; p < kBlockPixels; ++p) transparent += isTransparent(pixels[p]);
  }
  if (transparent == kBlockPixels) {
    writeColourBlock(block, 0x0000, 0xFFFF, 0xFFFFFFFFu);
    return;
  }
  const int steps = transparent ? 3 : 4;
  WeightedColours colours;
  if (dither) {
    quantiseColoursDithered(pixels, &colours);
  } else {
    kernels.quantiseColours(pixels, &colours);
  }
  Rgb x, y;
  kernels.fitColourEndpoints(colours, steps, &x, &y);
  uint16_t colour0 = packR5G6B5(unweighted(x)), colour1 = packR5G6B5(unweighted(y));
  if (steps == 4 && colour0 == colour1) {
    writeColourBlock(block, colour0, colour1, 0);
    return;
  }
  // The order of the endpoints is what tells the decoder which mode the block uses.
  if ((steps == 4) == (colour0 < colour1)) std::swap(colour0, colour1);
  const Rgb first = weighted(unpackR5G6B5(colour0)), second = weighted(unpackR5G6B5(colour1));
  const Rgb span = {second.r - first.r, second.g - first.g, second.b - first.b};
  const float last = static_cast<float>(steps - 1);
  const float spanSquared = (span.r * span.r + span.g * span.g) + span.b * span.b;
  Rgb direction = {0.0f, 0.0f, 0.0f};
  if (colour0 != colour1) {
    direction = {span.r * last / spanSquared, span.g * last / spanSquared, span.b * last / spanSquared};
  }
  int32_t step[kBlockPixels] = {};
  if (dither) {
    ditheredColourSteps(colours, pixels, first, second, direction, steps, step);
  } else {
    kernels.colourSteps(colours, first, direction, steps, step);
  }
  const ColourSteps &table = colourStepsFor(steps);
  uint32_t codes = 0;
  for (int p = 0; p < kBlockPixels; ++p) {
    const uint32_t code = steps == 3 && isTransparent(pixels[p]) ? 3u : table.code[step[p]];
    codes |= code << (2 * p);
  }
  writeColourBlock(block, colour0, colour1, codes);
}

}  // namespace kv
