// Point sampling: which texel a coordinate picks under each address mode, perspective-correct
// coordinates, and the decoding of every sampleable format.
#include <cmath>

#include "d3d9/raster/texel_formats.h"
#include "raster_fixture.h"

namespace kvtest {
namespace {

// A row texture whose texel i has red = i * 10 + 5.
Texture rowTexture(UINT width) {
  Texture t(D3DFMT_A8R8G8B8, width, 1, static_cast<int>(width * 4));
  for (UINT i = 0; i < width; ++i) t.setArgb(i, 0, 0xFF000000u | (i * 10 + 5) << 16);
  return t;
}

DrawState textureState(UINT w, UINT h, const Texture &tex) {
  DrawState s = plainState(w, h);
  s.stageState[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  s.texture[0] = tex.view;
  return s;
}

// Red of the one pixel drawn with a constant coordinate (u, v).
uint32_t sampleAt(DrawState s, float u, float v) {
  Canvas canvas(1, 1);
  Rasterizer r;
  drawList(r, s, canvas, tlRect(-0.5f, -0.5f, 0.5f, 0.5f, 0, 0xFFFFFFFF, u, v, u, v));
  return canvas.at(0, 0);
}

int texelPicked(uint32_t argb) { return ((static_cast<int>(argb >> 16) & 0xFF) - 5) / 10; }

TEST(RasterSampling, PointSamplingPicksFloorOfUTimesWidth) {
  const Texture five = rowTexture(5), seven = rowTexture(7);
  EXPECT_EQ(texelPicked(sampleAt(textureState(1, 1, five), 0.5f, 0)), 2);
  EXPECT_EQ(texelPicked(sampleAt(textureState(1, 1, seven), 0.5f, 0)), 3);
  EXPECT_EQ(texelPicked(sampleAt(textureState(1, 1, five), 0.0f, 0)), 0);
  EXPECT_EQ(texelPicked(sampleAt(textureState(1, 1, five), 0.1999f, 0)), 0);
  EXPECT_EQ(texelPicked(sampleAt(textureState(1, 1, five), 0.2001f, 0)), 1);
}

TEST(RasterSampling, AddressModesMapOutOfRangeTexels) {
  const Texture five = rowTexture(5);
  struct Case {
    DWORD mode;
    float u;
    int texel;  // -1: border colour
  };
  const Case cases[] = {
      {D3DTADDRESS_WRAP, 1.3f, 1},    {D3DTADDRESS_WRAP, -0.3f, 3},   {D3DTADDRESS_WRAP, 1.0f, 0},
      {D3DTADDRESS_CLAMP, 1.3f, 4},   {D3DTADDRESS_CLAMP, -0.3f, 0},  {D3DTADDRESS_MIRROR, 1.3f, 3},
      {D3DTADDRESS_MIRROR, -0.3f, 1}, {D3DTADDRESS_MIRROR, 2.1f, 0},  {D3DTADDRESS_BORDER, 1.3f, -1},
      {D3DTADDRESS_BORDER, -0.3f, -1}, {D3DTADDRESS_BORDER, 0.9f, 4}, {D3DTADDRESS_MIRRORONCE, -0.3f, 1},
      {D3DTADDRESS_MIRRORONCE, 1.1f, 4}, {D3DTADDRESS_MIRRORONCE, -1.1f, 4},  // beyond one mirror: clamped
  };
  for (const Case &c : cases) {
    DrawState s = textureState(1, 1, five);
    s.samplerState[0][D3DSAMP_ADDRESSU] = c.mode;
    s.samplerState[0][D3DSAMP_BORDERCOLOR] = 0xFF123456;
    const uint32_t got = sampleAt(s, c.u, 0);
    if (c.texel < 0)
      EXPECT_EQ(got, 0xFF123456u) << "mode " << c.mode << " u " << c.u;
    else
      EXPECT_EQ(texelPicked(got), c.texel) << "mode " << c.mode << " u " << c.u;
  }
  // Wrapping needs no power of two: a 4x3 texture at (1.3, 1.5) wraps to (0.3, 0.5), texel (1, 1).
  Texture grid(D3DFMT_A8R8G8B8, 4, 3, 16);
  for (UINT y = 0; y < 3; ++y)
    for (UINT x = 0; x < 4; ++x) grid.setArgb(x, y, 0xFF000000u | (x * 10 + 5) << 16 | (y * 10 + 5) << 8);
  EXPECT_EQ(sampleAt(textureState(1, 1, grid), 1.3f, 1.5f), 0xFF0F0F00u);
  EXPECT_EQ(sampleAt(textureState(1, 1, grid), -0.2f, -0.1f), 0xFF231900u);  // (0.8, 0.9): texel (3, 2)

  // Coordinates no float can index sensibly still land inside the texture.
  for (float u : {1e30f, -1e30f, INFINITY, -INFINITY, NAN}) {
    const int t = texelPicked(sampleAt(textureState(1, 1, five), u, 0));
    EXPECT_TRUE(t >= 0 && t < 5) << u;
  }
}

TEST(RasterSampling, CoordinatesArePerspectiveCorrect) {
  // 64 pixels across, w from 1 at the left edge to 4 at the right: u = t q1 / ((1 - t) q0 + t q1).
  constexpr UINT kW = 64;
  Texture tex(D3DFMT_A8R8G8B8, kW, 1, kW * 4);
  for (UINT i = 0; i < kW; ++i) tex.setArgb(i, 0, 0xFF000000u | i << 16);
  DrawState s = plainState(kW, 1);
  s.stageState[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  s.texture[0] = tex.view;
  const float left = -0.5f, right = kW - 0.5f;
  const std::vector<TlVertex> v = {{left, -0.5f, 0, 1, 0, 0, 0},     {right, -0.5f, 0, 0.25f, 0, 1, 0},
                                   {right, 0.5f, 0, 0.25f, 0, 1, 0}, {left, -0.5f, 0, 1, 0, 0, 0},
                                   {right, 0.5f, 0, 0.25f, 0, 1, 0}, {left, 0.5f, 0, 1, 0, 0, 0}};
  Canvas canvas(kW, 1);
  Rasterizer r;
  ASSERT_EQ(drawList(r, s, canvas, v), D3D_OK);
  int checked = 0;
  for (UINT x = 0; x < kW; ++x) {
    const double t = (x - left) / (right - left);
    const double u = t * 0.25 / ((1 - t) + t * 0.25) * kW;
    if (std::fabs(u - std::round(u)) < 1e-3) continue;  // too close to a texel edge to call
    EXPECT_EQ((canvas.at(x, 0) >> 16) & 0xFF, static_cast<uint32_t>(std::floor(u))) << "pixel " << x;
    ++checked;
  }
  EXPECT_GT(checked, 60);
}

TEST(RasterSampling, BilinearFilterWeighsNeighbours) {
  Texture tex(D3DFMT_A8R8G8B8, 2, 1, 8);
  tex.setArgb(0, 0, 0xFF000000);
  tex.setArgb(1, 0, 0xFFC8C8C8);
  DrawState s = textureState(1, 1, tex);
  s.samplerState[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
  s.samplerState[0][D3DSAMP_MINFILTER] = D3DTEXF_LINEAR;
  s.samplerState[0][D3DSAMP_ADDRESSU] = D3DTADDRESS_CLAMP;
  EXPECT_EQ(sampleAt(s, 0.5f, 0.5f), 0xFF646464u);  // halfway between texel centres
  EXPECT_EQ(sampleAt(s, 0.25f, 0.5f), 0xFF000000u);  // on texel 0's centre
}

// Where a vertex format puts the colour and each coordinate set follows from the sizes before
// it: blend weights after the position (skipped, vertex blending being off) and coordinate
// sets of one to four floats.
TEST(RasterSampling, VertexFormatsPlaceColourAndCoordinatesAfterWhatPrecedesThem) {
  // Untransformed positions with 0 to 5 weights: a full-viewport square in clip space.
  const DWORD positions[] = {D3DFVF_XYZ, D3DFVF_XYZB1, D3DFVF_XYZB2, D3DFVF_XYZB3, D3DFVF_XYZB4, D3DFVF_XYZB5};
  std::vector<BYTE> bytes;
  auto put = [&bytes](const void *p, size_t n) {
    const BYTE *b = static_cast<const BYTE *>(p);
    bytes.insert(bytes.end(), b, b + n);
  };
  for (int weights = 0; weights <= 5; ++weights) {
    bytes.clear();
    const float corners[6][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, -1}, {1, 1}, {-1, 1}};
    const float z = 0.5f, weight = 0.25f;
    const DWORD green = 0xFF00FF00;
    for (const auto &c : corners) {
      put(c, sizeof c);
      put(&z, 4);
      for (int i = 0; i < weights; ++i) put(&weight, 4);
      put(&green, 4);
    }
    Canvas canvas(2, 2);
    Rasterizer r;
    DrawState s = plainState(2, 2, positions[weights] | D3DFVF_DIFFUSE);
    useDiffuseOnly(s);
    ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLELIST, 2, bytes.data(),
                                static_cast<UINT>(bytes.size() / 6)),
              D3D_OK);
    EXPECT_EQ(canvas.count(0xFF00FF00), 4) << weights << " weights";
  }

  // Pre-transformed: set 0 of 1..4 floats, then a two-float set 1, read by stage 0 in turn. A
  // 2x2 texture tells the texel apart; a one-float set reads v as 0.
  Texture grid(D3DFMT_A8R8G8B8, 2, 2, 8);
  const uint32_t texel[2][2] = {{0xFF000010, 0xFF000020}, {0xFF000030, 0xFF000040}};  // [y][x]
  for (UINT y = 0; y < 2; ++y)
    for (UINT x = 0; x < 2; ++x) grid.setArgb(x, y, texel[y][x]);
  const DWORD sizes[] = {D3DFVF_TEXCOORDSIZE1(0), D3DFVF_TEXCOORDSIZE2(0), D3DFVF_TEXCOORDSIZE3(0),
                         D3DFVF_TEXCOORDSIZE4(0)};
  for (int floats = 1; floats <= 4; ++floats) {
    const float set0[4] = {0.75f, 0.75f, 0.5f, 1.0f}, set1[2] = {0.25f, 0.75f}, zw[2] = {0, 1};
    bytes.clear();
    const float corners[6][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {0.5f, 0.5f},
                                 {-0.5f, -0.5f}, {0.5f, 0.5f}, {-0.5f, 0.5f}};
    for (const auto &c : corners) {
      put(c, sizeof c);
      put(zw, sizeof zw);
      put(set0, static_cast<size_t>(floats) * 4);
      put(set1, sizeof set1);
    }
    const UINT stride = static_cast<UINT>(bytes.size() / 6);
    for (DWORD set : {0u, 1u}) {
      DrawState s = textureState(1, 1, grid);
      s.fvf = D3DFVF_XYZRHW | D3DFVF_TEX2 | sizes[floats - 1];
      s.stageState[0][D3DTSS_TEXCOORDINDEX] = set;
      Canvas canvas(1, 1);
      Rasterizer r;
      ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLELIST, 2, bytes.data(), stride), D3D_OK);
      const uint32_t want = set == 1 ? texel[1][0] : floats == 1 ? texel[0][1] : texel[1][1];
      EXPECT_EQ(canvas.at(0, 0), want) << "set 0 of " << floats << " floats, reading set " << set;
    }
  }
}

