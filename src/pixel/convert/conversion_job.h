// The conversion engine: convertPixels pairs a source and a destination PixelCodec in a
// ConversionJob and runs the first filter implementation that accepts it.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/platform.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/formats/pixel_codec.h"

namespace kv {

struct ConversionJob {
  PixelBox sourceBox;  // as handed in, with the switches of the flags
  PixelBox destinationBox;
  std::unique_ptr<PixelCodec> source;
  std::unique_ptr<PixelCodec> destination;
  uint32_t flags = 0;
};

// Moves the pixels of `source` into `destination`, converting the format and resampling
// to the destination's size. S_OK; D3DERR_INVALIDCALL for bad flags or a box outside its
// bounds or empty; E_FAIL when a format has no codec or no implementation succeeded; the
// error of connectCodecs.
HRESULT convertPixels(const PixelBox &destination, const PixelBox &source, uint32_t flags);

// The filter implementations, tried in this order. Each returns S_OK when it did the job,
// or a failure when it does not accept it (or ran out of memory).
HRESULT copyIdentical(ConversionJob &job);
HRESULT convertSameSize(ConversionJob &job);
HRESULT resampleNone(ConversionJob &job);
HRESULT resamplePoint(ConversionJob &job);
HRESULT boxHalve2D(ConversionJob &job);
HRESULT boxHalve3D(ConversionJob &job);
HRESULT linear2D(ConversionJob &job);
HRESULT linear3D(ConversionJob &job);
HRESULT triangle2D(ConversionJob &job);
HRESULT triangle3D(ConversionJob &job);

// convertSameSize's table-driven path for byte-channel sources (same result as the
// codecs, faster); fails when the job does not qualify.
HRESULT convertSameSizeByTables(ConversionJob &job);

// A buffer of `pixels` floating RGBA pixels from the non-throwing heap, zeroed; null when
// memory runs out or the size overflows.
std::unique_ptr<float[]> allocatePixels(uint64_t pixels);

// Clamps `pixels` floating pixels to a value range (nothing for Float).
void clampToRange(float *row, uint32_t pixels, ValueRange range);

}  // namespace kv
