// Writes a host frame (32-bit pixels, bottom row first) as an RGB PNG file.
#pragma once

#include <cstdint>
#include <string>

bool writeFramePng(const std::string &path, const uint32_t *pixels, int width, int height);
