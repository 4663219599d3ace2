#include "scene/texture_list.h"

namespace kv {

TextureList::~TextureList() = default;

HRESULT makeEntryTexture(TextureList &entry, IDirect3DDevice9 *device) {
  (void)entry;
  (void)device;
  // Textures come from the texture loader, which this build does not have yet.
  return E_FAIL;
}

HRESULT recreateTexture(TextureList &entry, IDirect3DDevice9 *device) {
  entry.texture.reset();
  return FAILED(makeEntryTexture(entry, device)) ? E_FAIL : S_OK;
}

}  // namespace kv
