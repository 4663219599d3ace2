#include "pixel/blocks/alpha_blocks.h"

#include <cstring>

#include "pixel/blocks/alpha_fit_tables.h"
#include "pixel/blocks/block_diffusion.h"
#include "pixel/blocks/block_layout.h"

namespace kv {

namespace {

// Codes of an interpolated-alpha block: two groups of 24 bits, pixel 0 lowest.
uint64_t readAlphaCodes(const uint8_t *block) {
  uint64_t codes = 0;
  for (int i = 0; i < 6; ++i) codes |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
  return codes;
}

void writeAlphaCodes(uint8_t *block, uint64_t codes) {
  for (int i = 0; i < 6; ++i) block[2 + i] = static_cast<uint8_t>(codes >> (8 * i));
}

void alphasOf(const float pixels[16][4], float alphas[16]) {
  for (int p = 0; p < kBlockPixels; ++p) alphas[p] = pixels[p][3];
}

struct AlphaChoice {
  uint8_t code;
  float value;
};

// The code of alpha a in a block whose written endpoints are e0 (step 0) and e1 (last
// step); six-step blocks send alphas nearer to 0 or 1 than to their ends to codes 6, 7.
// t is a's position on the palette (0 when e0 = e1).
AlphaChoice chooseAlphaCode(float a, float t, float e0, float e1, int steps) {
  const bool six = steps == 6;
  const float last = static_cast<float>(steps - 1);
  int step;
  if (t <= 0.0f) {
    if (six && a <= e0 * 0.5f) return {kAlphaCodeZero, 0.0f};
    step = 0;
  } else if (t >= last) {
    if (six && a >= (e1 + 1.0f) * 0.5f) return {kAlphaCodeOne, 1.0f};
    step = steps - 1;
  } else {
    step = static_cast<int>(t + 0.5f);
  }
  return {alphaStepsFor(steps).code[step], e0 + (e1 - e0) * static_cast<float>(step) / last};
}

}  // namespace

void decodeExplicitAlpha(const uint8_t *block, float pixels[16][4]) {
  for (int p = 0; p < kBlockPixels; ++p) {
    const int code = (block[p >> 1] >> (4 * (p & 1))) & 15;
    pixels[p][3] = static_cast<float>(code) * (1.0f / 15.0f);
  }
}

void interpolatedAlphaPalette(uint8_t alpha0, uint8_t alpha1, float palette[8]) {
  const float a0 = static_cast<float>(alpha0) / 255.0f, a1 = static_cast<float>(alpha1) / 255.0f;
  palette[0] = a0;
  palette[1] = a1;
  if (alpha0 <= alpha1) {
    for (int i = 1; i <= 4; ++i) {
      palette[1 + i] = (static_cast<float>(5 - i) * a0 + static_cast<float>(i) * a1) * 0.2f;
    }
    palette[6] = 0.0f;
    palette[7] = 1.0f;
  } else {
    for (int i = 1; i <= 6; ++i) {
      palette[1 + i] = (static_cast<float>(7 - i) * a0 + static_cast<float>(i) * a1) * (1.0f / 7.0f);
    }
  }
}

void decodeInterpolatedAlpha(const uint8_t *block, float pixels[16][4]) {
  float palette[8];
  interpolatedAlphaPalette(block[0], block[1], palette);
  const uint64_t codes = readAlphaCodes(block);
  for (int p = 0; p < kBlockPixels; ++p) pixels[p][3] = palette[(codes >> (3 * p)) & 7];
}

void encodeExplicitAlpha(const float pixels[16][4], bool dither, uint8_t *block) {
  float alphas[16];
  alphasOf(pixels, alphas);
  std::memset(block, 0, 8);
  quantiseChannel(alphas, dither, [block](int p, float a) {
    // Held to four bits: a diffused error may carry a value just past either end.
    int32_t code = static_cast<int32_t>(a * 15.0f + 0.5f);
    code = code < 0 ? 0 : code > 15 ? 15 : code;
    block[p >> 1] = static_cast<uint8_t>(block[p >> 1] | code << (4 * (p & 1)));
    return static_cast<float>(code) / 15.0f;
  });
}

void encodeInterpolatedAlpha(const BlockKernels &kernels, const float pixels[16][4], bool dither, uint8_t *block) {
  float alphas[16];
  if (dither) {
    float given[16];
    alphasOf(pixels, given);
    quantiseChannel(given, true, [&alphas](int p, float a) { return alphas[p] = truncated(a * 255.0f + 0.5f) / 255.0f; });
  } else {
    kernels.quantiseAlphas(pixels, alphas);
  }
  // Both start from pixel 0 as given, before rounding.
  float lowest = pixels[0][3], highest = pixels[0][3];
  for (float a : alphas) {
    if (a < lowest) {
      lowest = a;
    } else if (a > highest) {
      highest = a;
    }
  }
  std::memset(block, 0, 8);
  if (lowest == 1.0f) {
    block[0] = block[1] = 255;
    return;
  }
  const int steps = lowest == 0.0f || highest == 1.0f ? 6 : 8;
  float lo, hi;
  fitAlphaEndpoints(kernels, alphas, steps, &lo, &hi);
  const auto toByte = [](float v) { return static_cast<uint8_t>(static_cast<int32_t>(v * 255.0f + 0.5f)); };
  // The decoder tells the modes apart by the order of the endpoints.
  block[0] = steps == 6 ? toByte(lo) : toByte(hi);
  block[1] = steps == 6 ? toByte(hi) : toByte(lo);
  if (steps == 8 && block[0] == block[1]) return;
  const float e0 = static_cast<float>(block[0]) / 255.0f, e1 = static_cast<float>(block[1]) / 255.0f;
  const float last = static_cast<float>(steps - 1);
  float position[kBlockPixels] = {};
  if (!dither && e0 != e1) kernels.palettePositions(alphas, e0, last, e1 - e0, position);
  uint64_t codes = 0;
  quantiseChannel(alphas, dither, [&](int p, float a) {
    // Diffused errors move the alpha, so its position is taken again.
    const float t = !dither || e0 == e1 ? position[p] : palettePosition(a, e0, last, e1 - e0);
    const AlphaChoice choice = chooseAlphaCode(a, t, e0, e1, steps);
    codes |= static_cast<uint64_t>(choice.code) << (3 * p);
    return choice.value;
  });
  writeAlphaCodes(block, codes);
}

}  // namespace kv
