// What the quicker paths keep: info from headers alone (the pixels on --check), PNG files
// written as RGB when every pixel is opaque, batches spread over processes in input order.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "kvtex_test_support.h"
#include "texload_jpeg_png/jpeg_png_files.h"

namespace {

using namespace kvtex_test;
using nlohmann::json;

// The colour type byte of a PNG file's IHDR chunk: 2 RGB, 6 RGBA.
int pngColourType(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  char header[26] = {};
  in.read(header, sizeof header);
  return static_cast<unsigned char>(header[25]);
}

// A JPEG file made by libjpeg: grey (one component) or colour, baseline or progressive.
std::vector<uint8_t> jpeg(uint32_t width, uint32_t height, bool grey, bool progressive) {
  kvtest::JpegLayout layout;
  layout.width = int(width);
  layout.height = int(height);
  layout.components = grey ? 1 : 3;
  layout.progressive = progressive;
  return kvtest::encodeJpeg(layout, kvtest::testSamples(layout.width, layout.height, layout.components));
}

using KvtexSpeed = KvtexTest;

TEST_F(KvtexSpeed, JpegHeadersSayWhatTheReaderSays) {
  for (const bool grey : {false, true}) {
    for (const bool progressive : {false, true}) {
      const std::string file = write("a.jpg", jpeg(37, 21, grey, progressive));
      const RunResult header = run({"info", file});
      const RunResult checked = run({"info", "--check", file});
      ASSERT_EQ(header.status, 0) << header.errors;
      ASSERT_EQ(checked.status, 0) << checked.errors;
      // The reader's own account, pixels decoded, is the reference.
      EXPECT_EQ(header.lines, checked.lines) << grey << progressive;
      EXPECT_EQ(header.lines[0]["width"], 37);
      EXPECT_EQ(header.lines[0]["format"], grey ? "D3DFMT_L8" : "D3DFMT_X8R8G8B8");
    }
  }
}

TEST_F(KvtexSpeed, InfoReadsHeadersAndChecksPixelsOnRequest) {
  // An uncompressed TGA cut short inside its pixels: the header alone is whole.
  std::vector<uint8_t> cut = tga(8, 8);
  cut.resize(100);
  const std::string file = write("cut.tga", cut);
  const RunResult header = run({"info", file});
  ASSERT_EQ(header.status, 0) << header.errors;
  EXPECT_EQ(header.lines[0]["width"], 8);
  EXPECT_EQ(header.lines[0]["fileFormat"], "tga");
  const RunResult checked = run({"info", "--check", file});
  EXPECT_EQ(checked.status, 1);
  EXPECT_NE(checked.lines[0].value("error", "").find("truncated at byte 100"), std::string::npos) << checked.lines[0];
}

TEST_F(KvtexSpeed, OpaqueImagesAreWrittenAsRgbAndReadBackExactly) {
  const auto opaque = [](uint32_t x, uint32_t y) { return 0xFF000000u | x * 16 << 16 | y * 16 << 8 | (x ^ y); };
  const auto seeThrough = [&](uint32_t x, uint32_t y) { return (opaque(x, y) & 0xFFFFFF) | (x == 3 && y == 2 ? 0x7Fu << 24 : 0xFFu << 24); };
  ASSERT_EQ(run({"decode", write("o.bmp", bitmap(13, 9, opaque)), "-o", path("o.png")}).status, 0);
  ASSERT_EQ(run({"decode", write("t.bmp", bitmap(13, 9, seeThrough)), "-o", path("t.png")}).status, 0);
  EXPECT_EQ(pngColourType(path("o.png")), 2);
  EXPECT_EQ(pngColourType(path("t.png")), 6);
  const RgbaImage o = readPng(path("o.png")), t = readPng(path("t.png"));
  ASSERT_EQ(o.width, 13u);
  ASSERT_EQ(t.width, 13u);
  for (uint32_t y = 0; y < 9; ++y) {
    for (uint32_t x = 0; x < 13; ++x) {
      for (const auto &[image, colour] : {std::pair{&o, opaque(x, y)}, std::pair{&t, seeThrough(x, y)}}) {
        const uint8_t *p = image->at(x, y);
        EXPECT_EQ(p[0], uint8_t(colour >> 16));
        EXPECT_EQ(p[1], uint8_t(colour >> 8));
        EXPECT_EQ(p[2], uint8_t(colour));
        EXPECT_EQ(p[3], uint8_t(colour >> 24));
      }
    }
  }
}

}  // namespace

