#include "math/reciprocal_sqrt.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

namespace kv {

namespace {

constexpr int kEntries = 512;

// Each line meets 1/sqrt(m) at the start m0 of its interval and takes the secant slope,
// rounded to 15 significant bits so that slope * m loses little in a float product.
std::array<ReciprocalSqrtEntry, kEntries> buildTable() {
  std::array<ReciprocalSqrtEntry, kEntries> table{};
  for (int i = 0; i < kEntries; ++i) {
    const double width = i < 256 ? 1.0 / 512.0 : 1.0 / 256.0;
    const double m0 = i < 256 ? 0.5 + i * width : 1.0 + (i - 256) * width;
    const double f0 = 1.0 / std::sqrt(m0);
    const double secant = (1.0 / std::sqrt(m0 + width) - f0) / width;
    const double quantum = std::ldexp(1.0, std::ilogb(secant) - 14);
    const double slope = std::nearbyint(secant / quantum) * quantum;
    table[i].slope = static_cast<float>(slope);
    table[i].intercept = static_cast<float>(f0 - slope * m0);
  }
  return table;
}

}  // namespace

const ReciprocalSqrtEntry *reciprocalSqrtTable() {
  static const std::array<ReciprocalSqrtEntry, kEntries> table = buildTable();
  return table.data();
}

float tableReciprocalSqrt(float q) {
  // A denormal has no implicit leading bit, so the exponent trick below would misread it
  // (1e-40 would give about 1.3e19 instead of 1e20). Scaled by 2^64 it becomes a normal
  // number; the result then needs 2^32 more.
  float correction = 1.0f;
  if ((std::bit_cast<uint32_t>(q) & 0x7F800000u) == 0 && (std::bit_cast<uint32_t>(q) & 0x007FFFFFu) != 0) {
    q *= 18446744073709551616.0f;  // 2^64
    correction = 4294967296.0f;    // 2^32
  }
  const uint32_t bits = std::bit_cast<uint32_t>(q);
  // The lowest exponent bit picks the half of the table, the top eight fraction bits the line.
  const uint32_t index = (bits >> 15) & 0x1FF;
  // m in [0.5, 1) for an even biased exponent, [1, 2) for an odd one.
  const float m = std::bit_cast<float>((bits & 0x00FFFFFFu) | 0x3F000000u);
  // The power of two k with k * k * q = m (a subtraction on the exponent field).
  const float k = std::bit_cast<float>(((0xBEFFFFFFu - bits) >> 1) & 0xFF800000u);
  const ReciprocalSqrtEntry &line = reciprocalSqrtTable()[index];
  return (line.slope * m + line.intercept) * k * correction;
}

}  // namespace kv
