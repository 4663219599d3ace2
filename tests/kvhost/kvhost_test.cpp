// Host images: the pointer chain a host's image object holds, below 4 GiB.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "kvhost.h"

namespace {

uint32_t wordAt(uintptr_t address, int offset) {
  uint32_t word;
  std::memcpy(&word, reinterpret_cast<const void *>(address + offset), 4);
  return word;
}

TEST(HostImage, ThePointerChainLeadsToZeroedPixels) {
  const uint32_t handle = kvhost_image_create(3, 2);
  ASSERT_NE(handle, 0u);
  const uintptr_t object = uintptr_t(handle) * 2;
  const uint32_t bitmap = wordAt(object, 16);
  const uint32_t info = wordAt(bitmap, 8);
  const uint32_t pixels = wordAt(info, 16);
  EXPECT_EQ(reinterpret_cast<uint32_t *>(uintptr_t(pixels)), kvhost_image_pixels(handle));
  for (int i = 0; i < 6; ++i) EXPECT_EQ(kvhost_image_pixels(handle)[i], 0u);
  kvhost_image_pixels(handle)[5] = 0xFFFFFFFFu;  // the whole array is writable
  kvhost_image_destroy(handle);
  EXPECT_EQ(kvhost_image_pixels(handle), nullptr);
}

TEST(HostImage, BadSizesAndHandlesAreRefused) {
  EXPECT_EQ(kvhost_image_create(0, 5), 0u);
  EXPECT_EQ(kvhost_image_create(5, -1), 0u);
  EXPECT_EQ(kvhost_image_create(1 << 16, 1 << 16), 0u);  // 16 GiB of pixels
  EXPECT_EQ(kvhost_image_pixels(0), nullptr);
  EXPECT_EQ(kvhost_image_pixels(12345), nullptr);
  kvhost_image_destroy(0);
  kvhost_image_destroy(12345);
}

TEST(HostImage, ManyImagesAreDistinct) {
  uint32_t handles[16];
  for (uint32_t &h : handles) {
    h = kvhost_image_create(64, 64);
    ASSERT_NE(h, 0u);
  }
  for (int i = 1; i < 16; ++i) EXPECT_NE(handles[i], handles[i - 1]);
  for (uint32_t h : handles) kvhost_image_destroy(h);
}

// A frame-sized image sits on a huge-page boundary, every pixel of it is writable, and
// freeing it gives back the whole rounded mapping.
TEST(HostImage, LargeImagesStartOnAHugePageAndAreFreedWhole) {
  constexpr uintptr_t kHuge = uintptr_t(2) << 20;
  const uint32_t handle = kvhost_image_create(544, 1000);  // 2.2 MB: two huge pages
  ASSERT_NE(handle, 0u);
  const uintptr_t object = uintptr_t(handle) * 2;
  EXPECT_EQ(object % kHuge, 0u);
  uint32_t *pixels = kvhost_image_pixels(handle);
  pixels[0] = 1;
  pixels[544 * 1000 - 1] = 2;
  EXPECT_EQ(msync(reinterpret_cast<void *>(object), 2 * kHuge, MS_ASYNC), 0);
  kvhost_image_destroy(handle);
  errno = 0;
  EXPECT_EQ(msync(reinterpret_cast<void *>(object), kHuge, MS_ASYNC), -1);
  EXPECT_EQ(errno, ENOMEM);
  EXPECT_EQ(msync(reinterpret_cast<void *>(object + kHuge), kHuge, MS_ASYNC), -1);
}

}  // namespace
