// A stand-in device and in-memory 32-bit bitmap files for the texture loader's tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform_d3d9/d3d9_test_support.h"
#include "scene/texture_loading.h"

namespace texload_test {

// The library's own 32-bit bitmap file of `width` x `height`, pixel (x, y) (y from the
// top) given by `colour`.
template <typename Colour>
std::vector<uint8_t> bitmapFile(uint32_t width, uint32_t height, Colour colour) {
  std::vector<uint32_t> rows(size_t(width) * height);  // bottom row first, as a host stores it
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) rows[size_t(height - 1 - y) * width + x] = colour(x, y);
  size_t size = 0;
  const auto file = kv::buildBmpImage(rows.data(), int(width), int(height), &size);
  return file ? std::vector<uint8_t>(file.get(), file.get() + size) : std::vector<uint8_t>();
}

// The device every loader test runs on, with the caps of the test.
class TextureLoaderTest : public kvd3d_test::D3D9Test {
 protected:
  void SetUp() override {
    D3D9Test::SetUp();
    makeDevice();
  }

  void setTextureCaps(DWORD add, DWORD remove) {
    D3DCAPS9 caps = kvtest::d3d9DefaultCaps();
    caps.TextureCaps = (caps.TextureCaps | add) & ~remove;
    kvtest::d3d9SetCaps(caps);
  }

  // The 32-bit word at (x, y) of a level of an A8R8G8B8 / X8R8G8B8 texture.
  static uint32_t texel(IDirect3DTexture9 *texture, UINT level, UINT x, UINT y) {
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    uint32_t value = 0;
    std::memcpy(&value, static_cast<const uint8_t *>(locked.pBits) + size_t(y) * locked.Pitch + x * 4, 4);
    texture->UnlockRect(level);
    return value;
  }
};

}  // namespace texload_test
