#include "kvtex.h"
#include "testing/d3d9_control.h"

namespace kvtex {
namespace {

// The stand-in runtime never draws into the window: any distinct handle serves.
HWND deviceWindow() {
  static int window;
  return reinterpret_cast<HWND>(&window);
}

struct CapsProfile {
  const char *name;
  DWORD add, remove;  // TextureCaps bits on top of the stand-in's defaults
};

constexpr CapsProfile kProfiles[] = {
    {"default", 0, 0},
    {"pow2", D3DPTEXTURECAPS_POW2, D3DPTEXTURECAPS_NONPOW2CONDITIONAL},
    {"conditional", D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL, 0},
    {"square", D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY, 0},
    {"nomip", 0, D3DPTEXTURECAPS_MIPMAP},
};

const CapsProfile *findProfile(const std::string &name) {
  for (const CapsProfile &p : kProfiles) {
    if (name == p.name) return &p;
  }
  return nullptr;
}

}  // namespace

bool isCapsProfile(const std::string &name) { return findProfile(name) != nullptr; }

StandInDevice::~StandInDevice() { close(); }

void StandInDevice::close() {
  if (device_) device_->Release();
  if (d3d_) d3d_->Release();
  device_ = nullptr;
  d3d_ = nullptr;
}

IDirect3DDevice9 *StandInDevice::get() {
  if (!device_ && !profile_.empty()) open(profile_);
  return device_;
}

HRESULT StandInDevice::open(const std::string &capsProfile) {
  close();
  profile_ = capsProfile;
  const CapsProfile *profile = findProfile(capsProfile);
  if (!profile) return D3DERR_INVALIDCALL;
  D3DCAPS9 caps = kvtest::d3d9DefaultCaps();
  caps.TextureCaps = (caps.TextureCaps | profile->add) & ~profile->remove;
  kvtest::d3d9SetCaps(caps);
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  if (!d3d_) return E_FAIL;
  // A small windowed back buffer, as the library's own device has one: no drawing here.
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 64;
  pp.BackBufferHeight = 64;
  pp.BackBufferFormat = D3DFMT_A8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  return d3d_->CreateDevice(0, D3DDEVTYPE_HAL, deviceWindow(), D3DCREATE_MIXED_VERTEXPROCESSING, &pp, &device_);
}

}  // namespace kvtex
