// One loaded texture of the scene: the host's image kept as an in-memory BMP file image,
// and the texture made from it (made again from the copy after a device reset).
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/com_ref.h"
#include "gfx/platform.h"
#include "gfx/pixel_block.h"
#include "scene/kv_polygon.h"

namespace kv {

class TextureList {
 public:
  static constexpr size_t kNameSize = 260;  // 258 characters, a terminator and one spare

  TextureList() = default;
  virtual ~TextureList();
  TextureList(const TextureList &) = delete;
  TextureList &operator=(const TextureList &) = delete;

  int32_t width = 0;
  int32_t height = 0;
  char name[kNameSize] = {};
  ComRef<IDirect3DTexture9> texture;
  PixelBlock image;  // width * height * 4 + 54 bytes
  TextureEntryId id = 0;             // unique for the life of the process, never reused
};

// Makes the entry's texture from its own image copy; a negative result when the texture
// loader cannot.
HRESULT makeEntryTexture(TextureList &entry, IDirect3DDevice9 *device);

// Releases the entry's texture and makes it again from the image copy (after a device
// reset); on failure the entry has no texture until the next reset.
HRESULT recreateTexture(TextureList &entry, IDirect3DDevice9 *device);

}  // namespace kv
