#include "demo_textures.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace demo {

namespace {

constexpr int kS = kTextureSize;

uint32_t argb(int a, int r, int g, int b) {
  auto c = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
  return c(a) << 24 | c(r) << 16 | c(g) << 8 | c(b);
}

// Pixel (x, y) with y counted from the top of the picture.
uint32_t &at(uint32_t *pixels, int x, int y) { return pixels[(kS - 1 - y) * kS + x]; }

// 5 x 7 glyphs of "kvPOLY", one bit a cell, top row first.
constexpr uint8_t kGlyphs[6][7] = {
    {0x10, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11},  // k
    {0x00, 0x00, 0x11, 0x11, 0x11, 0x0A, 0x04},  // v
    {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},  // P
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},  // O
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},  // L
    {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04},  // Y
};

}  // namespace

void paintPhoto(uint32_t *pixels) {
  for (int y = 0; y < kS; ++y) {
    for (int x = 0; x < kS; ++x) {
      const float fy = static_cast<float>(y) / kS, fx = static_cast<float>(x) / kS;
      const float hill = 0.62f + 0.08f * std::sin(fx * 9.0f) + 0.05f * std::sin(fx * 23.0f + 1.0f);
      int r, g, b;
      if (fy < hill) {  // sky, lighter towards the horizon
        r = static_cast<int>(90 + 120 * fy);
        g = static_cast<int>(140 + 90 * fy);
        b = static_cast<int>(230 - 30 * fy);
      } else {  // grass, darker towards the front
        const float depth = (fy - hill) / (1.0f - hill);
        r = static_cast<int>(70 - 40 * depth);
        g = static_cast<int>(150 - 60 * depth + 12 * std::sin(x * 1.7f + y * 0.9f));
        b = static_cast<int>(60 - 30 * depth);
      }
      const float dx = fx - 0.72f, dy = fy - 0.22f, sun = std::exp(-(dx * dx + dy * dy) * 90.0f);
      at(pixels, x, y) = argb(255, r + static_cast<int>(200 * sun), g + static_cast<int>(170 * sun), b);
    }
  }
}

void paintChecker(uint32_t *pixels) {
  for (int y = 0; y < kS; ++y) {
    for (int x = 0; x < kS; ++x) {
      const bool dark = ((x / 16) + (y / 16)) % 2 == 0;
      at(pixels, x, y) = dark ? argb(255, 40, 30, 90) : argb(110, 250, 200, 60);
    }
  }
}

void paintGlyphs(uint32_t *pixels) {
  std::memset(pixels, 0, sizeof(uint32_t) * kS * kS);
  constexpr int cell = 4, top = 48;
  for (int g = 0; g < 6; ++g) {
    const int left = 4 + g * 21;
    for (int row = 0; row < 7; ++row) {
      for (int col = 0; col < 5; ++col) {
        if (!(kGlyphs[g][row] & (0x10 >> col))) continue;
        for (int y = 0; y < cell; ++y)
          for (int x = 0; x < cell; ++x)
            at(pixels, left + col * cell + x, top + row * cell + y) = argb(255, 255, 250 - g * 30, 80 + g * 30);
      }
    }
  }
}

void paintVignette(uint32_t *pixels) {
  for (int y = 0; y < kS; ++y) {
    for (int x = 0; x < kS; ++x) {
      const float dx = (x - kS / 2) / static_cast<float>(kS), dy = (y - kS / 2) / static_cast<float>(kS);
      const int v = static_cast<int>(255 * std::max(0.25f, 1.0f - 2.2f * (dx * dx + dy * dy)));
      at(pixels, x, y) = argb(255, v, v, v);
    }
  }
}

}  // namespace demo
