// Running the built kvtex on files the tests make, and reading back what it wrote.
#pragma once

#include <png.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kvtex_test {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::vector<nlohmann::json> lines;  // standard output, one JSON object a line
  std::string errors;                 // standard error
};

// A fresh folder per test, removed afterwards.
class KvtexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / (std::string("kvtex-") + info->test_suite_name() + "-" + info->name() + "-" +
                                        std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string &name) const { return (dir_ / name).string(); }

  std::string write(const std::string &name, const std::vector<uint8_t> &bytes) const {
    std::ofstream out(path(name), std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path(name);
  }

  // Runs kvtex with the arguments (each quoted for the shell); `out` receives standard
  // output as it is.
  RunResult run(const std::vector<std::string> &args, std::string *raw = nullptr) const {
    std::string command = "'" KVTEX_PATH "'";
    for (const std::string &a : args) command += " '" + a + "'";
    const std::string errorsFile = path("stderr.txt");
    command += " 2>'" + errorsFile + "'";
    RunResult result;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (raw) *raw = out;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty()) result.lines.push_back(nlohmann::json::parse(line, nullptr, false));
    }
    std::ifstream err(errorsFile);
    result.errors.assign(std::istreambuf_iterator<char>(err), {});
    return result;
  }

  fs::path dir_;
};

// An 8-bit RGBA PNG as red, green, blue, alpha bytes; empty when it cannot be read.
struct RgbaImage {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;
  const uint8_t *at(uint32_t x, uint32_t y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

inline RgbaImage readPng(const std::string &file) {
  RgbaImage image;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, file.c_str())) return image;
  png.format = PNG_FORMAT_RGBA;
  image.rgba.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr)) {
    png_image_free(&png);
    image.rgba.clear();
    return image;
  }
  image.width = png.width;
  image.height = png.height;
  return image;
}

inline void put16(std::vector<uint8_t> &b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
inline void put32(std::vector<uint8_t> &b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
inline void append(std::vector<uint8_t> &b, const std::string &text) { b.insert(b.end(), text.begin(), text.end()); }

// A 32-bit bottom-up bitmap; colour(x, y) gives A8R8G8B8 with y from the top. Without the
// 14-byte file header it is a DIB.
template <typename Colour>
std::vector<uint8_t> bitmap(uint32_t w, uint32_t h, Colour colour, bool fileHeader = true) {
  std::vector<uint8_t> b(54 + size_t(w) * h * 4, 0);
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, uint32_t(b.size()));
  put32(b, 10, 54);
  put32(b, 14, 40);
  put32(b, 18, w);
  put32(b, 22, h);
  b[26] = 1;
  b[28] = 32;
  put32(b, 34, w * h * 4);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) put32(b, 54 + (size_t(h - 1 - y) * w + x) * 4, colour(x, y));
  if (!fileHeader) b.erase(b.begin(), b.begin() + 14);
  return b;
}

// An uncompressed 24-bit top-down TGA.
inline std::vector<uint8_t> tga(uint32_t w, uint32_t h) {
  std::vector<uint8_t> b(18 + size_t(w) * h * 3, 0x40);
  std::fill(b.begin(), b.begin() + 18, 0);
  b[2] = 2;
  put16(b, 12, w);
  put16(b, 14, h);
  b[16] = 24;
  b[17] = 0x20;
  return b;
}

inline std::vector<uint8_t> ppm(uint32_t w, uint32_t h) {
  std::vector<uint8_t> b;
  append(b, "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n");
  b.resize(b.size() + size_t(w) * h * 3, 0x80);
  return b;
}

inline std::vector<uint8_t> pfm(uint32_t w, uint32_t h) {
  std::vector<uint8_t> b;
  append(b, "PF\n" + std::to_string(w) + " " + std::to_string(h) + "\n-1.0\n");
  const float half = 0.5f;
  for (size_t i = 0; i < size_t(w) * h * 3; ++i) {
    uint8_t bytes[4];
    std::memcpy(bytes, &half, 4);
    b.insert(b.end(), bytes, bytes + 4);
  }
  return b;
}

// Flat (not run-length) scanlines: the width is below the run-length minimum of 8.
inline std::vector<uint8_t> hdr(uint32_t w, uint32_t h) {
  std::vector<uint8_t> b;
  append(b, "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y " + std::to_string(h) + " +X " + std::to_string(w) + "\n");
  for (size_t i = 0; i < size_t(w) * h; ++i) b.insert(b.end(), {128, 64, 32, 128});
  return b;
}

// A DDS header for an uncompressed 32-bit A8R8G8B8 image; faces 6 makes a cube map.
inline std::vector<uint8_t> ddsHeader(uint32_t w, uint32_t h, uint32_t levels, bool cube) {
  std::vector<uint8_t> b(128, 0);
  std::memcpy(b.data(), "DDS ", 4);
  put32(b, 4, 124);
  put32(b, 8, 0x1007);
  put32(b, 12, h);
  put32(b, 16, w);
  put32(b, 28, levels);
  put32(b, 76, 32);
  put32(b, 80, 0x41);
  put32(b, 88, 32);
  put32(b, 92, 0xFF0000);
  put32(b, 96, 0xFF00);
  put32(b, 100, 0xFF);
  put32(b, 104, 0xFF000000);
  put32(b, 108, 0x1000);
  if (cube) put32(b, 112, 0xFE00);
  return b;
}

}  // namespace kvtex_test
