// decodeImage on arbitrary bytes: every reader in turn, pixels wanted, the record released.
// Any out-of-bounds access, leak or undefined behaviour is a finding.
#include <cstddef>
#include <cstdint>

#include "texload/decode_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > UINT32_MAX) return 0;
  kv::DecodedImage image;
  kv::ImageInfo info;
  kv::decodeImage(image, data, static_cast<uint32_t>(size), &info, TRUE);
  kv::releaseDecodedImage(image);
  return 0;
}
