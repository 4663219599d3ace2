// The second stage of `--quality high` and `--opaque`: the texture made in A8R8G8B8 first,
// its alpha set opaque when asked, then encoded into the block format by libsquish's
// cluster fit (high quality) or the library's own encoder.
#include <algorithm>

#include "kvtex.h"
#include "pixel/convert/filter_flags.h"
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
  const bool locked = forEachSurface(built, 0, [&](const Locked &to, UINT, UINT, UINT) {
    const Locked &from = sources[next++];
#ifdef KVTEX_HAVE_SQUISH
    if (useSquish) {
      std::vector<uint8_t> rgba(size_t(from.width) * from.height * 4);
      for (uint32_t y = 0; y < from.height; ++y) {
        const uint8_t *bgra = from.bits + size_t(y) * from.pitch;
        for (uint32_t x = 0; x < from.width; ++x) {
          uint8_t *p = &rgba[(size_t(y) * from.width + x) * 4];
          p[0] = bgra[x * 4 + 2], p[1] = bgra[x * 4 + 1], p[2] = bgra[x * 4], p[3] = bgra[x * 4 + 3];
        }
      }
      int flags = squish::kColourClusterFit;
      flags |= built.format == D3DFMT_DXT1 ? squish::kDxt1 : built.format <= D3DFMT_DXT3 ? squish::kDxt3 : squish::kDxt5;
      const uint32_t blockBytes = built.format == D3DFMT_DXT1 ? 8 : 16;
      const uint32_t blocksWide = (from.width + 3) / 4, blocksHigh = (from.height + 3) / 4;
      std::vector<uint8_t> blocks(size_t(blocksWide) * blocksHigh * blockBytes);
      squish::CompressImage(rgba.data(), int(from.width), int(from.height), blocks.data(), flags);
      for (uint32_t row = 0; row < blocksHigh; ++row) {
        std::copy_n(&blocks[size_t(row) * blocksWide * blockBytes], size_t(blocksWide) * blockBytes,
                    to.bits + size_t(row) * to.pitch);
      }
      return;
    }
#endif
    failed = failed || !convertBox(from, to, built.format);
  });
  if (!locked || failed) return "cannot encode " + formatName(built.format);
  built.palette = argb.palette;
  return {};
}

}  // namespace kvtex
