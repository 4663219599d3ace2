#include <png.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "kvtex.h"
#include "pixel/convert/conversion_job.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/formats/pixel_codec.h"

namespace kvtex {
namespace {

kv::PixelBox wholeBox(const uint8_t *data, uint32_t format, uint32_t rowPitch, uint32_t width, uint32_t height) {
  kv::PixelBox box;
  box.data = const_cast<uint8_t *>(data);
  box.format = format;
  box.rowPitch = rowPitch;
  const uint32_t region[6] = {0, 0, width, height, 0, 1};
  for (int i = 0; i < 6; ++i) box.bounds[i] = box.box[i] = region[i];
  return box;
}

}  // namespace

std::optional<std::vector<uint8_t>> readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  const std::streamoff size = in.tellg();
  // The library takes sizes as 32-bit counts.
  if (size < 0 || static_cast<uint64_t>(size) > 0xFFFFFFFFu) return std::nullopt;
  std::vector<uint8_t> data(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char *>(data.data()), size)) return std::nullopt;
  return data;
}

HRESULT convertToArgb(const uint8_t *pixels, uint32_t format, uint32_t rowPitch, const uint8_t *palette,
                      uint32_t width, uint32_t height, std::vector<uint32_t> &argb) {
  argb.assign(static_cast<size_t>(width) * height, 0);
  kv::PixelBox source = wholeBox(pixels, format, rowPitch, width, height);
  source.palette = palette;
  const kv::PixelBox destination =
      wholeBox(reinterpret_cast<const uint8_t *>(argb.data()), D3DFMT_A8R8G8B8, width * 4, width, height);
  // Same size on both sides: the engine copies or converts pixel for pixel.
  return kv::convertPixels(destination, source, kv::FilterNone);
}

std::string writeArgbPng(const std::string &path, const std::vector<uint32_t> &argb, uint32_t width,
                         uint32_t height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  // A8R8G8B8 words lie in memory as blue, green, red, alpha bytes.
  image.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  const auto stride = static_cast<png_int_32>(width * 4);
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, argb.data(), stride, nullptr)) {
    std::string reason = std::string("cannot make a PNG image: ") + image.message;
    png_image_free(&image);
    return reason;
  }
  std::vector<uint8_t> bytes(size);
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, argb.data(), stride, nullptr)) {
    std::string reason = std::string("cannot make a PNG image: ") + image.message;
    png_image_free(&image);
    return reason;
  }
  bytes.resize(size);
  return writeOutput(path, bytes);
}

HRESULT textureLevelToArgb(IDirect3DTexture9 *texture, UINT level, const PALETTEENTRY *palette,
                           std::vector<uint32_t> &argb, uint32_t &width, uint32_t &height) {
  D3DSURFACE_DESC desc{};
  if (HRESULT hr = texture->GetLevelDesc(level, &desc); FAILED(hr)) return hr;
  D3DLOCKED_RECT locked{};
  if (HRESULT hr = texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY); FAILED(hr)) return hr;
  width = desc.Width;
  height = desc.Height;
  const HRESULT hr = convertToArgb(static_cast<const uint8_t *>(locked.pBits), desc.Format,
                                   static_cast<uint32_t>(locked.Pitch), reinterpret_cast<const uint8_t *>(palette),
                                   width, height, argb);
  texture->UnlockRect(level);
  return hr;
}

}  // namespace kvtex
