#include "pixel_reference.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kv::test {
namespace {

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// An n-bit field scaled to 8 bits with rounding.
uint32_t widen(uint32_t value, uint32_t bits) {
  const uint32_t top = (1u << bits) - 1;
  return (value * 255 + top / 2) / top;
}

uint32_t read16(const uint8_t *p) { return p[0] | p[1] << 8; }

uint32_t rgb565(uint32_t c) { return argb(255, widen(c >> 11, 5), widen((c >> 5) & 63, 6), widen(c & 31, 5)); }

// The four colours of a DXT colour block; the one-bit-alpha form only when asked for.
void blockColours(const uint8_t *block, bool allowTransparent, uint32_t colours[4]) {
  const uint32_t c0 = read16(block), c1 = read16(block + 2);
  colours[0] = rgb565(c0);
  colours[1] = rgb565(c1);
  auto mix = [&](int w0, int w1, int total) {
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
      const uint32_t a = (colours[0] >> shift) & 255, b = (colours[1] >> shift) & 255;
      out |= ((a * w0 + b * w1 + total / 2) / total) << shift;
    }
    return out;
  };
  if (c0 > c1 || !allowTransparent) {
    colours[2] = mix(2, 1, 3);
    colours[3] = mix(1, 2, 3);
  } else {
    colours[2] = mix(1, 1, 2);
    colours[3] = 0;
  }
}

void decodeDxtBlock(uint32_t format, const uint8_t *block, uint32_t out[16]) {
  const bool dxt1 = format == D3DFMT_DXT1;
  const uint8_t *colourBlock = dxt1 ? block : block + 8;
  uint32_t colours[4];
  blockColours(colourBlock, dxt1, colours);
  const uint32_t indices = colourBlock[4] | colourBlock[5] << 8 | colourBlock[6] << 16 |
                           static_cast<uint32_t>(colourBlock[7]) << 24;
  for (int i = 0; i < 16; ++i) out[i] = colours[(indices >> (2 * i)) & 3];
  if (dxt1) return;
  uint32_t alpha[16];
  if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
    for (int i = 0; i < 16; ++i) alpha[i] = ((block[i / 2] >> (4 * (i % 2))) & 15) * 17;
  } else {
    const uint32_t a0 = block[0], a1 = block[1];
    uint32_t table[8] = {a0, a1};
    for (int i = 2; i < 8; ++i) {
      if (a0 > a1) table[i] = (a0 * (8 - i) + a1 * (i - 1) + 3) / 7;
      else if (i < 6) table[i] = (a0 * (6 - i) + a1 * (i - 1) + 2) / 5;
      else table[i] = i == 6 ? 0 : 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) alpha[i] = table[(bits >> (3 * i)) & 7];
  }
  for (int i = 0; i < 16; ++i) out[i] = (out[i] & 0xFFFFFF) | alpha[i] << 24;
}

bool isDxt(uint32_t format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ||
         format == D3DFMT_DXT4 || format == D3DFMT_DXT5;
}

bool convertPixel(uint32_t format, const uint8_t *p, uint32_t &out) {
  switch (format) {
    case D3DFMT_A8R8G8B8: out = argb(p[3], p[2], p[1], p[0]); return true;
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R8G8B8: out = argb(255, p[2], p[1], p[0]); return true;
    case D3DFMT_A8B8G8R8: out = argb(p[3], p[0], p[1], p[2]); return true;
    case D3DFMT_X8B8G8R8: out = argb(255, p[0], p[1], p[2]); return true;
    case D3DFMT_R5G6B5: out = rgb565(read16(p)); return true;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: {
      const uint32_t c = read16(p);
      const uint32_t a = format == D3DFMT_X1R5G5B5 || (c & 0x8000) ? 255 : 0;
      out = argb(a, widen((c >> 10) & 31, 5), widen((c >> 5) & 31, 5), widen(c & 31, 5));
      return true;
    }
    case D3DFMT_A4R4G4B4: {
      const uint32_t c = read16(p);
      out = argb((c >> 12) * 17, ((c >> 8) & 15) * 17, ((c >> 4) & 15) * 17, (c & 15) * 17);
      return true;
    }
    case D3DFMT_L8: out = argb(255, p[0], p[0], p[0]); return true;
    case D3DFMT_A8L8: out = argb(p[1], p[0], p[0], p[0]); return true;
    default: return false;
  }
}

uint32_t bytesPerPixel(uint32_t format) {
  switch (format) {
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_A8B8G8R8: case D3DFMT_X8B8G8R8: return 4;
    case D3DFMT_R8G8B8: return 3;
    case D3DFMT_L8: return 1;
    default: return 2;
  }
}

}  // namespace

bool convertToArgb(const DecodedImage &image, ArgbImage &out) {
  out.width = image.width;
  out.height = image.height;
  out.pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
  if (isDxt(image.format)) {
    const uint32_t blockBytes = image.format == D3DFMT_DXT1 ? 8 : 16;
    for (uint32_t by = 0; by < (image.height + 3) / 4; ++by) {
      for (uint32_t bx = 0; bx < (image.width + 3) / 4; ++bx) {
        uint32_t block[16];
        decodeDxtBlock(image.format, image.pixels + by * image.rowPitch + bx * blockBytes, block);
        for (uint32_t i = 0; i < 16; ++i) {
          const uint32_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
          if (x < image.width && y < image.height) out.pixels[y * image.width + x] = block[i];
        }
      }
    }
    return true;
  }
  const uint32_t step = bytesPerPixel(image.format);
  for (uint32_t y = 0; y < image.height; ++y) {
    for (uint32_t x = 0; x < image.width; ++x) {
      if (!convertPixel(image.format, image.pixels + y * image.rowPitch + x * step,
                        out.pixels[y * image.width + x]))
        return false;
    }
  }
  return true;
}

bool loadPng(const std::string &path, ArgbImage &out) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
  png.format = PNG_FORMAT_BGRA;
  out.width = png.width;
  out.height = png.height;
  out.pixels.assign(static_cast<size_t>(png.width) * png.height, 0);
  const bool ok = png_image_finish_read(&png, nullptr, out.pixels.data(), 0, nullptr) != 0;
  png_image_free(&png);
  return ok;
}

Difference compareImages(const ArgbImage &a, const ArgbImage &b) {
  Difference d;
  for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      const int diff = std::abs(static_cast<int>((a.pixels[i] >> shift) & 255) -
                                static_cast<int>((b.pixels[i] >> shift) & 255));
      d.maxColour = std::max(d.maxColour, diff);
    }
    d.maxAlpha = std::max(d.maxAlpha, std::abs(static_cast<int>(a.pixels[i] >> 24) -
                                               static_cast<int>(b.pixels[i] >> 24)));
  }
  return d;
}

}  // namespace kv::test
