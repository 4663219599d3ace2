// The one scene of the library: the Direct3D 9 object and device made on the host's
// window, the texture list, the numbered polygons, and the surfaces a frame's read-back
// holds while it runs.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/com_ref.h"
#include "gfx/platform.h"
#include "gfx/pixel_block.h"
#include "scene/kv_polygon.h"
#include "scene/number_hash_map.h"
#include "scene/texture_entries.h"

namespace kv {

class KvPolygonSet {
 public:
  // Constructs the scene and makes its device on the window; nothing when that fails
  // (the device set-up has then told the user why).
  static std::unique_ptr<KvPolygonSet> create(HWND window);

  KvPolygonSet() = default;
  virtual ~KvPolygonSet();
  KvPolygonSet(const KvPolygonSet &) = delete;
  KvPolygonSet &operator=(const KvPolygonSet &) = delete;

  HRESULT initDevice(HWND window);
  // Resets the device with the size requested now and makes every texture again; 0 on success.
  HRESULT resetDevice();

  // Polygons (numbers from 1; 0 means failure).
  uint32_t makePolygon(bool quad, const float *points);
  int setupTextures(uint32_t number, const char *name, unsigned stage, const float *coords);
  void disposePolygon(uint32_t number);
  void clearPolygons();
  void purgeDisposedPolygons();
  KvPolygon *findPolygon(uint32_t number) const { return polygons_.find(number); }

  // Transforms: each replaces one of the polygon's five matrices; unknown numbers are ignored.
  void setupScale(uint32_t number, const float *xyz, int flag);
  void setupRotX(uint32_t number, const float *angle, int flag);
  void setupRotY(uint32_t number, const float *angle, int flag);
  void setupRotZ(uint32_t number, const float *angle, int flag);
  void setupTranslate(uint32_t number, const float *xyz, int flag);

  // Textures.
  const TextureList *findTextureEntry(const char *name) const;  // the oldest of that name
  IDirect3DTexture9 *textureOf(TextureEntryId id) const;        // null once the entry is gone
  void clearTextures();
  TextureEntries &textureEntries() { return textures_; }

  IDirect3DDevice9 *device() const { return device_.get(); }
  const D3DPRESENT_PARAMETERS &presentParameters() const { return presentParameters_; }
  HWND window() const { return window_; }
  uint32_t polygonCounter() const { return polygonCounter_; }
  const NumberHashMap<KvPolygon> &polygons() const { return polygons_; }

  // The surfaces of a frame's read-back, held only while it runs.
  ComRef<IDirect3DSurface9> &backBuffer() { return backBuffer_; }
  ComRef<IDirect3DSurface9> &copySurface() { return copySurface_; }
  // The BMP file image loadTexture builds, held only while the texture entry is made.
  PixelBlock &imageBuffer() { return imageBuffer_; }

 private:
  void fillPresentParameters();
  template <typename Build>
  void replaceTransform(uint32_t number, TransformKind kind, int flag, const float *floats, Build build);

  ComRef<IDirect3D9> d3d_;
  ComRef<IDirect3DDevice9> device_;
  D3DPRESENT_PARAMETERS presentParameters_ = {};
  ComRef<IDirect3DSurface9> backBuffer_;
  ComRef<IDirect3DSurface9> copySurface_;
  HWND window_ = nullptr;
  PixelBlock imageBuffer_;
  NumberHashMap<KvPolygon> polygons_;
  TextureEntries textures_;
  uint32_t polygonCounter_ = 0;
};

}  // namespace kv
