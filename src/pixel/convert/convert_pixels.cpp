#include <algorithm>
#include <new>

#include "pixel/convert/conversion_job.h"

namespace kv {
namespace {

// The box lies inside its bounds and is not empty in any dimension.
bool boxIsSound(const PixelBox &box) {
  if (!box.data) return false;
  constexpr BoxEdge kAxes[3][2] = {{kBoxLeft, kBoxRight}, {kBoxTop, kBoxBottom}, {kBoxFront, kBoxBack}};
  for (const auto &[low, high] : kAxes)
    if (box.box[low] >= box.box[high] || box.box[low] < box.bounds[low] || box.box[high] > box.bounds[high])
      return false;
  return true;
}

bool sameSize(const PixelCodec &a, const PixelCodec &b) {
  return a.width() == b.width() && a.height() == b.height() && a.depth() == b.depth();
}

HRESULT makeCodecs(ConversionJob &job) {
  job.destination.reset();
  job.source.reset();
  if (FAILED(createPixelCodec(job.destinationBox, job.destination)) || !job.destination) return E_FAIL;
  if (FAILED(createPixelCodec(job.sourceBox, job.source)) || !job.source) return E_FAIL;
  return S_OK;
}

using Implementation = HRESULT (*)(ConversionJob &);
constexpr Implementation kImplementations[] = {copyIdentical, convertSameSize, resampleNone, resamplePoint, boxHalve2D,
                                               boxHalve3D,    linear2D,        linear3D,     triangle2D,    triangle3D};

}  // namespace

std::unique_ptr<float[]> allocatePixels(uint64_t pixels) {
  const uint64_t floats = pixels * 4;
  if (pixels == 0 || pixels > (uint64_t(1) << 40) || floats > SIZE_MAX / sizeof(float)) return nullptr;
  return std::unique_ptr<float[]>(new (std::nothrow) float[size_t(floats)]());
}

void clampToRange(float *row, uint32_t pixels, ValueRange range) {
  if (range == ValueRange::Float || range == ValueRange::None) return;
  const float lowRgb = range == ValueRange::Unorm ? 0.f : -1.f;
  const float lowAlpha = range == ValueRange::Snorm ? -1.f : 0.f;
  for (uint32_t i = 0; i < pixels; ++i) {
    float *p = row + size_t(i) * 4;
    for (int c = 0; c < 3; ++c) p[c] = std::clamp(p[c], lowRgb, 1.f);
    p[3] = std::clamp(p[3], lowAlpha, 1.f);
  }
}

HRESULT convertPixels(const PixelBox &destination, const PixelBox &source, uint32_t flags) {
  const uint32_t code = flags & 0xffff;
  if (code == 0 || code >= 6 || flags >= 0x800000) return D3DERR_INVALIDCALL;
  // Every implementation walks the boxes; one outside its memory would be read or written
  // out of range.
  if (!boxIsSound(destination) || !boxIsSound(source)) return D3DERR_INVALIDCALL;

  ConversionJob job;
  job.flags = flags;
  job.sourceBox = source;
  job.sourceBox.gamma = (flags & GammaIn) != 0;
  job.destinationBox = destination;
  job.destinationBox.gamma = (flags & GammaOut) != 0;
  job.destinationBox.dither = (flags & Dither) != 0;
  job.destinationBox.diffusion = (flags & DitherDiffusion) != 0;
  if (HRESULT hr = makeCodecs(job); FAILED(hr)) return hr;

  // Copies, same-size conversions and the none and point filters never blend, so two
  // gamma-encoded ends need no decoding at all: they run on codecs with gamma off. The
  // codecs say which ends are encoded: a signed format drops the switch, and then the
  // other end alone converts.
  if (job.source->gamma() && job.destination->gamma() &&
      (sameSize(*job.source, *job.destination) || filterCode(flags) == FilterNone ||
       filterCode(flags) == FilterPoint)) {
    job.sourceBox.gamma = job.destinationBox.gamma = false;
    const HRESULT hr = makeCodecs(job);
    // copyIdentical compares the switches as they were asked for.
    job.sourceBox.gamma = job.destinationBox.gamma = true;
    if (FAILED(hr)) return hr;
  }
  if (HRESULT hr = connectCodecs(*job.destination, *job.source); FAILED(hr)) return hr;
  for (Implementation implementation : kImplementations)
    if (SUCCEEDED(implementation(job))) return S_OK;
  return E_FAIL;
}

}  // namespace kv
