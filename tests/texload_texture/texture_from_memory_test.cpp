#include <gtest/gtest.h>

#include "gfx/com_ref.h"
#include "pixel/convert/filter_flags.h"
#include "texload/bitmap_builder.h"
#include "texload/texture_from_memory.h"
#include "texload/texture_requirements.h"
#include "texture_test_support.h"

namespace {

using kv::ComRef;
using texload_test::bitmapFile;

class TextureFromMemory : public texload_test::TextureLoaderTest {
 protected:
  // The texture list's arguments: explicit size, the full chain, A8R8G8B8 in the managed
  // pool, linear filters, no key.
  HRESULT loadAsTextureList(const std::vector<uint8_t> &file, UINT width, UINT height, ComRef<IDirect3DTexture9> &out) {
    return kv::createTextureFromImageInMemory(device_.get(), file.data(), UINT(file.size()), width, height, 0, 0,
                                              D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, kv::FilterLinear, kv::FilterLinear,
                                              0, nullptr, nullptr, out.put());
  }

  void expectSettled(UINT width, UINT height, UINT levels) {
    const auto file = bitmapFile(300, 200, [](uint32_t, uint32_t) { return 0xFF336699u; });
    ComRef<IDirect3DTexture9> texture;
    ASSERT_EQ(loadAsTextureList(file, 300, 200, texture), D3D_OK);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, width);
    EXPECT_EQ(desc.Height, height);
    EXPECT_EQ(texture->GetLevelCount(), levels);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
  }
};

