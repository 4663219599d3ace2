// What the JPEG and PNG readers ask of the heap for short files that claim much, the
// libraries' own blocks included: never more than any file may cost.
#include <gtest/gtest.h>
#include <zlib.h>

#include "decoded_rgba.h"
#include "jpeg_png_files.h"
#include "largest_allocation.h"
#include "texload/decode_budget.h"
#include "texload/image_readers.h"

namespace {

using kvtest::Decoded;

constexpr size_t kFloor = size_t(64) << 20;

HRESULT readPng(Decoded &d, const std::vector<uint8_t> &file) {
  return kv::readPng(d.image, file.data(), static_cast<uint32_t>(file.size()));
}

std::vector<uint8_t> smallPng() {
  kvtest::PngLayout layout;
  layout.width = layout.height = 4;
  return kvtest::encodePng(layout, std::vector<uint8_t>(48, 3));
}

TEST(ReaderAllocations, TheCounterSeesTheReadersBuffers) {
  if (!kvtest::allocationsCounted()) GTEST_SKIP() << "the sanitizers keep their own heap";
  kvtest::PngLayout layout;
  layout.width = layout.height = 512;
  const std::vector<uint8_t> file = kvtest::encodePng(layout, std::vector<uint8_t>(size_t(512) * 512 * 3, 3));
  const kvtest::LargestAllocation watch;
  Decoded d;
  ASSERT_EQ(readPng(d, file), S_OK);
  EXPECT_GE(watch.bytes(), size_t(512) * 512 * 4);
}

TEST(ReaderAllocations, APngChunkLongerThanTheFileIsRefusedBeforeTheLibraryTakesItsLength) {
  if (!kvtest::allocationsCounted()) GTEST_SKIP() << "the sanitizers keep their own heap";
  // A text chunk after the header that claims 1.69 GB: the library would take a buffer of
  // that length before finding that the data ends.
  std::vector<uint8_t> file = smallPng();
  const uint8_t chunk[] = {0x65, 0x00, 0x41, 0x50, 't', 'E', 'X', 't', 'k', 'e', 'y', 0};
  file.insert(file.begin() + 33, std::begin(chunk), std::end(chunk));
  const kvtest::LargestAllocation watch;
  Decoded d;
  EXPECT_EQ(readPng(d, file), E_FAIL);
  EXPECT_LE(watch.bytes(), kFloor);
}

TEST(ReaderAllocations, ChunksAfterTheImageDataAreNotMeasuredForTheyAreNotRead) {
  // The same text chunk between the image data and the end chunk: the reader stops with
  // the image data, so the file is read.
  std::vector<uint8_t> file = smallPng();
  const uint8_t chunk[] = {0x65, 0x00, 0x41, 0x50, 't', 'E', 'X', 't', 'k', 'e', 'y', 0};
  file.insert(file.end() - 12, std::begin(chunk), std::end(chunk));
  Decoded d;
  EXPECT_EQ(readPng(d, file), S_OK);
}

TEST(ReaderAllocations, AVeryWidePngIsRefusedBeforeTheLibraryTakesItsRowBuffers) {
  if (!kvtest::allocationsCounted()) GTEST_SKIP() << "the sanitizers keep their own heap";
  // 46,465,027 x 2 RGB (found by fuzzing, 41 bytes): beyond the pixel limit, but each
  // side within it; the library would take and clear two rows of 140 MB and 186 MB.
  std::vector<uint8_t> file = smallPng();
  const uint8_t size[8] = {0x02, 0xC5, 0x00, 0x03, 0, 0, 0, 2};
  std::copy(std::begin(size), std::end(size), file.begin() + 16);
  const uint32_t crc = static_cast<uint32_t>(crc32(0, file.data() + 12, 17));
  for (int i = 0; i < 4; ++i) file[29 + size_t(i)] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  const kvtest::LargestAllocation watch;
  Decoded d;
  EXPECT_EQ(readPng(d, file), E_FAIL);
  EXPECT_LE(watch.bytes(), size_t(1) << 20);
}

TEST(ReaderAllocations, ATinyJpegClaimingAHugeImageTakesNothingLarge) {
  if (!kvtest::allocationsCounted()) GTEST_SKIP() << "the sanitizers keep their own heap";
  kvtest::JpegLayout layout;
  layout.width = layout.height = 64;
  layout.progressive = layout.arithmetic = true;
  std::vector<uint8_t> file = kvtest::encodeJpeg(layout, std::vector<uint8_t>(64 * 64 * 3, 128));
  for (size_t i = 2; i + 9 < file.size(); ++i) {
    if (file[i] == 0xFF && file[i + 1] == 0xCA) {  // progressive, arithmetic frame header
      file[i + 5] = file[i + 7] = 16000 >> 8;
      file[i + 6] = file[i + 8] = 16000 & 0xFF;
      break;
    }
  }
  kv::setDecodePixelLimit(uint64_t(1) << 30);  // so that the bytes, not the pixels, decide
  const kvtest::LargestAllocation watch;
  Decoded d;
  EXPECT_EQ(kv::readJpeg(d.image, file.data(), static_cast<uint32_t>(file.size())), E_FAIL);
  kv::setDecodePixelLimit(0);
  EXPECT_LE(watch.bytes(), kFloor);
}

}  // namespace
