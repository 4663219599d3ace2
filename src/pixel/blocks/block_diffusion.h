// In-block error diffusion: a pixel's rounding error spreads to the neighbours not yet
// visited inside the same 4 x 4 block (7/16 right, 3/16 lower left, 5/16 below, 1/16
// lower right). Nothing crosses the block's edge; every pass starts from zero.
#pragma once

namespace kv {

template <int Channels>
class BlockDiffusion {
 public:
  // The value of pixel p with the error it has collected so far.
  void addCollected(int p, const float value[Channels], float out[Channels]) const {
    for (int c = 0; c < Channels; ++c) out[c] = value[c] + pending_[p][c];
  }

  // Passes the error of pixel p (value with collected error, minus what was stored).
  void spread(int p, const float error[Channels]) {
    const int column = p & 3;
    const bool lastRow = p >= 12;
    for (int c = 0; c < Channels; ++c) {
      const float e = error[c];
      if (column < 3) pending_[p + 1][c] += (7.0f / 16.0f) * e;
      if (lastRow) continue;
      if (column > 0) pending_[p + 3][c] += (3.0f / 16.0f) * e;
      pending_[p + 4][c] += (5.0f / 16.0f) * e;
      if (column < 3) pending_[p + 5][c] += (1.0f / 16.0f) * e;
    }
  }

 private:
  float pending_[16][Channels] = {};
};

// Quantises one channel of a block, pixel by pixel: quantise(p, v) gets pixel p's value
// (with its collected error when diffusing) and returns the value that will be stored.
template <typename Quantise>
void quantiseChannel(const float in[16], bool diffuse, Quantise quantise) {
  BlockDiffusion<1> diffusion;
  for (int p = 0; p < 16; ++p) {
    float v = in[p];
    if (diffuse) diffusion.addCollected(p, &in[p], &v);
    const float error = v - quantise(p, v);
    if (diffuse) diffusion.spread(p, &error);
  }
}

}  // namespace kv
