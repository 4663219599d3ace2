// Shared set-up for the stand-in Direct3D 9 runtime tests: a fixture that resets the
// control surface and checks that every test released what it made, a small reference
// holder, and the presentation parameters the library itself uses.
#pragma once

#include <d3d9.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "testing/d3d9_control.h"

namespace kvd3d_test {

// Owns one reference; released when it goes out of scope.
template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T *p) : p_(p) {}
  Ref(const Ref &) = delete;
  Ref &operator=(const Ref &) = delete;
  Ref(Ref &&other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  ~Ref() { reset(); }
  T *get() const { return p_; }
  T *operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T **out() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T *p_ = nullptr;
};

inline HWND testWindow() {
  static int window;
  return reinterpret_cast<HWND>(&window);
}

// What the scene asks for: windowed 544x416 A8R8G8B8, D16 depth, lockable back buffer.
inline D3DPRESENT_PARAMETERS libraryParameters(UINT width = 544, UINT height = 416) {
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = D3DFMT_A8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  return pp;
}

// A pre-transformed vertex with a colour, as the drawing tests place them in pixels.
struct ScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR diffuse;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

// How many of the pixels hold colour.
inline int countOf(const std::vector<DWORD> &pixels, DWORD colour) {
  return static_cast<int>(std::count(pixels.begin(), pixels.end(), colour));
}

inline ULONG refCount(IUnknown *object) {
  object->AddRef();
  return object->Release();
}

class D3D9Test : public ::testing::Test {
 protected:
  void SetUp() override {
    kvtest::d3d9Reset();
    *d3d_.out() = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_TRUE(d3d_);
  }

  void TearDown() override {
    device_.reset();
    d3d_.reset();
    kvtest::d3d9Reset();
    EXPECT_EQ(kvtest::d3d9LiveResources(), 0) << "a resource leaked";
    EXPECT_EQ(kvtest::d3d9LiveDevices(), 0) << "a device leaked";
  }

  HRESULT createDevice(D3DPRESENT_PARAMETERS pp = libraryParameters(),
                       DWORD flags = D3DCREATE_MIXED_VERTEXPROCESSING, D3DDEVTYPE type = D3DDEVTYPE_HAL) {
    return d3d_->CreateDevice(0, type, testWindow(), flags, &pp, device_.out());
  }

  void makeDevice(D3DPRESENT_PARAMETERS pp = libraryParameters()) { ASSERT_EQ(createDevice(pp), D3D_OK); }

  Ref<IDirect3D9> d3d_;
  Ref<IDirect3DDevice9> device_;
};

}  // namespace kvd3d_test