TEST_F(TextureFromMemory, A300x200ImageSettlesOnEveryCapabilityProfile) {
  expectSettled(300, 200, 9);  // neither power-of-two cap: 300, 150, 75, 37, 18, 9, 4, 2, 1
  setTextureCaps(D3DPTEXTURECAPS_POW2, D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
  expectSettled(512, 256, 10);
  setTextureCaps(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL, 0);
  expectSettled(512, 256, 10);
  setTextureCaps(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY, 0);
  expectSettled(256, 256, 9);
  setTextureCaps(0, D3DPTEXTURECAPS_MIPMAP);
  expectSettled(300, 200, 1);
}

TEST_F(TextureFromMemory, NonPow2ConditionalGivesOneLevelToANonPowerOfTwoSize) {
  setTextureCaps(D3DPTEXTURECAPS_NONPOW2CONDITIONAL, D3DPTEXTURECAPS_POW2);
  expectSettled(300, 200, 1);
}

TEST_F(TextureFromMemory, LevelZeroIsTheImageUprightAndEveryLevelComesFromTheWholeImage) {
  // Left half red, right half blue; top rows opaque, bottom rows with alpha 0x80.
  const auto file = bitmapFile(64, 64, [](uint32_t x, uint32_t y) {
    const uint32_t alpha = y < 32 ? 0xFF000000u : 0x80000000u;
    return alpha | (x < 32 ? 0x00FF0000u : 0x000000FFu);
  });
  ComRef<IDirect3DTexture9> texture;
  ASSERT_EQ(loadAsTextureList(file, 64, 64, texture), D3D_OK);
  ASSERT_EQ(texture->GetLevelCount(), 7u);
  EXPECT_EQ(texel(texture.get(), 0, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(texel(texture.get(), 0, 63, 63), 0x800000FFu);
  // Level 3 (8x8): each texel blends the two centre taps of its 8x8 block, so a block
  // that lies wholly in one quarter of the image keeps that quarter's colour exactly.
  EXPECT_EQ(texel(texture.get(), 3, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(texel(texture.get(), 3, 7, 7), 0x800000FFu);
  EXPECT_EQ(texel(texture.get(), 3, 7, 0), 0xFF0000FFu);
}

TEST_F(TextureFromMemory, LinearLevelThreeTakesOnlyTheCentreTapsOfItsBlock) {
  // Only columns 3 and 4 (and rows 3 and 4) of every 8-pixel block are bright.
  const auto file = bitmapFile(64, 64, [](uint32_t x, uint32_t y) {
    const bool centre = (x % 8 == 3 || x % 8 == 4) && (y % 8 == 3 || y % 8 == 4);
    return centre ? 0xFFFFFFFFu : 0xFF000000u;
  });
  ComRef<IDirect3DTexture9> texture;
  ASSERT_EQ(loadAsTextureList(file, 64, 64, texture), D3D_OK);
  for (UINT y = 0; y < 8; ++y) {
    for (UINT x = 0; x < 8; ++x) EXPECT_EQ(texel(texture.get(), 3, x, y), 0xFFFFFFFFu) << x << "," << y;
  }
}

TEST_F(TextureFromMemory, ADeviceRefusingA8R8G8B8TakesTheClosestCandidate) {
  kvtest::d3d9RefuseFormat(D3DFMT_A8R8G8B8, true);
  const auto file = bitmapFile(16, 16, [](uint32_t, uint32_t) { return 0xFF808080u; });
  ComRef<IDirect3DTexture9> texture;
  ASSERT_EQ(loadAsTextureList(file, 16, 16, texture), D3D_OK);
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(0, &desc);
  // A8B8G8R8 has the same channels (distance 0) and is the next row with them.
  EXPECT_EQ(desc.Format, D3DFMT_A8B8G8R8);
}

TEST_F(TextureFromMemory, BadArgumentsAndUnreadableDataFail) {
  const auto file = bitmapFile(4, 4, [](uint32_t, uint32_t) { return 0u; });
  ComRef<IDirect3DTexture9> texture;
  EXPECT_EQ(kv::createTextureFromImageInMemory(nullptr, file.data(), UINT(file.size()), 4, 4, 0, 0, D3DFMT_A8R8G8B8,
                                               D3DPOOL_MANAGED, 3, 3, 0, nullptr, nullptr, texture.put()),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(kv::createTextureFromImageInMemory(device_.get(), file.data(), 0, 4, 4, 0, 0, D3DFMT_A8R8G8B8,
                                               D3DPOOL_MANAGED, 3, 3, 0, nullptr, nullptr, texture.put()),
            D3DERR_INVALIDCALL);
  const std::vector<uint8_t> zeros(200, 0);
  EXPECT_EQ(kv::createTextureFromImageInMemory(device_.get(), zeros.data(), UINT(zeros.size()), 4, 4, 0, 0,
                                               D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, 3, 3, 0, nullptr, nullptr,
                                               texture.put()),
            kv::ERR_INVALIDDATA);
  EXPECT_FALSE(texture);
}

TEST_F(TextureFromMemory, DefaultPoolTexturesAreFilledThroughASystemMemoryTwin) {
  const auto file = bitmapFile(8, 8, [](uint32_t x, uint32_t) { return x < 4 ? 0xFF00FF00u : 0xFF0000FFu; });
  kvtest::d3d9EnableCallLog(true);
  ComRef<IDirect3DTexture9> texture;
  ASSERT_EQ(kv::createTextureFromImageInMemory(device_.get(), file.data(), UINT(file.size()), 8, 8, 1, 0,
                                               D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, kv::FilterPoint, kv::FilterPoint,
                                               0, nullptr, nullptr, texture.put()),
            D3D_OK);
  // The twin (pool 2) is made, filled through a lock, and only then copied over.
  const std::vector<std::string> log = kvtest::d3d9CallLog();
  auto first = [&](const std::string &prefix) {
    for (size_t i = 0; i < log.size(); ++i)
      if (log[i].rfind(prefix, 0) == 0) return int(i);
    return -1;
  };
  auto last = [&](const std::string &prefix) {
    for (size_t i = log.size(); i-- > 0;)
      if (log[i].rfind(prefix, 0) == 0) return int(i);
    return -1;
  };
  const int twin = first("CreateTexture(8, 8, 1, 0, 21, 2)"), update = first("UpdateTexture(");
  ASSERT_GE(twin, 0) << "a system-memory twin is made";
  ASSERT_GE(update, 0) << "the default-pool texture is filled from its system-memory twin";
  EXPECT_LT(twin, first("Surface::LockRect("));
  EXPECT_LT(last("Surface::UnlockRect()"), update) << "the twin is filled before it is copied";
  EXPECT_EQ(last("UpdateTexture("), update) << "copied once";
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
}

TEST_F(TextureFromMemory, FromFileValuesThatTheDeviceWouldChangeAreNotAvailable) {
  setTextureCaps(D3DPTEXTURECAPS_POW2, D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
  const auto file = bitmapFile(300, 200, [](uint32_t, uint32_t) { return 0xFF000000u; });
  ComRef<IDirect3DTexture9> texture;
  EXPECT_EQ(kv::createTextureFromImageInMemory(device_.get(), file.data(), UINT(file.size()), kv::VALUE_FROM_FILE,
                                               kv::VALUE_FROM_FILE, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, 3, 3, 0,
                                               nullptr, nullptr, texture.put()),
            D3DERR_NOTAVAILABLE);
}

// A colour key on an image format without alpha asks for the closest format with one
// alpha bit: for 8-8-8 that is A8R8G8B8 (seven alpha bits more, nothing lost; the two
// 10-10-10-2 formats score the same but come later in the table). Without a key the
// 24-bit image becomes X8R8G8B8.
TEST_F(TextureFromMemory, AColourKeyOnAnImageWithoutAlphaGivesATextureWithAlpha) {
  // 2 x 2, 24 bits: bottom row black, blue-green; top row 0x336699, black. Rows are
  // stored bottom-up, padded to 4 bytes.
  kvtest::BitmapLayout layout;
  layout.width = 2;
  layout.height = 2;
  layout.bitCount = 24;
  layout.pixels = {0x00, 0x00, 0x00, 0xFF, 0x80, 0x00, 0, 0,   // bottom: black, 0x0080FF
                   0x99, 0x66, 0x33, 0x00, 0x00, 0x00, 0, 0};  // top: 0x336699, black
  const std::vector<uint8_t> file = kvtest::makeBmp(layout);
  for (const uint32_t format : {uint32_t(D3DFMT_UNKNOWN), kv::VALUE_FROM_FILE}) {
    ComRef<IDirect3DTexture9> keyed;
    ASSERT_EQ(kv::createTextureFromImageInMemory(device_.get(), file.data(), UINT(file.size()), 2, 2, 1, 0,
                                                 static_cast<D3DFORMAT>(format), D3DPOOL_MANAGED, kv::FilterPoint,
                                                 kv::FilterPoint, 0xFF000000u, nullptr, nullptr, keyed.put()),
              D3D_OK)
        << std::hex << format;
    D3DSURFACE_DESC desc{};
    keyed->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8) << std::hex << format;
    EXPECT_EQ(texel(keyed.get(), 0, 0, 0), 0xFF336699u);
    EXPECT_EQ(texel(keyed.get(), 0, 1, 0), 0x00000000u) << "keyed black is transparent";
    EXPECT_EQ(texel(keyed.get(), 0, 0, 1), 0x00000000u);
    EXPECT_EQ(texel(keyed.get(), 0, 1, 1), 0xFF0080FFu);
  }
  ComRef<IDirect3DTexture9> plain;
  ASSERT_EQ(kv::createTextureFromImageInMemory(device_.get(), file.data(), UINT(file.size()), 2, 2, 1, 0,
                                               D3DFMT_UNKNOWN, D3DPOOL_MANAGED, kv::FilterPoint, kv::FilterPoint, 0,
                                               nullptr, nullptr, plain.put()),
            D3D_OK);
  D3DSURFACE_DESC desc{};
  plain->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
}

TEST(FormatDistance, CountsExtraChannelsLightlyAndMissingOnesHeavily) {
  const kv::PixelFormatInfo &argb = kv::lookupFormatInfo(D3DFMT_A8R8G8B8);
  EXPECT_EQ(kv::formatDistance(argb, argb), 0);
  EXPECT_EQ(kv::formatDistance(kv::lookupFormatInfo(D3DFMT_X8R8G8B8), argb), 256);  // alpha gained
  EXPECT_EQ(kv::formatDistance(argb, kv::lookupFormatInfo(D3DFMT_A4R4G4B4)), 4 * 4 * 65536);
  EXPECT_EQ(kv::formatDistance(argb, kv::lookupFormatInfo(D3DFMT_X8R8G8B8)), 0x1000000);  // alpha lost
  // Every wanted channel missing, or a forbidden class, is unusable.
  EXPECT_EQ(kv::formatDistance(kv::lookupFormatInfo(D3DFMT_A8), kv::lookupFormatInfo(D3DFMT_R5G6B5)), -1);
  EXPECT_EQ(kv::formatDistance(argb, kv::lookupFormatInfo(D3DFMT_V8U8)), -1);
  EXPECT_EQ(kv::formatDistance(argb, kv::lookupFormatInfo(D3DFMT_L8)), -1);
}

TEST(ChooseTextureFormat, WithoutADeviceTheWantedFormatOrTheSmallerOfEqualScores) {
  EXPECT_EQ(kv::chooseTextureFormat(nullptr, 0, D3DRTYPE_TEXTURE, kv::lookupFormatInfo(D3DFMT_R5G6B5)),
            uint32_t(D3DFMT_R5G6B5));
  // X8R8G8B8 with one alpha bit: A1R5G5B5 loses 3 bits a channel, A8R8G8B8 gains 7 alpha
  // bits; the smaller loss wins.
  kv::PixelFormatInfo wanted = kv::lookupFormatInfo(D3DFMT_X8R8G8B8);
  wanted.alphaBits = 1;
  wanted.format = 0;
  EXPECT_EQ(kv::chooseTextureFormat(nullptr, 0, D3DRTYPE_TEXTURE, wanted), uint32_t(D3DFMT_A8R8G8B8));
}

// Ties: among rows of equal distance the one of fewest bits a pixel wins, and among those
// the earliest row. A palette image's channels are matched exactly by A8R8G8B8 (row 1),
// A8P8 (row 5, 16 bits) and P8 (row 6, 8 bits); A8R8G8B8's channels by itself and by
// A8B8G8R8 (row 14), both 32 bits.
TEST(ChooseTextureFormat, EqualScoresGoToTheFewestBitsAndThenTheEarliestRow) {
  kv::PixelFormatInfo palette = kv::lookupFormatInfo(D3DFMT_P8);
  palette.format = 0;
  EXPECT_EQ(kv::chooseTextureFormat(nullptr, 0, D3DRTYPE_TEXTURE, palette), uint32_t(D3DFMT_P8));
  kv::PixelFormatInfo argb = kv::lookupFormatInfo(D3DFMT_A8R8G8B8);
  argb.format = 0;
  EXPECT_EQ(kv::chooseTextureFormat(nullptr, 0, D3DRTYPE_TEXTURE, argb), uint32_t(D3DFMT_A8R8G8B8));
}

TEST_F(TextureFromMemory, RequirementsRejectBadUsageAndPool) {
  UINT w = 10, h = 10, levels = 0;
  D3DFORMAT format = D3DFMT_A8R8G8B8;
  EXPECT_EQ(kv::checkTextureRequirements(device_.get(), &w, &h, &levels, 0x4, &format, D3DPOOL_MANAGED),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(kv::checkTextureRequirements(device_.get(), &w, &h, &levels, 0, &format, static_cast<D3DPOOL>(4)),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(kv::checkTextureRequirements(nullptr, &w, &h, &levels, 0, &format, D3DPOOL_MANAGED), D3DERR_INVALIDCALL);
  // Absent sizes are 256 x 256; a DXT texture is whole blocks.
  format = D3DFMT_DXT1;
  w = 5;
  h = 6;
  ASSERT_EQ(kv::checkTextureRequirements(device_.get(), &w, &h, &levels, 0, &format, D3DPOOL_MANAGED), D3D_OK);
  EXPECT_EQ(w, 8u);
  EXPECT_EQ(h, 8u);
  levels = 0;
  ASSERT_EQ(kv::checkTextureRequirements(device_.get(), nullptr, nullptr, &levels, 0, &format, D3DPOOL_MANAGED),
            D3D_OK);
  EXPECT_EQ(levels, 9u);
}

}  // namespace
