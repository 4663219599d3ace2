// One reader on arbitrary bytes, as the dispatcher runs it: pixels wanted, the record
// released afterwards. Each *_fuzz.cpp program names its reader; any out-of-bounds access,
// leak, undefined behaviour, allocation beyond the fuzzer's limit or slow input is a finding.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/formats/pixel_format_info.h"
#include "texload/image_readers.h"

namespace kvfuzz {

using Reader = HRESULT (*)(kv::DecodedImage &, const uint8_t *, uint32_t);

inline int runReader(Reader read, kv::ImageFileFormat format, const uint8_t *data, size_t size) {
  if (size == 0 || size > 0xFFFFFFFFu) return 0;
  kv::DecodedImage image;
  kv::clearDecodedImage(image);
  image.decodePixels = 1;
  image.resourceType = D3DRTYPE_TEXTURE;
  image.fileFormat = format;
  const HRESULT hr = read(image, data, static_cast<uint32_t>(size));
  // Touch the ends of what a successful record claims, so that a wrong size shows up here:
  // every slice of a level that has them, else the last row's pixels (a record may point
  // into the file, whose last row need not be padded out to the pitch).
  volatile uint8_t sink = 0;
  for (kv::DecodedImage *face = SUCCEEDED(hr) ? &image : nullptr; face; face = face->nextFace) {
    for (kv::DecodedImage *level = face; level; level = level->nextMip) {
      if (!level->pixels) continue;
      const uint64_t rowBytes = (uint64_t(level->width) * kv::lookupFormatInfo(level->format).bitsPerPixel + 7) / 8;
      const uint64_t bytes = level->slicePitch ? uint64_t(level->slicePitch) * level->depth
                             : level->height  ? uint64_t(level->rowPitch) * (level->height - 1) + rowBytes
                                              : 0;
      if (bytes) sink = sink + level->pixels[0] + level->pixels[bytes - 1];
      if (level->palette) sink = sink + level->palette[0] + level->palette[1023];
    }
  }
  kv::releaseDecodedImage(image);
  return 0;
}

}  // namespace kvfuzz
