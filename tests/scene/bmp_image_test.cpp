#include <gtest/gtest.h>

#include <cstring>

#include "scene/texture_loading.h"

namespace {

uint32_t word(const uint8_t *p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

TEST(BuildBmpImage, ATwoByOneImageIs62BytesOfHeadersAndPixelsUnchanged) {
  const uint32_t pixels[2] = {0x00112233u, 0x80445566u};
  size_t size = 0;
  auto file = kv::buildBmpImage(pixels, 2, 1, &size);
  ASSERT_TRUE(file);
  ASSERT_EQ(size, 62u);
  const uint8_t *f = file.get();
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(word(f + 2), 62u);
  EXPECT_EQ(word(f + 10), 54u);
  EXPECT_EQ(word(f + 14), 40u);
  EXPECT_EQ(word(f + 18), 2u);
  EXPECT_EQ(word(f + 22), 1u);  // positive: bottom row first, as the host stores it
  EXPECT_EQ(f[26] | f[27] << 8, 1);
  EXPECT_EQ(f[28] | f[29] << 8, 32);
  EXPECT_EQ(word(f + 30), 0u);
  EXPECT_EQ(word(f + 34), 8u);
  EXPECT_EQ(word(f + 38), 2834u);
  EXPECT_EQ(word(f + 42), 2834u);
  EXPECT_EQ(word(f + 46), 0u);
  EXPECT_EQ(word(f + 50), 0u);
  EXPECT_EQ(std::memcmp(f + 54, pixels, 8), 0);
}

TEST(BuildBmpImage, RefusesMissingPixelsAndEmptyOrOversizedImages) {
  const uint32_t pixel = 0;
  size_t size = 0;
  EXPECT_FALSE(kv::buildBmpImage(nullptr, 1, 1, &size));
  EXPECT_FALSE(kv::buildBmpImage(&pixel, 0, 1, &size));
  EXPECT_FALSE(kv::buildBmpImage(&pixel, 1, -1, &size));
  // The headers hold 32-bit sizes: 0x7FFFFFFF bytes and more cannot be described.
  EXPECT_FALSE(kv::buildBmpImage(&pixel, 65536, 65536, &size));
}

}  // namespace
