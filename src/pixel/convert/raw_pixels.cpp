#include "pixel/convert/raw_pixels.h"

#include "pixel/formats/pixel_format_info.h"

namespace kv {

uint32_t rawBytesPerPixel(uint32_t format) {
  if (isDxtFormat(format) || isPairFormat(format)) return 0;
  const PixelFormatInfo &info = lookupFormatInfo(format);
  if (info.format != format) return 0;
  return info.bitsPerPixel / 8;
}

}  // namespace kv
