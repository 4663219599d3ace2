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

// One channel of a packed word: `bits` bits at `shift`; a channel with no bits is not
// stored and reads 1.
struct Field {
  int shift, bits;
};
constexpr Field kAbsent{0, 0};

template <Field f>
inline float channel(uint32_t word) {
  if constexpr (f.bits == 0)
    return 1.0f;
  else
    return unorm(word, f.shift, f.bits);
}

// Formats whose texel is one little-endian word of unsigned fields; the layout is part of
// the format's table row.
template <typename Word, Field R, Field G, Field B, Field A>
void fetchPacked(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<Word>(v, x, y, sizeof(Word));
  set(o, channel<R>(t), channel<G>(t), channel<B>(t), channel<A>(t));
}

// Luminance formats: one field read into red, green and blue.
template <typename Word, Field L, Field A>
void fetchLuminance(const TextureView &v, int x, int y, float o[4]) {
  const uint32_t t = load<Word>(v, x, y, sizeof(Word));
  const float l = channel<L>(t);
  set(o, l, l, l, channel<A>(t));
}

void fetchR8G8B8(const TextureView &v, int x, int y, float o[4]) {
  const BYTE *p = v.bits + static_cast<ptrdiff_t>(y) * v.pitch + static_cast<ptrdiff_t>(x) * 3;
  set(o, p[2] / 255.0f, p[1] / 255.0f, p[0] / 255.0f, 1.0f);
}
void fetchA8(const TextureView &v, int x, int y, float o[4]) {
  set(o, 0.0f, 0.0f, 0.0f, unorm(load<uint8_t>(v, x, y, 1), 0, 8));
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
    {D3DFMT_A8R8G8B8, 4, 0, fetchPacked<uint32_t, Field{16, 8}, Field{8, 8}, Field{0, 8}, Field{24, 8}>},
    {D3DFMT_X8R8G8B8, 4, 0, fetchPacked<uint32_t, Field{16, 8}, Field{8, 8}, Field{0, 8}, kAbsent>},
    {D3DFMT_A8B8G8R8, 4, 0, fetchPacked<uint32_t, Field{0, 8}, Field{8, 8}, Field{16, 8}, Field{24, 8}>},
    {D3DFMT_X8B8G8R8, 4, 0, fetchPacked<uint32_t, Field{0, 8}, Field{8, 8}, Field{16, 8}, kAbsent>},
    {D3DFMT_R8G8B8, 3, 0, fetchR8G8B8},
    {D3DFMT_R5G6B5, 2, 0, fetchPacked<uint16_t, Field{11, 5}, Field{5, 6}, Field{0, 5}, kAbsent>},
    {D3DFMT_X1R5G5B5, 2, 0, fetchPacked<uint16_t, Field{10, 5}, Field{5, 5}, Field{0, 5}, kAbsent>},
    {D3DFMT_A1R5G5B5, 2, 0, fetchPacked<uint16_t, Field{10, 5}, Field{5, 5}, Field{0, 5}, Field{15, 1}>},
    {D3DFMT_A4R4G4B4, 2, 0, fetchPacked<uint16_t, Field{8, 4}, Field{4, 4}, Field{0, 4}, Field{12, 4}>},
    {D3DFMT_X4R4G4B4, 2, 0, fetchPacked<uint16_t, Field{8, 4}, Field{4, 4}, Field{0, 4}, kAbsent>},
    {D3DFMT_R3G3B2, 1, 0, fetchPacked<uint8_t, Field{5, 3}, Field{2, 3}, Field{0, 2}, kAbsent>},
    {D3DFMT_A8R3G3B2, 2, 0, fetchPacked<uint16_t, Field{5, 3}, Field{2, 3}, Field{0, 2}, Field{8, 8}>},
    {D3DFMT_A8, 1, 0, fetchA8},
    {D3DFMT_L8, 1, 0, fetchLuminance<uint8_t, Field{0, 8}, kAbsent>},
    {D3DFMT_A8L8, 2, 0, fetchLuminance<uint16_t, Field{0, 8}, Field{8, 8}>},
    {D3DFMT_A4L4, 1, 0, fetchLuminance<uint8_t, Field{0, 4}, Field{4, 4}>},
    {D3DFMT_L16, 2, 0, fetchLuminance<uint16_t, Field{0, 16}, kAbsent>},
    {D3DFMT_A2R10G10B10, 4, 0, fetchPacked<uint32_t, Field{20, 10}, Field{10, 10}, Field{0, 10}, Field{30, 2}>},
    {D3DFMT_A2B10G10R10, 4, 0, fetchPacked<uint32_t, Field{0, 10}, Field{10, 10}, Field{20, 10}, Field{30, 2}>},
    {D3DFMT_G16R16, 4, 0, fetchPacked<uint32_t, Field{0, 16}, Field{16, 16}, kAbsent, kAbsent>},
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
