#include "pixel/blocks/premultiplied_alpha.h"

namespace kv {

void premultiplyAlpha(float pixels[16][4]) {
  for (int p = 0; p < 16; ++p) {
    for (int c = 0; c < 3; ++c) pixels[p][c] *= pixels[p][3];
  }
}

void unpremultiplyAlpha(float pixels[16][4]) {
  for (int p = 0; p < 16; ++p) {
    const float a = pixels[p][3];
    if (a >= 1.0f) continue;
    for (int c = 0; c < 3; ++c) {
      float &v = pixels[p][c];
      v = a == 0.0f ? 0.0f : a > v ? v / a : 1.0f;
    }
  }
}

}  // namespace kv
