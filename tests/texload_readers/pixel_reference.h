// Independent conversions for the conformance tests: decoded surfaces of the formats the
// public files use, turned into A8R8G8B8 words, and PNG reference renderings read the same way.
#pragma once

#include "texload/decoded_image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kv::test {

struct ArgbImage {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB, rows from the top
};

// False when the format is not one the tests convert.
bool convertToArgb(const DecodedImage &image, ArgbImage &out);

// False when the file cannot be read.
bool loadPng(const std::string &path, ArgbImage &out);

struct Difference {
  int maxColour = 0;  // largest difference of red, green or blue
  int maxAlpha = 0;
};

Difference compareImages(const ArgbImage &a, const ArgbImage &b);

}  // namespace kv::test
