// Loads the built library with dlopen and finds its exports by their undecorated names,
// as a host program does.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "kvhost.h"
#include "kvpolygon_exports.h"

// The library stays loaded for the whole test program, like a host's.
const KvPolygonExports &kvLibrary();

// A fresh start for each test: no scene, the stand-ins' faults and logs cleared, the
// default back-buffer size requested.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  const KvPolygonExports &kv = kvLibrary();
};

// A host image that frees itself.
class HostImage {
 public:
  HostImage(int width, int height) : handle_(kvhost_image_create(width, height)), width_(width), height_(height) {}
  ~HostImage() { kvhost_image_destroy(handle_); }
  HostImage(const HostImage &) = delete;
  HostImage &operator=(const HostImage &) = delete;
  uint32_t handle() const { return handle_; }
  uint32_t *pixels() const { return kvhost_image_pixels(handle_); }
  // Pixel at (x, y) counted from the top-left of the frame (the host stores rows bottom-up).
  uint32_t at(int x, int y) const { return pixels()[static_cast<size_t>(height_ - 1 - y) * width_ + x]; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  uint32_t handle_;
  int width_, height_;
};
