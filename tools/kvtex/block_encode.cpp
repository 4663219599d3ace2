// The second stage of `--quality high` and `--opaque`: the texture made in A8R8G8B8 first,
// its alpha set opaque when asked, then encoded into the block format by libsquish's
// cluster fit (high quality) or the library's own encoder.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <chrono>
#include <thread>

#include "kvtex.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/blocks/block_compression.h"
#include "pixel/convert/conversion_job.h"

#ifdef KVTEX_HAVE_SQUISH
#include <squish.h>
#endif

namespace kvtex {
namespace {

// One locked surface or volume slice: pixels and the bytes between rows.
struct Locked {
  uint8_t *bits;
  uint32_t pitch, width, height;
};

// Calls `each` with every surface (every slice of every volume level) of the texture,
// locked. False when a lock fails.
template <typename Each>
bool forEachSurface(const BuiltTexture &t, DWORD lockFlags, Each each) {
  const UINT faces = t.type == D3DRTYPE_CUBETEXTURE ? 6 : 1;
  for (UINT face = 0; face < faces; ++face) {
    for (UINT level = 0; level < t.levels; ++level) {
      if (t.type == D3DRTYPE_VOLUMETEXTURE) {
        D3DVOLUME_DESC desc{};
        D3DLOCKED_BOX box{};
        if (FAILED(t.volume->GetLevelDesc(level, &desc)) || FAILED(t.volume->LockBox(level, &box, nullptr, lockFlags)))
          return false;
        for (UINT z = 0; z < desc.Depth; ++z) {
          each(Locked{static_cast<uint8_t *>(box.pBits) + size_t(z) * uint32_t(box.SlicePitch),
                      uint32_t(box.RowPitch), desc.Width, desc.Height},
               face, level, z);
        }
        t.volume->UnlockBox(level);
        continue;
      }
      D3DSURFACE_DESC desc{};
      D3DLOCKED_RECT rect{};
      const auto cubeFace = static_cast<D3DCUBEMAP_FACES>(face);
      const bool ok = t.type == D3DRTYPE_CUBETEXTURE
                          ? SUCCEEDED(t.cube->GetLevelDesc(level, &desc)) &&
                                SUCCEEDED(t.cube->LockRect(cubeFace, level, &rect, nullptr, lockFlags))
                          : SUCCEEDED(t.texture->GetLevelDesc(level, &desc)) &&
                                SUCCEEDED(t.texture->LockRect(level, &rect, nullptr, lockFlags));
      if (!ok) return false;
      each(Locked{static_cast<uint8_t *>(rect.pBits), uint32_t(rect.Pitch), desc.Width, desc.Height}, face, level, 0u);
      if (t.type == D3DRTYPE_CUBETEXTURE) {
        t.cube->UnlockRect(cubeFace, level);
      } else {
        t.texture->UnlockRect(level);
      }
    }
  }
  return true;
}

kv::PixelBox wholeBox(const Locked &s, uint32_t format) {
  kv::PixelBox box;
  box.data = s.bits;
  box.format = format;
  box.rowPitch = s.pitch;
  const uint32_t region[6] = {0, 0, s.width, s.height, 0, 1};
  for (int i = 0; i < 6; ++i) box.bounds[i] = box.box[i] = region[i];
  return box;
}

// The library's own conversion (and encoder, for block formats), pixel for pixel.
bool convertBox(const Locked &from, const Locked &to, uint32_t format) {
  return SUCCEEDED(kv::convertPixels(wholeBox(to, format), wholeBox(from, D3DFMT_A8R8G8B8), kv::FilterNone));
}

// "face 2, level 3 of 12, slice 4 of 8", as far as the texture has them.
std::string surfaceStep(const BuiltTexture &t, UINT face, UINT level, UINT z) {
  std::string step = t.type == D3DRTYPE_CUBETEXTURE ? "face " + std::to_string(face) + ", " : "";
  step += "level " + std::to_string(level + 1) + " of " + std::to_string(t.levels);
  if (t.type == D3DRTYPE_VOLUMETEXTURE)
    step += ", slice " + std::to_string(z + 1) + " of " + std::to_string(std::max(1u, t.depth >> level));
  return step;
}

#ifdef KVTEX_HAVE_SQUISH
// R, G, B, A bytes of a band of the image, rows `width` pixels long, and one block in it.
struct BandBlock {
  const std::vector<uint8_t> &rgba;
  uint32_t width, x0, y0, w, h;
  const uint8_t *pixel(uint32_t x, uint32_t y) const { return &rgba[((size_t(y0) + y) * width + x0 + x) * 4]; }
};

// A block's pixels as the library decodes them, in R, G, B, A bytes.
void decodeBlock(uint32_t format, const uint8_t *block, uint8_t out[16][4]) {
  float pixels[16][4];
  kv::decodeDxtBlock(format, block, pixels);
  for (int p = 0; p < 16; ++p) {
    for (int c = 0; c < 4; ++c) out[p][c] = uint8_t(std::lround(std::clamp(pixels[p][c], 0.0f, 1.0f) * 255.0f));
  }
}

uint64_t distance(const uint8_t *a, const uint8_t *b, int channels) {
  uint64_t error = 0;
  for (int c = 0; c < channels; ++c) error += uint64_t((int(a[c]) - int(b[c])) * (int(a[c]) - int(b[c])));
  return error;
}

// The squared error of an encoded block, over its pixels inside the image, as the library
// decodes it.
uint64_t blockError(uint32_t format, const uint8_t *block, const BandBlock &at) {
  uint8_t decoded[16][4];
  decodeBlock(format, block, decoded);
  uint64_t error = 0;
  for (uint32_t y = 0; y < at.h; ++y) {
    for (uint32_t x = 0; x < at.w; ++x) error += distance(decoded[y * 4 + x], at.pixel(x, y), 4);
  }
  return error;
}

// Picks each pixel's colour index again against the palette the library decodes from the
// block's endpoints: libsquish chooses them against its own rounding of the palette.
void refitColourIndices(uint32_t format, uint8_t *block, const BandBlock &at) {
  const uint32_t blockBytes = kv::dxtBlockBytes(format);
  uint8_t *colour = block + blockBytes - 8;
  uint8_t probe[16];
  std::copy_n(block, blockBytes, probe);
  // Pixels 0 to 3 take indices 0 to 3: the palette.
  uint8_t *indices = probe + blockBytes - 4;
  indices[0] = 0xE4, indices[1] = indices[2] = indices[3] = 0;
  uint8_t palette[16][4];
  decodeBlock(format, probe, palette);
  // DXT1's alpha comes with the colour index; the other formats keep theirs apart.
  const int channels = format == D3DFMT_DXT1 ? 4 : 3;
  uint32_t bits = uint32_t(colour[4]) | uint32_t(colour[5]) << 8 | uint32_t(colour[6]) << 16 | uint32_t(colour[7]) << 24;
  for (uint32_t y = 0; y < at.h; ++y) {
    for (uint32_t x = 0; x < at.w; ++x) {
      const uint32_t p = y * 4 + x;
      uint32_t best = (bits >> (2 * p)) & 3;
      uint64_t least = distance(palette[best], at.pixel(x, y), channels);
      for (uint32_t i = 0; i < 4; ++i) {
        const uint64_t error = distance(palette[i], at.pixel(x, y), channels);
        if (error < least) least = error, best = i;
      }
      bits = (bits & ~(3u << (2 * p))) | best << (2 * p);
    }
  }
  for (int i = 0; i < 4; ++i) colour[4 + i] = uint8_t(bits >> (8 * i));
}

// Moves each 5:6:5 field of the two endpoints by one step either way while that lowers the
// block's error, the indices picked again each time: the fit's endpoints are rounded to
// 5:6:5 one field at a time, which can leave a better neighbour.
void polishEndpoints(uint32_t format, uint8_t *block, const BandBlock &at) {
  const uint32_t blockBytes = kv::dxtBlockBytes(format);
  uint64_t least = blockError(format, block, at);
  struct Field {
    int shift, bits;
  };
  constexpr Field kFields[3] = {{11, 5}, {5, 6}, {0, 5}};
  for (bool better = true; better;) {
    better = false;
    for (int endpoint = 0; endpoint < 2; ++endpoint) {
      for (const Field &field : kFields) {
        for (const int step : {-1, 1}) {
          uint8_t trial[16];
          std::copy_n(block, blockBytes, trial);
          uint8_t *c = trial + blockBytes - 8 + 2 * endpoint;
          const uint32_t value = uint32_t(c[0]) | uint32_t(c[1]) << 8;
          const int part = int((value >> field.shift) & ((1u << field.bits) - 1)) + step;
          if (part < 0 || part >= (1 << field.bits)) continue;
          const uint32_t moved = (value & ~(((1u << field.bits) - 1) << field.shift)) | uint32_t(part) << field.shift;
          c[0] = uint8_t(moved), c[1] = uint8_t(moved >> 8);
          refitColourIndices(format, trial, at);
          if (const uint64_t error = blockError(format, trial, at); error < least) {
            least = error;
            std::copy_n(trial, blockBytes, block);
            better = true;
          }
        }
      }
    }
  }
}

// Each block the better, by squared error, of libsquish's iterative cluster fit and the
// library's own encoder (already in `to`), each with its indices picked again, then
// polished. Bands of block rows go to every core: blocks are encoded each on its own, so
// the bands give the same bytes as one pass over the surface.
void encodeClusterFit(const Locked &from, const Locked &to, uint32_t format, const std::string &step) {
  int flags = squish::kColourIterativeClusterFit;
  flags |= format == D3DFMT_DXT1 ? squish::kDxt1 : format <= D3DFMT_DXT3 ? squish::kDxt3 : squish::kDxt5;
  const uint32_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
  const uint32_t blocksWide = (from.width + 3) / 4, blocksHigh = (from.height + 3) / 4;
  constexpr uint32_t kBandBlocks = 16;
  const uint32_t bands = (blocksHigh + kBandBlocks - 1) / kBandBlocks;
  std::atomic<uint32_t> nextBand{0}, bandsDone{0};
  const auto encodeBands = [&] {
    std::vector<uint8_t> blocks(size_t(blocksWide) * kBandBlocks * blockBytes);
    std::vector<uint8_t> rgba(size_t(from.width) * kBandBlocks * 4 * 4);
    for (uint32_t band = nextBand++; band < bands; band = nextBand++) {
      const uint32_t firstRow = band * kBandBlocks, rows = std::min(kBandBlocks, blocksHigh - firstRow);
      const uint32_t top = firstRow * 4, height = std::min(from.height - top, rows * 4);
      // libsquish takes R, G, B, A bytes; the surface holds B, G, R, A.
      for (uint32_t y = 0; y < height; ++y) {
        const uint8_t *bgra = from.bits + size_t(top + y) * from.pitch;
        uint8_t *p = &rgba[size_t(y) * from.width * 4];
        for (uint32_t x = 0; x < from.width; ++x, p += 4, bgra += 4) {
          p[0] = bgra[2], p[1] = bgra[1], p[2] = bgra[0], p[3] = bgra[3];
        }
      }
      squish::CompressImage(rgba.data(), int(from.width), int(height), blocks.data(), flags);
      for (uint32_t row = 0; row < rows; ++row) {
        for (uint32_t column = 0; column < blocksWide; ++column) {
          uint8_t *fitted = &blocks[(size_t(row) * blocksWide + column) * blockBytes];
          uint8_t *own = to.bits + size_t(firstRow + row) * to.pitch + size_t(column) * blockBytes;
          const BandBlock at{rgba, from.width, column * 4, row * 4, std::min(4u, from.width - column * 4),
                             std::min(4u, height - row * 4)};
          refitColourIndices(format, fitted, at);
          refitColourIndices(format, own, at);
          if (blockError(format, fitted, at) <= blockError(format, own, at)) std::copy_n(fitted, blockBytes, own);
          polishEndpoints(format, own, at);
        }
      }
      ++bandsDone;
    }
  };
  const unsigned workers = std::min(bands, std::max(1u, std::thread::hardware_concurrency()));
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < workers; ++i) threads.emplace_back(encodeBands);
  // This thread reports how far the workers are while they work.
  while (bandsDone < bands) {
    reportProgress(step + ", block rows " + std::to_string(std::min(blocksHigh, bandsDone * kBandBlocks)) + " of " +
                   std::to_string(blocksHigh));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (std::thread &t : threads) t.join();
}
#endif

}  // namespace

bool highQualityAvailable() {
#ifdef KVTEX_HAVE_SQUISH
  return true;
#else
  return false;
#endif
}

std::string buildEncodedTexture(IDirect3DDevice9 *device, const TextureSource &source, const BuildRequest &request,
                                BuiltTexture &built) {
  // The device's choice of format first, as buildTexture makes it.
  BuiltTexture probe;
  BuildRequest one = request;
  one.levels = 1;
  one.width = one.height = 4;
  one.depth = std::min(one.depth, 4u);
  if (std::string error = buildTexture(device, source, one, probe); !error.empty()) return error;
  // DXT2 and DXT4 hold premultiplied colours, which libsquish does not make.
  [[maybe_unused]] const bool useSquish =
      request.highQuality &&
      (probe.format == D3DFMT_DXT1 || probe.format == D3DFMT_DXT3 || probe.format == D3DFMT_DXT5);
  if (request.highQuality && !highQualityAvailable()) return "--quality high needs libsquish, not built in";

  BuildRequest staged = request;
  staged.format = D3DFMT_A8R8G8B8;
  BuiltTexture argb;
  if (std::string error = buildTexture(device, source, staged, argb); !error.empty()) return error;
  if (request.opaque) {
    forEachSurface(argb, 0, [](const Locked &s, UINT, UINT, UINT) {
      for (uint32_t y = 0; y < s.height; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(s.bits + size_t(y) * s.pitch);
        for (uint32_t x = 0; x < s.width; ++x) row[x] |= 0xFF000000u;
      }
    });
  }

  // The final texture, of the same shape, in the settled format.
  built.type = argb.type;
  built.width = argb.width;
  built.height = argb.height;
  built.depth = argb.depth;
  built.levels = argb.levels;
  built.format = probe.format;
  const D3DFORMAT format = static_cast<D3DFORMAT>(built.format);
  HRESULT hr = built.type == D3DRTYPE_CUBETEXTURE
                   ? device->CreateCubeTexture(built.width, built.levels, 0, format, D3DPOOL_MANAGED, built.cube.put(),
                                               nullptr)
               : built.type == D3DRTYPE_VOLUMETEXTURE
                   ? device->CreateVolumeTexture(built.width, built.height, built.depth, built.levels, 0, format,
                                                 D3DPOOL_MANAGED, built.volume.put(), nullptr)
                   : device->CreateTexture(built.width, built.height, built.levels, 0, format, D3DPOOL_MANAGED,
                                           built.texture.put(), nullptr);
  if (FAILED(hr)) return "the device makes no " + formatName(built.format) + " texture: " + errorText(hr);

  // Each surface of the A8R8G8B8 texture into the same surface of the final one.
  std::vector<Locked> sources;
  if (!forEachSurface(argb, D3DLOCK_READONLY, [&](const Locked &s, UINT, UINT, UINT) { sources.push_back(s); }))
    return "cannot read the staged texture";
  // The staged texture is managed: its memory stays where the locks found it.
  size_t next = 0;
  bool failed = false;
  const bool locked = forEachSurface(built, 0, [&](const Locked &to, UINT face, UINT level, UINT z) {
    const Locked &from = sources[next++];
    reportProgress(surfaceStep(built, face, level, z));
    failed = failed || !convertBox(from, to, built.format);
#ifdef KVTEX_HAVE_SQUISH
    if (useSquish && !failed) encodeClusterFit(from, to, built.format, surfaceStep(built, face, level, z));
#endif
  });
  if (!locked || failed) return "cannot encode " + formatName(built.format);
  built.palette = argb.palette;
  return {};
}

}  // namespace kvtex
