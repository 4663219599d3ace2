#include "scene/texture_list.h"

#include "pixel/convert/filter_flags.h"
#include "texload/texture_from_memory.h"

namespace kv {

TextureList::~TextureList() = default;

HRESULT makeEntryTexture(TextureList &entry, IDirect3DDevice9 *device) {
  if (!entry.image) return E_FAIL;
  const UINT size = static_cast<UINT>(entry.width) * static_cast<UINT>(entry.height) * 4u + 54u;
  IDirect3DTexture9 *texture = nullptr;
  // The full chain, every level resampled straight from the image.
  const HRESULT hr = createTextureFromImageInMemory(
      device, entry.image.get(), size, static_cast<UINT>(entry.width), static_cast<UINT>(entry.height), 0, 0,
      D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, FilterLinear, FilterLinear, 0, nullptr, nullptr, &texture);
  if (FAILED(hr)) return E_FAIL;
  entry.texture.reset(texture);
  return S_OK;
}

HRESULT recreateTexture(TextureList &entry, IDirect3DDevice9 *device) {
  entry.texture.reset();
  return FAILED(makeEntryTexture(entry, device)) ? E_FAIL : S_OK;
}

}  // namespace kv
