#include "texload/texture_from_memory.h"

#include <cstring>

#include "gfx/com_ref.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/convert/load_pixels.h"
#include "pixel/formats/pixel_format_info.h"
#include "pixel/mipchain/filter_mip_chain.h"
#include "pixel/power_of_two.h"
#include "texload/decode_image.h"
#include "texload/texture_requirements.h"

namespace kv {

namespace {

constexpr DWORD kCreateUsageMask = 0xFFE07FFFu;

// Releases the decoded image however the load ends.
class DecodedImageHolder {
 public:
  DecodedImageHolder() = default;
  ~DecodedImageHolder() { releaseDecodedImage(image); }
  DecodedImageHolder(const DecodedImageHolder &) = delete;
  DecodedImageHolder &operator=(const DecodedImageHolder &) = delete;
  DecodedImage image;
};

const DecodedImage &fileLevel(const DecodedImage &top, UINT level) {
  const DecodedImage *record = &top;
  for (UINT i = 0; i < level && record->nextMip; ++i) record = record->nextMip;
  return *record;
}

bool isPaletted(uint32_t format) { return format == D3DFMT_P8 || format == D3DFMT_A8P8; }

bool paletteEntryIs(const PALETTEENTRY &e, BYTE r, BYTE g, BYTE b, BYTE a) {
  return e.peRed == r && e.peGreen == g && e.peBlue == b && e.peFlags == a;
}

// A P8 image whose palette is the identity grey ramp is really L8; one whose palette is
// the 3-3-2 colour cube is really R3G3B2.
uint32_t formatBehindPalette(const PALETTEENTRY *palette) {
  bool grey = true;
  for (int j = 0; j < 256 && grey; ++j) grey = paletteEntryIs(palette[j], BYTE(j), BYTE(j), BYTE(j), 255);
  if (grey) return D3DFMT_L8;
  static constexpr BYTE kEight[8] = {0, 36, 73, 109, 146, 182, 219, 255};
  static constexpr BYTE kFour[4] = {0, 85, 170, 255};
  for (int k = 0; k < 256; ++k) {
    if (!paletteEntryIs(palette[k], kEight[k / 32], kEight[(k / 4) % 8], kFour[k % 4], 255)) return D3DFMT_P8;
  }
  return D3DFMT_R3G3B2;
}

// The fourth byte of a colour key and of palette entries is alpha.
bool paletteEntryEqualsKey(const PALETTEENTRY &e, D3DCOLOR key) {
  return paletteEntryIs(e, BYTE(key >> 16), BYTE(key >> 8), BYTE(key), BYTE(key >> 24));
}

uint32_t resolveFileFormat(uint32_t imageFormat, D3DCOLOR colorKey, D3DPOOL pool) {
  uint32_t format = imageFormat;
  const PixelFormatInfo &info = lookupFormatInfo(format);
  const bool keyable = info.formatClass == FormatClass::Rgb || info.formatClass == FormatClass::Palette ||
                       info.formatClass == FormatClass::Luminance;
  if (colorKey != 0 && keyable && info.alphaBits == 0) {
    // The key makes pixels transparent, so the texture needs at least one alpha bit. The
    // description carries no format of its own: the image's format would be chosen at
    // once, alpha or not.
    PixelFormatInfo withAlpha = info;
    withAlpha.format = 0;
    withAlpha.alphaBits = 1;
    const uint32_t substitute = chooseTextureFormat(nullptr, 0, D3DRTYPE_TEXTURE, withAlpha);
    if (substitute != 0) format = substitute;
  }
  if (format == FMT_A16L16) format = D3DFMT_A8L8;
  if (format == FMT_R16G16B16) format = D3DFMT_A16B16G16R16;
  if (pool != D3DPOOL_SCRATCH && format == D3DFMT_R8G8B8) format = D3DFMT_X8R8G8B8;
  return format;
}

UINT sizeFromImage(UINT requested, UINT imageSize) {
  if (requested == VALUE_DEFAULT_NONPOW2 || requested == VALUE_FROM_FILE) return imageSize;
  if (requested == 0 || requested == VALUE_DEFAULT) return roundUpToPowerOfTwo(imageSize);
  return requested;
}

HRESULT loadLevelFromImage(IDirect3DTexture9 *texture, UINT level, const PALETTEENTRY *destinationPalette,
                           const DecodedImage &source, uint32_t sourceFormat, const PALETTEENTRY *sourcePalette,
                           DWORD filter, D3DCOLOR colorKey) {
  ComRef<IDirect3DSurface9> surface;
  HRESULT hr = texture->GetSurfaceLevel(level, surface.put());
  if (FAILED(hr)) return hr;
  const RECT sourceRect = {LONG(source.box[0]), LONG(source.box[1]), LONG(source.box[2]), LONG(source.box[3])};
  return loadSurfaceFromMemory(surface.get(), destinationPalette, nullptr, source.pixels,
                               static_cast<D3DFORMAT>(sourceFormat), source.rowPitch, sourcePalette, &sourceRect,
                               filter, colorKey);
}

}  // namespace

HRESULT createTextureFromImageInMemory(IDirect3DDevice9 *device, const void *data, UINT size, UINT width,
                                       UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                       DWORD filter, DWORD mipFilter, D3DCOLOR colorKey, ImageInfo *info,
                                       PALETTEENTRY *paletteOut, IDirect3DTexture9 **textureOut) {
  if (!device || !data || !textureOut || size == 0) return D3DERR_INVALIDCALL;

  DecodedImageHolder decoded;
  DecodedImage &image = decoded.image;
  clearDecodedImage(image);
  HRESULT hr = decodeImage(image, static_cast<const uint8_t *>(data), size, info, 1);
  if (FAILED(hr)) return hr;
  const UINT fileLevels = decodedLevelCount(image);

  const UINT requestedWidth = width, requestedHeight = height, requestedLevels = levels;
  const uint32_t requestedFormat = static_cast<uint32_t>(format);
  if (levels == VALUE_FROM_FILE) levels = fileLevels;
  width = sizeFromImage(width, image.width);
  height = sizeFromImage(height, image.height);
  if (filter == VALUE_DEFAULT) filter = kDefaultFilter;
  if (mipFilter == VALUE_DEFAULT) mipFilter = FilterBox;
  const DWORD filterCode = filter & 0xFF, mipFilterCode = mipFilter & 0xFF;
  const bool chainMethod = filterCode == FilterNone || mipFilterCode == FilterPoint || mipFilterCode == FilterBox;

  // The source palette: the image's own with keyed entries cleared (the key then does
  // nothing more), or opaque white.
  PALETTEENTRY sourcePalette[256];
  uint32_t sourceFormat = image.format;
  if (image.palette) {
    std::memcpy(sourcePalette, image.palette, sizeof sourcePalette);
    if (colorKey != 0) {
      for (PALETTEENTRY &e : sourcePalette) {
        if (paletteEntryEqualsKey(e, colorKey)) e = PALETTEENTRY{0, 0, 0, 0};
      }
      colorKey = 0;
    }
  } else {
    std::memset(sourcePalette, 0xFF, sizeof sourcePalette);
  }
  if (requestedFormat != D3DFMT_P8 && sourceFormat == D3DFMT_P8) sourceFormat = formatBehindPalette(sourcePalette);

  uint32_t textureFormat = requestedFormat;
  if (textureFormat == D3DFMT_UNKNOWN || textureFormat == VALUE_FROM_FILE) {
    textureFormat = resolveFileFormat(sourceFormat, colorKey, pool);
  }
  if (paletteOut) {
    std::memcpy(paletteOut, sourcePalette, sizeof sourcePalette);
  } else if (isPaletted(textureFormat)) {
    if (requestedFormat == VALUE_FROM_FILE) return D3DERR_INVALIDCALL;
    bool opaque = true;
    for (const PALETTEENTRY &e : sourcePalette) opaque = opaque && e.peFlags == 255;
    textureFormat = (textureFormat == D3DFMT_A8P8 || !opaque) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  }

  const bool staging = pool == D3DPOOL_DEFAULT && !(usage & D3DUSAGE_DYNAMIC);
  D3DFORMAT settledFormat = static_cast<D3DFORMAT>(textureFormat);
  UINT settledWidth = width, settledHeight = height, settledLevels = levels;
  hr = checkTextureRequirements(device, &settledWidth, &settledHeight, &settledLevels, usage, &settledFormat, pool);
  if (FAILED(hr)) return hr;
  if ((requestedWidth == VALUE_FROM_FILE && settledWidth != width) ||
      (requestedHeight == VALUE_FROM_FILE && settledHeight != height) ||
      (requestedLevels == VALUE_FROM_FILE && settledLevels != levels) ||
      (requestedFormat == VALUE_FROM_FILE && static_cast<uint32_t>(settledFormat) != textureFormat)) {
    return D3DERR_NOTAVAILABLE;
  }

  ComRef<IDirect3DTexture9> texture, twin;
  hr = device->CreateTexture(settledWidth, settledHeight, settledLevels, usage & kCreateUsageMask, settledFormat,
                             pool, texture.put(), nullptr);
  if (FAILED(hr)) return hr;
  if (staging) {
    hr = device->CreateTexture(settledWidth, settledHeight, settledLevels, 0, settledFormat, D3DPOOL_SYSTEMMEM,
                               twin.put(), nullptr);
    if (FAILED(hr)) return hr;
  }
  IDirect3DTexture9 *target = staging ? twin.get() : texture.get();
  // A level count of 0 (generated mipmaps) leaves the runtime to say how many there are.
  const UINT textureLevels = settledLevels ? settledLevels : target->GetLevelCount();

  UINT level = 0;
  for (; level < textureLevels && level < fileLevels; ++level) {
    const DecodedImage &source = fileLevel(image, level);
    const uint32_t levelFormat = source.format == D3DFMT_P8 ? sourceFormat : source.format;
    hr = loadLevelFromImage(target, level, paletteOut, source, levelFormat, sourcePalette, filter, colorKey);
    if (FAILED(hr)) return hr;
  }
  if (!chainMethod) {
    const DecodedImage &last = fileLevel(image, fileLevels - 1);
    const uint32_t lastFormat = last.format == D3DFMT_P8 ? sourceFormat : last.format;
    for (; level < textureLevels; ++level) {
      hr = loadLevelFromImage(target, level, paletteOut, last, lastFormat, sourcePalette, filter, colorKey);
      if (FAILED(hr)) return hr;
    }
  } else if (fileLevels < textureLevels) {
    hr = filterMipChain(target, sourcePalette, fileLevels - 1, mipFilter);
    if (FAILED(hr)) return hr;
  }

  if (staging) {
    hr = device->UpdateTexture(twin.get(), texture.get());
    if (FAILED(hr)) return hr;
  }
  *textureOut = texture.release();
  return S_OK;
}

}  // namespace kv
