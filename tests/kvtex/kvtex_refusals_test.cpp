// Every refusal says why, in words a user can act on; the library's code stays beside it.
#include "kvtex_test_support.h"

namespace {

using namespace kvtex_test;

struct Refusal {
  std::string name;
  std::vector<uint8_t> bytes;
  std::string reason;  // a part of the message
  bool libraryCode;    // the library refused it (else the tool could not read it)
};

std::vector<uint8_t> cut(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

using KvtexRefusals = KvtexTest;

TEST_F(KvtexRefusals, EachSaysWhy) {
  const auto grey = [](uint32_t, uint32_t) { return 0xFF808080u; };
  // A 20x10 bitmap of 32 bits: 54 + 20 * 10 * 4 = 854 bytes.
  std::vector<uint8_t> dds = ddsHeader(16, 16, 1, false);  // 128 + 16 * 16 * 4 = 1152 bytes
  dds.resize(600, 0);
  std::vector<uint8_t> dx10 = ddsHeader(4, 4, 1, false);
  put32(dx10, 80, 0x4);
  dx10[84] = 'D', dx10[85] = 'X', dx10[86] = '1', dx10[87] = '0';
  dx10.resize(128 + 20 + 64, 0);
  std::vector<uint8_t> ati2 = dx10;
  ati2[84] = 'A', ati2[85] = 'T', ati2[86] = 'I', ati2[87] = '2';
  // SOI, a 12-bit frame header (SOF1) and a scan header.
  const std::vector<uint8_t> twelveBit = {0xFF, 0xD8, 0xFF, 0xC1, 0, 11, 12, 0, 8, 0,  8, 1, 1, 0x11, 0,
                                          0xFF, 0xDA, 0,    8,    1, 1,  0, 0, 63, 0};
  std::vector<uint8_t> gif;
  append(gif, "GIF89a\x01\x00\x01\x00");
  std::vector<uint8_t> text;
  append(text, "hello world");
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0};
  const Refusal cases[] = {
      {"cut.bmp", cut(bitmap(20, 10, grey), 500), "truncated at byte 500: the 20x10 bitmap needs 854 bytes", true},
      {"header.bmp", cut(bitmap(20, 10, grey), 30), "truncated at byte 30: a BMP header needs 54 bytes", true},
      {"cut.dds", dds, "truncated at byte 600: the 16x16 D3DFMT_A8R8G8B8 image with 1 level needs 1152 bytes", true},
      {"dx10.dds", dx10, "extended DX10 header are not supported", true},
      {"ati2.dds", ati2, "DDS pixel format 'ATI2' is not one the library reads", true},
      {"cut.tga", cut(tga(8, 8), 100), "truncated at byte 100: the 8x8 image needs 210 bytes", true},
      {"cut.ppm", cut(ppm(4, 4), 30), "truncated at byte 30: the 4x4 PPM needs 59 bytes", true},
      {"cut.png", png, "truncated at byte 18: chunk IHDR needs 33 bytes", true},
      {"twelve.jpg", twelveBit, "12-bit JPEG samples are not supported", true},
      {"a.gif", gif, "GIF images are not read", true},
      {"crlf.png", {0x89, 'P', 'N', 'G', '\n', 0x1A, '\n', 0, 0, 0, 13}, "PNG: the 8-byte signature is damaged", true},
      {"a.txt", text, "unknown file type (begins with 68 65 6C 6C)", true},
      {"empty.bmp", {}, "empty file", false},
  };
  for (const Refusal &c : cases) {
    const std::string file = write(c.name, c.bytes);
    const RunResult info = run({"info", "--check", file});
    EXPECT_EQ(info.status, 1) << c.name;
    ASSERT_EQ(info.lines.size(), 1u) << c.name;
    const std::string error = info.lines[0].value("error", "");
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(info.lines[0].contains("code"), c.libraryCode) << c.name;
    if (c.libraryCode) {
      EXPECT_EQ(info.lines[0]["code"], "0x88760B59") << c.name;
    }
    // The texture-making commands say the same on standard error.
    const RunResult texture = run({"texture", file, "-o", path("t")});
    EXPECT_EQ(texture.status, 1) << c.name;
    EXPECT_NE(texture.errors.find(c.reason), std::string::npos) << c.name << ": " << texture.errors;
    const RunResult convert = run({"convert", file, "-o", path("c.dds"), "--format", "DXT1"});
    EXPECT_NE(convert.errors.find(c.reason), std::string::npos) << c.name << ": " << convert.errors;
  }
}

TEST_F(KvtexRefusals, FilesThatCannotBeReadSayWhy) {
  fs::create_directories(dir_ / "folder.png");
  const RunResult r = run({"info", path("missing.bmp"), path("folder.png")});
  EXPECT_EQ(r.status, 1);
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[0]["error"], "no such file");
  EXPECT_EQ(r.lines[1]["error"], "is a folder");
  const RunResult decode = run({"decode", path("missing.bmp"), "-o", path("x.png")});
  EXPECT_EQ(decode.status, 1);
  EXPECT_NE(decode.errors.find("missing.bmp: no such file"), std::string::npos) << decode.errors;
}

}  // namespace
