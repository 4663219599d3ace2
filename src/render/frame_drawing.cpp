#include "render/frame_drawing.h"

#include <algorithm>
#include <cstring>

#include "render/camera.h"
#include "render/polygon_drawing.h"

namespace kv {

namespace {

constexpr D3DCOLOR kClearColour = 0x00000000;  // black, alpha 0

// Step 1: a lost device fails the frame; one that can be reset is reset first.
HRESULT prepareDevice(KvPolygonSet &scene) {
  const HRESULT state = scene.device()->TestCooperativeLevel();
  if (state == D3DERR_DEVICELOST) return E_FAIL;
  if (state == D3DERR_DEVICENOTRESET && scene.resetDevice() != S_OK) return E_FAIL;
  return S_OK;
}

HRESULT drawScene(KvPolygonSet &scene) {
  IDirect3DDevice9 *device = scene.device();
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColour, 1.0f, 0);
  scene.purgeDisposedPolygons();
  device->BeginScene();
  const Matrix view = cameraView();
  device->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX *>(&view));
  D3DVIEWPORT9 viewport = {};
  if (FAILED(device->GetViewport(&viewport)) || viewport.Width == 0 || viewport.Height == 0) {
    device->EndScene();  // a scene begun is always ended, so the next frame can begin one
    return E_FAIL;
  }
  const Matrix projection = cameraProjection(viewport.Width, viewport.Height);
  device->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX *>(&projection));
  scene.polygons().forEach([&](uint32_t, const KvPolygon *polygon) {
    if (polygon && !polygon->disposed) drawPolygon(scene, device, *polygon);
  });
  device->EndScene();
  return S_OK;
}

// Releases the read-back surfaces on every path out of copyFrame.
struct ReadBackSurfaces {
  explicit ReadBackSurfaces(KvPolygonSet &s) : scene(s) {}
  ~ReadBackSurfaces() {
    scene.copySurface().reset();
    scene.backBuffer().reset();
  }
  KvPolygonSet &scene;
};

// Step 8: back buffer -> system-memory surface -> host pixels, top row into the last host
// row. Only the part that both the frame and the host image cover is copied, so a host
// image of another size is neither overrun nor read beyond the surface.
HRESULT copyFrame(KvPolygonSet &scene, uint32_t *pixels, int width, int height) {
  IDirect3DDevice9 *device = scene.device();
  ReadBackSurfaces hold(scene);
  if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, scene.backBuffer().put())) || !scene.backBuffer())
    return E_FAIL;
  D3DSURFACE_DESC desc = {};
  if (FAILED(scene.backBuffer()->GetDesc(&desc))) return E_FAIL;
  if (FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                 scene.copySurface().put(), nullptr)) ||
      !scene.copySurface())
    return E_OUTOFMEMORY;
  if (device->GetRenderTargetData(scene.backBuffer().get(), scene.copySurface().get()) != S_OK) return E_FAIL;
  D3DLOCKED_RECT locked = {};
  if (FAILED(scene.copySurface()->LockRect(&locked, nullptr, D3DLOCK_READONLY | D3DLOCK_DONOTWAIT))) return E_FAIL;
  const int rows = std::min<int>(height, static_cast<int>(desc.Height));
  const size_t rowBytes = static_cast<size_t>(std::min<int>(width, static_cast<int>(desc.Width))) * 4;
  const auto *bits = static_cast<const uint8_t *>(locked.pBits);
  for (int r = 0; r < rows; ++r)
    std::memcpy(pixels + static_cast<size_t>(height - 1 - r) * static_cast<size_t>(width),
                bits + static_cast<ptrdiff_t>(r) * locked.Pitch, rowBytes);
  scene.copySurface()->UnlockRect();
  return S_OK;
}

}  // namespace

HRESULT drawPaint(KvPolygonSet &scene, uint32_t *pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0 || !scene.device()) return E_FAIL;
  if (FAILED(prepareDevice(scene))) return E_FAIL;
  if (FAILED(drawScene(scene))) return E_FAIL;
  return copyFrame(scene, pixels, width, height);
}

}  // namespace kv