struct FormatCase {
  D3DFORMAT format;
  std::vector<uint8_t> bytes;  // texel (0, 0), or the first block
  uint32_t expected;           // A8R8G8B8 after quantisation
};

std::vector<uint8_t> le16(std::initializer_list<uint16_t> values) {
  std::vector<uint8_t> out;
  for (uint16_t v : values) out.insert(out.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
  return out;
}
std::vector<uint8_t> le32f(std::initializer_list<float> values) {
  std::vector<uint8_t> out;
  for (float f : values) {
    uint8_t b[4];
    std::memcpy(b, &f, 4);
    out.insert(out.end(), b, b + 4);
  }
  return out;
}

TEST(RasterSampling, EverySampleableFormatDecodesAKnownTexel) {
  const FormatCase cases[] = {
      {D3DFMT_A8R8G8B8, {0x30, 0x20, 0x10, 0x80}, 0x80102030},
      {D3DFMT_X8R8G8B8, {0x30, 0x20, 0x10, 0x00}, 0xFF102030},
      {D3DFMT_A8B8G8R8, {0x10, 0x20, 0x30, 0x80}, 0x80102030},
      {D3DFMT_X8B8G8R8, {0x10, 0x20, 0x30, 0x00}, 0xFF102030},
      {D3DFMT_R8G8B8, {0x30, 0x20, 0x10}, 0xFF102030},
      {D3DFMT_R5G6B5, le16({0xF800 | 0x07E0}), 0xFFFFFF00},
      {D3DFMT_X1R5G5B5, le16({0x001F}), 0xFF0000FF},
      {D3DFMT_A1R5G5B5, le16({0x7C00}), 0x00FF0000},
      {D3DFMT_A4R4G4B4, le16({0x8F0F}), 0x88FF00FF},
      {D3DFMT_X4R4G4B4, le16({0x80F0}), 0xFF00FF00},
      {D3DFMT_R3G3B2, {0xE3}, 0xFFFF00FF},
      {D3DFMT_A8R3G3B2, le16({0x401C}), 0x4000FF00},
      {D3DFMT_A8, {0x7F}, 0x7F000000},
      {D3DFMT_L8, {0x55}, 0xFF555555},
      {D3DFMT_A8L8, le16({0x8033}), 0x80333333},
      {D3DFMT_A4L4, {0xF5}, 0xFF555555},
      {D3DFMT_L16, le16({0x8080}), 0xFF808080},
      {D3DFMT_A2R10G10B10, le16({0x03FF, 0xC000}), 0xFF0000FF},
      {D3DFMT_A2B10G10R10, le16({0x03FF, 0x4000}), 0x55FF0000},
      {D3DFMT_G16R16, le16({0xFFFF, 0x0000}), 0xFFFF00FF},
      {D3DFMT_A16B16G16R16, le16({0xFFFF, 0x8080, 0x0000, 0xFFFF}), 0xFFFF8000},
      {D3DFMT_R16F, le16({0x3800}), 0xFF80FFFF},  // 0.5, missing channels read 1
      {D3DFMT_G16R16F, le16({0x3C00, 0x0000}), 0xFFFF00FF},
      {D3DFMT_A16B16G16R16F, le16({0x0000, 0x3C00, 0x3800, 0x3400}), 0x4000FF80},  // alpha 0.25
      {D3DFMT_R32F, le32f({0.25f}), 0xFF40FFFF},
      {D3DFMT_G32R32F, le32f({0.0f, 1.0f}), 0xFF00FFFF},
      {D3DFMT_A32B32G32R32F, le32f({1.0f, 0.0f, 0.5f, 0.0f}), 0x00FF0080},
      {D3DFMT_V8U8, {0x7F, 0x80}, 0xFFFF00FF},  // signed: +1 and -1 (clamped to 0 by the stage)
      {D3DFMT_Q8W8V8U8, {0x7F, 0x00, 0x7F, 0x7F}, 0xFFFF00FF},
      // DXT1: colour0 red, colour1 blue, texel 0 index 2 = 2/3 red + 1/3 blue.
      {D3DFMT_DXT1, {0x00, 0xF8, 0x1F, 0x00, 0x02, 0, 0, 0}, 0xFFAA0055},
      // DXT1 three-colour block (c0 <= c1): index 3 is transparent black.
      {D3DFMT_DXT1, {0x1F, 0x00, 0x00, 0xF8, 0x03, 0, 0, 0}, 0x00000000},
      {D3DFMT_DXT3, {0x0A, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x07, 0, 0, 0x00, 0, 0, 0}, 0xAA00FF00},
      {D3DFMT_DXT5, {0xFF, 0x00, 0x02, 0, 0, 0, 0, 0, 0x1F, 0x00, 0, 0, 0x00, 0, 0, 0}, 0xDB0000FF},  // alpha 6/7
  };
  for (const FormatCase &c : cases) {
    ASSERT_TRUE(kvd3d::raster::canSampleFormat(c.format)) << c.format;
    const bool block = c.format >= D3DFMT_DXT1 && c.format != D3DFMT_R16F && c.format != D3DFMT_G16R16F &&
                       c.format != D3DFMT_A16B16G16R16F && c.format != D3DFMT_R32F && c.format != D3DFMT_G32R32F &&
                       c.format != D3DFMT_A32B32G32R32F;
    Texture tex(c.format, block ? 4 : 1, block ? 4 : 1, 64);
    std::copy(c.bytes.begin(), c.bytes.end(), tex.bytes.begin());
    DrawState s = textureState(1, 1, tex);
    EXPECT_LE(channelDifference(sampleAt(s, 0.0f, 0.0f), c.expected), 1)
        << "format " << c.format << std::hex << " got " << sampleAt(s, 0, 0) << " want " << c.expected;
  }
  EXPECT_FALSE(kvd3d::raster::canSampleFormat(D3DFMT_P8));
  EXPECT_FALSE(kvd3d::raster::canSampleFormat(D3DFMT_D16));
  EXPECT_FALSE(kvd3d::raster::canSampleFormat(D3DFMT_UNKNOWN));
}

TEST(RasterSampling, UnreadableTextureFailsTheDraw) {
  Texture tex(D3DFMT_A8R8G8B8, 4, 4, 8);  // pitch too small for the width
  DrawState s = textureState(4, 4, tex);
  Canvas canvas(4, 4);
  Rasterizer r;
  EXPECT_EQ(drawList(r, s, canvas, tlRect(0, 0, 4, 4, 0, 0)), D3DERR_INVALIDCALL);
  tex.view.pitch = 16;
  tex.view.format = D3DFMT_P8;
  s.texture[0] = tex.view;
  EXPECT_EQ(drawList(r, s, canvas, tlRect(0, 0, 4, 4, 0, 0)), D3DERR_INVALIDCALL);
  EXPECT_EQ(canvas.countNot(0), 0);
}

}  // namespace
}  // namespace kvtest
