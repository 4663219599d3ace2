// The texture `convert`, `cube` and `volume` write: made at the size asked for (the
// source's own by default, partial 4x4 blocks included), with the source's faces or
// slices, filled through the library's conversion engine and mipmap filter.
#include <algorithm>

#include "kvtex.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/convert/load_pixels.h"
#include "pixel/formats/pixel_format_info.h"
#include "pixel/mipchain/filter_mip_chain.h"
#include "texload/texture_requirements.h"

namespace kvtex {
namespace {

RECT sourceRect(const kv::DecodedImage &image) {
  return RECT{LONG(image.box[0]), LONG(image.box[1]), LONG(image.box[2]), LONG(image.box[3])};
}

const PALETTEENTRY *paletteOf(const kv::DecodedImage &image) {
  return reinterpret_cast<const PALETTEENTRY *>(image.palette);
}

// The file's own level `level` of a face when it has exactly the size the texture's level
// has, else null: such levels are copied, the others filtered from the level above.
const kv::DecodedImage *fileLevel(const kv::DecodedImage *top, uint32_t level, uint32_t width, uint32_t height,
                                  uint32_t depth) {
  for (uint32_t i = 0; i < level && top; ++i) top = top->nextMip;
  if (!top || top->width != width || top->height != height || std::max(top->depth, 1u) != depth) return nullptr;
  return top;
}

uint32_t levelSize(uint32_t size, uint32_t level) { return std::max(1u, size >> level); }

std::string failed(const std::string &what, HRESULT hr) { return what + ": " + errorText(hr) + " (" + errorCode(hr) + ")"; }

}  // namespace

uint32_t fullChainLength(uint32_t width, uint32_t height, uint32_t depth) {
  uint32_t largest = std::max({width, height, depth}), levels = 1;
  while (largest > 1) {
    largest >>= 1;
    ++levels;
  }
  return levels;
}

std::string buildTexture(IDirect3DDevice9 *device, const TextureSource &source, const BuildRequest &request,
                         BuiltTexture &built) {
  const kv::DecodedImage &first = *source.surfaces.front();
  built.type = source.type;
  built.width = request.width;
  built.height = request.height;
  built.depth = source.type == D3DRTYPE_VOLUMETEXTURE ? request.depth : 1;
  const uint32_t full = fullChainLength(built.width, built.height, built.depth);
  built.levels = request.levels == 0 ? full : std::min(request.levels, full);

  built.format = kv::chooseTextureFormat(device, 0, source.type, kv::lookupFormatInfo(request.format));
  if (built.format == 0) return "the device takes no format close to " + formatName(request.format);
  const bool palettised = hasPalette(built.format);
  if (palettised && !first.palette) return formatName(built.format) + " needs a palettised source";
  const PALETTEENTRY *palette = palettised ? paletteOf(first) : nullptr;
  if (palette) built.palette.assign(palette, palette + 256);

  const D3DFORMAT format = static_cast<D3DFORMAT>(built.format);
  HRESULT hr = S_OK;
  if (source.type == D3DRTYPE_CUBETEXTURE) {
    if (built.width != built.height) return "a cube map's faces are square: width and height differ";
    hr = device->CreateCubeTexture(built.width, built.levels, 0, format, D3DPOOL_MANAGED, built.cube.put(), nullptr);
  } else if (source.type == D3DRTYPE_VOLUMETEXTURE) {
    hr = device->CreateVolumeTexture(built.width, built.height, built.depth, built.levels, 0, format,
                                     D3DPOOL_MANAGED, built.volume.put(), nullptr);
  } else {
    hr = device->CreateTexture(built.width, built.height, built.levels, 0, format, D3DPOOL_MANAGED,
                               built.texture.put(), nullptr);
  }
  if (FAILED(hr)) {
    return failed("the device makes no " + std::to_string(built.width) + "x" + std::to_string(built.height) + " " +
                      formatName(built.format) + " " + resourceTypeName(source.type),
                  hr);
  }

  // Levels the source holds at the right size are loaded; the chain below the last of
  // them is filtered from it, as the loader does for a file with fewer levels.
  uint32_t loaded = 0;
  const DWORD filter = request.filter, mipFilter = request.mipFilter;
  const D3DCOLOR key = request.key;
  if (source.type == D3DRTYPE_VOLUMETEXTURE && source.surfaces.size() > 1) {
    // A volume assembled from slices: each slice into its depth of the top level.
    kv::ComRef<IDirect3DVolume9> volume;
    if (FAILED(hr = built.volume->GetVolumeLevel(0, volume.put()))) return failed("no volume level", hr);
    for (uint32_t z = 0; z < source.surfaces.size(); ++z) {
      const kv::DecodedImage &slice = *source.surfaces[z];
      const D3DBOX to{0, 0, built.width, built.height, z, z + 1};
      const D3DBOX from{slice.box[0], slice.box[1], slice.box[2], slice.box[3], 0, 1};
      hr = kv::loadVolumeFromMemory(volume.get(), palette, &to, slice.pixels, slice.format, slice.rowPitch,
                                    slice.rowPitch * slice.height, paletteOf(slice), &from, filter, key);
      if (FAILED(hr)) return failed("cannot load slice " + std::to_string(z), hr);
    }
    loaded = 1;
  } else if (source.type == D3DRTYPE_VOLUMETEXTURE) {
    for (; loaded < built.levels; ++loaded) {
      const uint32_t w = levelSize(built.width, loaded), h = levelSize(built.height, loaded),
                     d = levelSize(built.depth, loaded);
      const kv::DecodedImage *image = loaded == 0 ? &first : fileLevel(&first, loaded, w, h, d);
      if (!image) break;
      kv::ComRef<IDirect3DVolume9> volume;
      if (FAILED(hr = built.volume->GetVolumeLevel(loaded, volume.put()))) return failed("no volume level", hr);
      const D3DBOX from{image->box[0], image->box[1], image->box[2], image->box[3], image->box[4], image->box[5]};
      hr = kv::loadVolumeFromMemory(volume.get(), palette, nullptr, image->pixels, image->format, image->rowPitch,
                                    image->slicePitch, paletteOf(*image), &from, loaded ? DWORD(kv::FilterNone) : filter,
                                    key);
      if (FAILED(hr)) return failed("cannot load level " + std::to_string(loaded), hr);
    }
  } else {
    // 2D or cube: every face (one for a 2D texture) level by level.
    const size_t faces = source.type == D3DRTYPE_CUBETEXTURE ? 6 : 1;
    if (source.surfaces.size() < faces) return "a cube map needs six faces";
    loaded = built.levels;
    for (size_t face = 0; face < faces; ++face) {
      uint32_t level = 0;
      for (; level < built.levels; ++level) {
        const uint32_t w = levelSize(built.width, level), h = levelSize(built.height, level);
        const kv::DecodedImage *image =
            level == 0 ? source.surfaces[face] : fileLevel(source.surfaces[face], level, w, h, 1);
        if (!image) break;
        kv::ComRef<IDirect3DSurface9> surface;
        hr = faces == 6 ? built.cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), level, surface.put())
                        : built.texture->GetSurfaceLevel(level, surface.put());
        if (FAILED(hr)) return failed("no surface", hr);
        const RECT from = sourceRect(*image);
        hr = kv::loadSurfaceFromMemory(surface.get(), palette, nullptr, image->pixels, image->format,
                                       image->rowPitch, paletteOf(*image), &from,
                                       level ? DWORD(kv::FilterNone) : filter, key);
        if (FAILED(hr)) return failed("cannot load face " + std::to_string(face) + " level " + std::to_string(level), hr);
      }
      loaded = std::min(loaded, level);
    }
  }
  if (loaded < built.levels) {
    if (FAILED(hr = kv::filterMipChain(built.base(), palette, loaded - 1, mipFilter))) return failed("no mipmaps", hr);
  }
  return {};
}

IDirect3DBaseTexture9 *BuiltTexture::base() const {
  if (cube) return cube.get();
  if (volume) return volume.get();
  return texture.get();
}

}  // namespace kvtex