namespace {

using namespace kvtex_test;

TEST_F(KvtexSpeed, BatchesOverSeveralWorkersKeepTheInputOrder) {
  // Files of different sizes, so that workers finish out of order; two bad ones.
  std::vector<std::string> files;
  for (uint32_t i = 0; i < 12; ++i) {
    const std::string name = "f" + std::to_string(i);
    if (i == 3 || i == 8) {
      files.push_back(write(name + ".bmp", std::vector<uint8_t>{'B', 'M', uint8_t(i)}));
    } else {
      const uint32_t side = (i % 3 == 0) ? 256 : 4 + i;
      files.push_back(write(name + ".bmp", bitmap(side, side, [i](uint32_t x, uint32_t y) { return 0xFF000000u | i << 16 | x << 8 | y; })));
    }
  }
  for (const char *command : {"info", "decode", "convert", "texture"}) {
    std::vector<std::string> serial = {command};
    serial.insert(serial.end(), files.begin(), files.end());
    const std::string c = command;
    if (c != "info") serial.insert(serial.end(), {"-o", path(c + "-out") + "/"});
    if (c == "convert") serial.insert(serial.end(), {"--format", "DXT1"});
    std::vector<std::string> parallel = serial;
    serial.insert(serial.end(), {"-j", "1"});
    parallel.insert(parallel.end(), {"-j", "4"});
    const RunResult one = run(serial);
    const std::string oneErrors = one.errors;
    const RunResult four = run(parallel);
    EXPECT_EQ(one.status, 1) << command;
    EXPECT_EQ(four.status, 1) << command;
    ASSERT_EQ(four.lines.size(), 12u) << command;
    EXPECT_EQ(four.lines, one.lines) << command;
    EXPECT_EQ(four.errors, oneErrors) << command;
    for (size_t i = 0; i < 12; ++i) EXPECT_EQ(four.lines[i]["file"], files[i]) << command;
    EXPECT_NE(four.errors.find("12 files: 10 done, 2 failed"), std::string::npos) << four.errors;
  }
}

#ifdef KVTEX_TEST_HAVE_SQUISH
TEST_F(KvtexSpeed, ALongFileShowsItsStepsOnATerminalAndClearsThemBeforeItsLine) {
  // Noise, so that every block costs the cluster fit its full search: about a second's work.
  const std::string file = write("noise.bmp", bitmap(1024, 512, [](uint32_t x, uint32_t y) {
    uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u;
    h ^= h >> 15;
    return 0xFF000000u | (h * 0x2C1B3C6Du >> 8);
  }));
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string terminal = ::ptsname(master);
  // Held open here so that what kvtex wrote stays readable after it ends.
  const int slave = ::open(terminal.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  const std::string command = "'" KVTEX_PATH "' convert '" + file + "' -o '" + path("n.dds") +
                              "' --format DXT1 --quality high --mips >'" + terminal + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::string shown;
  char chunk[4096];
  for (pollfd ready{master, POLLIN, 0}; ::poll(&ready, 1, 100) > 0;) {
    const ssize_t n = ::read(master, chunk, sizeof chunk);
    if (n <= 0) break;
    shown.append(chunk, size_t(n));
  }
  ::close(slave);
  ::close(master);
  EXPECT_NE(shown.find("] " + file + ": level 1 of 11, block rows "), std::string::npos) << shown;
  // The JSON line starts a cleared line, and nothing follows it.
  const size_t line = shown.find("{\"file\"");
  ASSERT_NE(line, std::string::npos) << shown;
  ASSERT_GE(line, 4u);
  EXPECT_EQ(shown.substr(line - 4, 4), "\r\033[K");
  EXPECT_EQ(shown.find('\n', line), shown.size() - 1);
}
#endif

}  // namespace
