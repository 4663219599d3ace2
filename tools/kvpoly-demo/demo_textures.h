// Pictures the demo makes for itself and hands to the library as textures.
#pragma once

#include <cstdint>

namespace demo {

constexpr int kTextureSize = 128;

// Each fills a host image of kTextureSize x kTextureSize (bottom row first, 0xAARRGGBB).
// A soft landscape-like gradient with a sun, fully opaque.
void paintPhoto(uint32_t *pixels);
// A checker whose light cells are half transparent.
void paintChecker(uint32_t *pixels);
// Blocky letters on a clear background: only the glyphs are opaque.
void paintGlyphs(uint32_t *pixels);
// A grey vignette, bright in the middle, for modulating another texture on stage 1.
void paintVignette(uint32_t *pixels);

}  // namespace demo
