// Texel readers for the plain formats and the format table. Channels a format does not
// store read as 1, except that colour channels of alpha-only A8 read as 0: the usual
// convention of the fixed-function sampler.
#include "texel_formats.h"

#include <cstring>

#include "half_float.h"

namespace kvd3d::raster {
namespace {

template <typename T>
T load(const TextureView &v, int x, int y, int bytesPerTexel) {
  T value;
  std::memcpy(&value, v.bits + static_cast<ptrdiff_t>(y) * v.pitch + static_cast<ptrdiff_t>(x) * bytesPerTexel,
              sizeof value);
  return value;
}

// Unsigned field of `bits` bits at `shift`, scaled to [0, 1].
inline float unorm(uint32_t value, int shift, int bits) {
  const uint32_t max = (1u << bits) - 1;
  return static_cast<float>((value >> shift) & max) / static_cast<float>(max);
}

inline float snorm8(uint32_t value, int shift) {
  const float f = static_cast<float>(static_cast<int8_t>((value >> shift) & 0xFF)) / 127.0f;
  return f < -1.0f ? -1.0f : f;
}

inline void set(float out[4], float r, float g, float b, float a) {
  out[0] = r;
  out[1] = g;
  out[2] = b;
  out[3] = a;
}

void fetchA8R8G8B8(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint32_t>(v, x, y, 4);
  set(o, unorm(t, 16, 8), unorm(t, 8, 8), unorm(t, 0, 8), unorm(t, 24, 8));
}
void fetchX8R8G8B8(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint32_t>(v, x, y, 4);
  set(o, unorm(t, 16, 8), unorm(t, 8, 8), unorm(t, 0, 8), 1.0f);
}
void fetchA8B8G8R8(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint32_t>(v, x, y, 4);
  set(o, unorm(t, 0, 8), unorm(t, 8, 8), unorm(t, 16, 8), unorm(t, 24, 8));
}
void fetchX8B8G8R8(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint32_t>(v, x, y, 4);
  set(o, unorm(t, 0, 8), unorm(t, 8, 8), unorm(t, 16, 8), 1.0f);
}
void fetchR8G8B8(const TextureView &v, int x, int y, float o[4]) {
  const BYTE *p = v.bits + static_cast<ptrdiff_t>(y) * v.pitch + static_cast<ptrdiff_t>(x) * 3;
  set(o, p[2] / 255.0f, p[1] / 255.0f, p[0] / 255.0f, 1.0f);
}
void fetchR5G6B5(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint16_t>(v, x, y, 2);
  set(o, unorm(t, 11, 5), unorm(t, 5, 6), unorm(t, 0, 5), 1.0f);
}
void fetchX1R5G5B5(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint16_t>(v, x, y, 2);
  set(o, unorm(t, 10, 5), unorm(t, 5, 5), unorm(t, 0, 5), 1.0f);
}
void fetchA1R5G5B5(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint16_t>(v, x, y, 2);
  set(o, unorm(t, 10, 5), unorm(t, 5, 5), unorm(t, 0, 5), unorm(t, 15, 1));
}
void fetchA4R4G4B4(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint16_t>(v, x, y, 2);
  set(o, unorm(t, 8, 4), unorm(t, 4, 4), unorm(t, 0, 4), unorm(t, 12, 4));
}
void fetchX4R4G4B4(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint16_t>(v, x, y, 2);
  set(o, unorm(t, 8, 4), unorm(t, 4, 4), unorm(t, 0, 4), 1.0f);
}
void fetchR3G3B2(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint8_t>(v, x, y, 1);
  set(o, unorm(t, 5, 3), unorm(t, 2, 3), unorm(t, 0, 2), 1.0f);
}
void fetchA8R3G3B2(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint16_t>(v, x, y, 2);
  set(o, unorm(t, 5, 3), unorm(t, 2, 3), unorm(t, 0, 2), unorm(t, 8, 8));
}
void fetchA8(const TextureView &v, int x, int y, float o[4]) {
  set(o, 0.0f, 0.0f, 0.0f, unorm(load<uint8_t>(v, x, y, 1), 0, 8));
}
void fetchL8(const TextureView &v, int x, int y, float o[4]) {
  const float l = unorm(load<uint8_t>(v, x, y, 1), 0, 8);
  set(o, l, l, l, 1.0f);
}
void fetchA8L8(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint16_t>(v, x, y, 2);
  const float l = unorm(t, 0, 8);
  set(o, l, l, l, unorm(t, 8, 8));
}
void fetchA4L4(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint8_t>(v, x, y, 1);
  const float l = unorm(t, 0, 4);
  set(o, l, l, l, unorm(t, 4, 4));
}
void fetchL16(const TextureView &v, int x, int y, float o[4]) {
  const float l = unorm(load<uint16_t>(v, x, y, 2), 0, 16);
  set(o, l, l, l, 1.0f);
}
void fetchA2R10G10B10(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint32_t>(v, x, y, 4);
  set(o, unorm(t, 20, 10), unorm(t, 10, 10), unorm(t, 0, 10), unorm(t, 30, 2));
}
void fetchA2B10G10R10(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint32_t>(v, x, y, 4);
  set(o, unorm(t, 0, 10), unorm(t, 10, 10), unorm(t, 20, 10), unorm(t, 30, 2));
}
void fetchG16R16(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint32_t>(v, x, y, 4);
  set(o, unorm(t, 0, 16), unorm(t, 16, 16), 1.0f, 1.0f);
}
void fetchA16B16G16R16(const TextureView &v, int x, int y, float o[4]) {
  uint16_t c[4];
  std::memcpy(c, v.bits + static_cast<ptrdiff_t>(y) * v.pitch + static_cast<ptrdiff_t>(x) * 8, sizeof c);
  set(o, c[0] / 65535.0f, c[1] / 65535.0f, c[2] / 65535.0f, c[3] / 65535.0f);
}
void fetchR16F(const TextureView &v, int x, int y, float o[4]) {
  set(o, halfToFloat(load<uint16_t>(v, x, y, 2)), 1.0f, 1.0f, 1.0f);
}
void fetchG16R16F(const TextureView &v, int x, int y, float o[4]) {
  uint16_t c[2];
  std::memcpy(c, v.bits + static_cast<ptrdiff_t>(y) * v.pitch + static_cast<ptrdiff_t>(x) * 4, sizeof c);
  set(o, halfToFloat(c[0]), halfToFloat(c[1]), 1.0f, 1.0f);
}
void fetchA16B16G16R16F(const TextureView &v, int x, int y, float o[4]) {
  uint16_t c[4];
  std::memcpy(c, v.bits + static_cast<ptrdiff_t>(y) * v.pitch + static_cast<ptrdiff_t>(x) * 8, sizeof c);
  set(o, halfToFloat(c[0]), halfToFloat(c[1]), halfToFloat(c[2]), halfToFloat(c[3]));
}
void fetchR32F(const TextureView &v, int x, int y, float o[4]) {
  set(o, load<float>(v, x, y, 4), 1.0f, 1.0f, 1.0f);
}
void fetchG32R32F(const TextureView &v, int x, int y, float o[4]) {
  float c[2];
  std::memcpy(c, v.bits + static_cast<ptrdiff_t>(y) * v.pitch + static_cast<ptrdiff_t>(x) * 8, sizeof c);
  set(o, c[0], c[1], 1.0f, 1.0f);
}
void fetchA32B32G32R32F(const TextureView &v, int x, int y, float o[4]) {
  std::memcpy(o, v.bits + static_cast<ptrdiff_t>(y) * v.pitch + static_cast<ptrdiff_t>(x) * 16, 4 * sizeof(float));
}
// Signed bump formats read as signed values; the texture stages clamp them into [0, 1].
void fetchV8U8(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint16_t>(v, x, y, 2);
  set(o, snorm8(t, 0), snorm8(t, 8), 1.0f, 1.0f);
}
void fetchQ8W8V8U8(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<uint32_t>(v, x, y, 4);
  set(o, snorm8(t, 0), snorm8(t, 8), snorm8(t, 16), snorm8(t, 24));
}

constexpr TexelFormat kFormats[] = {
    {D3DFMT_A8R8G8B8, 4, 0, fetchA8R8G8B8},
    {D3DFMT_X8R8G8B8, 4, 0, fetchX8R8G8B8},
    {D3DFMT_A8B8G8R8, 4, 0, fetchA8B8G8R8},
    {D3DFMT_X8B8G8R8, 4, 0, fetchX8B8G8R8},
    {D3DFMT_R8G8B8, 3, 0, fetchR8G8B8},
    {D3DFMT_R5G6B5, 2, 0, fetchR5G6B5},
    {D3DFMT_X1R5G5B5, 2, 0, fetchX1R5G5B5},
    {D3DFMT_A1R5G5B5, 2, 0, fetchA1R5G5B5},
    {D3DFMT_A4R4G4B4, 2, 0, fetchA4R4G4B4},
    {D3DFMT_X4R4G4B4, 2, 0, fetchX4R4G4B4},
    {D3DFMT_R3G3B2, 1, 0, fetchR3G3B2},
    {D3DFMT_A8R3G3B2, 2, 0, fetchA8R3G3B2},
    {D3DFMT_A8, 1, 0, fetchA8},
    {D3DFMT_L8, 1, 0, fetchL8},
    {D3DFMT_A8L8, 2, 0, fetchA8L8},
    {D3DFMT_A4L4, 1, 0, fetchA4L4},
    {D3DFMT_L16, 2, 0, fetchL16},
    {D3DFMT_A2R10G10B10, 4, 0, fetchA2R10G10B10},
    {D3DFMT_A2B10G10R10, 4, 0, fetchA2B10G10R10},
    {D3DFMT_G16R16, 4, 0, fetchG16R16},
    {D3DFMT_A16B16G16R16, 8, 0, fetchA16B16G16R16},
    {D3DFMT_R16F, 2, 0, fetchR16F},
    {D3DFMT_G16R16F, 4, 0, fetchG16R16F},
    {D3DFMT_A16B16G16R16F, 8, 0, fetchA16B16G16R16F},
    {D3DFMT_R32F, 4, 0, fetchR32F},
    {D3DFMT_G32R32F, 8, 0, fetchG32R32F},
    {D3DFMT_A32B32G32R32F, 16, 0, fetchA32B32G32R32F},
    {D3DFMT_V8U8, 2, 0, fetchV8U8},
    {D3DFMT_Q8W8V8U8, 4, 0, fetchQ8W8V8U8},
    {D3DFMT_DXT1, 0, 8, fetchDxt1},
    // DXT2 and DXT4 hold premultiplied colour; the sampler returns it as stored.
    {D3DFMT_DXT2, 0, 16, fetchDxt3},
    {D3DFMT_DXT3, 0, 16, fetchDxt3},
    {D3DFMT_DXT4, 0, 16, fetchDxt5},
    {D3DFMT_DXT5, 0, 16, fetchDxt5},
};

}  // namespace

const TexelFormat *findTexelFormat(D3DFORMAT format) {
  for (const TexelFormat &f : kFormats)
    if (f.format == format) return &f;
  return nullptr;
}

bool canSampleFormat(D3DFORMAT format) { return findTexelFormat(format) != nullptr; }

bool isUsableTexture(const TextureView &view) {
  const TexelFormat *f = findTexelFormat(view.format);
  if (!f || !view.bits || view.width == 0 || view.height == 0 || view.pitch <= 0) return false;
  if (view.width > 0x10000 || view.height > 0x10000) return false;
  const int64_t rowBytes = f->blockBytes ? static_cast<int64_t>((view.width + 3) / 4) * f->blockBytes
                                         : static_cast<int64_t>(view.width) * f->bytesPerTexel;
  return view.pitch >= rowBytes;
}

}  // namespace kvd3d::raster
