// The weights of the cubic splines, shared by every routine set.
#pragma once

namespace kv {

struct HermiteWeights {
  float p1, t1, p2, t2;
};

// (2s^3 - 3s^2 + 1) p1 + (s^3 - 2s^2 + s) t1 + (3s^2 - 2s^3) p2 + (s^3 - s^2) t2.
inline HermiteWeights hermiteWeights(float s) {
  const float s2 = s * s, s3 = s2 * s;
  return {2.0f * s3 - 3.0f * s2 + 1.0f, s3 - 2.0f * s2 + s, 3.0f * s2 - 2.0f * s3, s3 - s2};
}

struct CatmullRomWeights {
  float p0, p1, p2, p3;
};

// 0.5 ((-s^3 + 2s^2 - s) p0 + (3s^3 - 5s^2 + 2) p1 + (-3s^3 + 4s^2 + s) p2 + (s^3 - s^2) p3),
// the half folded into the weights: at s = 0 the result is p1, at s = 1 it is p2.
inline CatmullRomWeights catmullRomWeights(float s) {
  const float s2 = s * s, s3 = s2 * s;
  return {0.5f * (-s3 + 2.0f * s2 - s), 0.5f * (3.0f * s3 - 5.0f * s2 + 2.0f), 0.5f * (-3.0f * s3 + 4.0f * s2 + s),
          0.5f * (s3 - s2)};
}

}  // namespace kv
