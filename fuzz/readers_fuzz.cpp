// libFuzzer target for the DDS, TGA, pixmap, float map and Radiance readers: each reads the
// input in turn, as the dispatcher would try it, and its record is released afterwards.
// The fuzz preset builds it as kvfuzz_readers; by hand, only the readers are needed:
//   clang++ -std=c++20 -fsanitize=fuzzer,address,undefined -Isrc -Iplatform/include \
//       src/texload/{decoded_image,header_line,read_dds,read_tga,read_ppm,read_pfm,read_hdr}.cpp \
//       fuzz/readers_fuzz.cpp -o readers_fuzz
#include "texload/image_readers.h"

#include <cstddef>
#include <cstdint>

namespace {

using Reader = HRESULT (*)(kv::DecodedImage &, const uint8_t *, uint32_t);

struct ReaderTry {
  Reader read;
  kv::ImageFileFormat format;
};

constexpr ReaderTry kTries[] = {
    {kv::readPpm, kv::ImageFileFormat::Ppm}, {kv::readDds, kv::ImageFileFormat::Dds},
    {kv::readPfm, kv::ImageFileFormat::Pfm}, {kv::readHdr, kv::ImageFileFormat::Hdr},
    {kv::readTga, kv::ImageFileFormat::Tga},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0 || size > 0xFFFFFFFFu) return 0;
  for (const ReaderTry &attempt : kTries) {
    kv::DecodedImage image;
    kv::clearDecodedImage(image);
    image.decodePixels = 1;
    image.resourceType = D3DRTYPE_TEXTURE;
    image.fileFormat = attempt.format;
    const HRESULT hr = attempt.read(image, data, static_cast<uint32_t>(size));
    // Touch the ends of what a successful record claims, so that a wrong size shows up here.
    volatile uint8_t sink = 0;
    for (kv::DecodedImage *face = SUCCEEDED(hr) ? &image : nullptr; face; face = face->nextFace) {
      for (kv::DecodedImage *level = face; level; level = level->nextMip) {
        if (!level->pixels) continue;
        const uint64_t rows = level->slicePitch ? uint64_t(level->slicePitch) * level->depth
                                                : uint64_t(level->rowPitch) * level->height;
        if (rows) sink = sink + level->pixels[0] + level->pixels[rows - 1];
      }
    }
    kv::releaseDecodedImage(image);
  }
  return 0;
}
