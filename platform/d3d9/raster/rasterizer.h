#pragma once
// The software rasterizer behind the stand-in Direct3D 9 device: transform, clip, set up and fill
// triangles with the fixed-function texture cascade, depth test, alpha test and blending.
#include <d3d9.h>

namespace kvd3d::raster {
constexpr int kMaxStages = 8;
constexpr int kMaxSamplers = 16;
constexpr int kRenderStateCount = 256;  // D3DRENDERSTATETYPE values are all below 256
constexpr int kStageStateCount = 33;    // D3DTEXTURESTAGESTATETYPE values 1..32
constexpr int kSamplerStateCount = 14;  // D3DSAMPLERSTATETYPE values 1..13

// How many pixels a specialised routine shades at a time, and the instructions it needs:
// SSE2 (every x86 processor this runs on), AVX2, or AVX-512 (F, BW and VL).
enum class SpanWidth { Sse2 = 4, Avx2 = 8, Avx512 = 16 };
// The widest routines this processor (and this build) runs.
SpanWidth widestSpanWidth();

// Level 0 of a bound texture as the sampler sees it; bits == nullptr means no texture on that stage.
struct TextureView {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  UINT width = 0, height = 0;
  INT pitch = 0;              // bytes per row (per row of 4x4 blocks for DXT formats)
  const BYTE *bits = nullptr;
};

// Everything a draw depends on, stored by the device as the host sets it.
struct DrawState {
  DWORD renderState[kRenderStateCount];
  DWORD stageState[kMaxStages][kStageStateCount];
  DWORD samplerState[kMaxSamplers][kSamplerStateCount];
  TextureView texture[kMaxStages];
  D3DMATRIX world, view, projection;   // D3DTS_WORLD (256), D3DTS_VIEW (2), D3DTS_PROJECTION (3)
  D3DVIEWPORT9 viewport;
  DWORD fvf;
};

// The creation/Reset defaults (autoDepth = EnableAutoDepthStencil).
void setDefaultState(DrawState &state, bool autoDepth, UINT targetWidth, UINT targetHeight);

struct RenderTarget {
  BYTE *color;  INT colorPitch;  D3DFORMAT colorFormat;  UINT width, height;  // A8R8G8B8 or X8R8G8B8
  BYTE *depth;  INT depthPitch;  D3DFORMAT depthFormat;                     // nullptr when no depth buffer; D16 / D16_LOCKABLE
};

struct ClearJob;
class DepthBounds;

// Texture formats the sampler can read; the device's CheckDeviceFormat for textures accepts exactly these.
bool canSampleFormat(D3DFORMAT format);

class Rasterizer {
 public:
  Rasterizer();
  ~Rasterizer();
  Rasterizer(const Rasterizer &) = delete;
  Rasterizer &operator=(const Rasterizer &) = delete;
  // D3D_OK, or D3DERR_INVALIDCALL for an FVF the pipeline cannot draw. The device has already checked
  // primitive type, counts, null pointers and "inside BeginScene" before calling.
  HRESULT drawPrimitiveUP(const DrawState &state, const RenderTarget &target, D3DPRIMITIVETYPE type,
                          UINT primitiveCount, const void *vertices, UINT stride);
  // Whether a colour clear with these rects and viewport writes every byte of a colour
  // target of that format, size and pitch: one the clear writes, rows without padding, no
  // rects, and the viewport covering the target.
  static bool clearReplacesColor(D3DFORMAT format, UINT width, UINT height, INT pitch, const D3DVIEWPORT9 &viewport,
                                 DWORD rectCount, const D3DRECT *rects);
  // Clear with the real runtime's rules: rects (or the whole viewport when rectCount == 0) clipped to the viewport.
  void clear(const RenderTarget &target, const D3DVIEWPORT9 &viewport, DWORD rectCount, const D3DRECT *rects,
             DWORD flags, D3DCOLOR color, float z, DWORD stencil);

  // Specialised pixel routines are on by default; off sends every draw through the generic
  // routine. `widest` keeps them to narrower routines than the processor runs (tests compare
  // every width with the generic routine).
  void setSpecialisedRoutines(bool enabled, SpanWidth widest = SpanWidth::Avx512);
  // Whether the last draw that got as far as choosing a pixel routine chose a specialised one.
  bool lastDrawSpecialised() const;
  // Skipping runs of pixels that lie behind what the depth buffer holds is on by default;
  // tests turn it off to compare. depthRunsSkipped counts the runs skipped so far.
  void setDepthBounds(bool enabled);
  uint64_t depthRunsSkipped() const;

  // Deferred drawing on several threads. With 1 (the default) every call has drawn when it
  // returns. With more, Clear and the draws' pixel work are queued (vertices are processed
  // and triangles set up at once) and drawn by up to that many threads when finish() is
  // called (or drawAhead()): each thread takes bands of rows, the costliest first, and runs
  // the queue in call order in each, so every pixel sees the same operations in the same
  // order as one thread would give. Whoever reads, writes or frees the target or a texture
  // a queued draw uses must call finish() (or finishPendingDrawing()) first. Queued work
  // left at destruction is dropped, unless helpers have already started on it.
  void setThreads(int threads);
  int threads() const;
  void finish();
  // Whether the last finish that had work to do gave some of it to other threads.
  bool lastFinishShared() const;
  // Starts the helpers on what is queued, when it is worth sharing out, and returns at
  // once: a scene has ended and the caller has other work before it needs the pixels. Any
  // later call that needs the queue or the pixels (finish, a draw, a clear, a lock) joins
  // in and returns only when the queue is drawn, as if nothing had been started.
  void drawAhead();
  // finish(), then the target's colour rows (width * 4 bytes each) into dst; the threads
  // copy the bands they drew while those are still in their caches.
  void finishAndCopy(const RenderTarget &target, BYTE *dst, INT dstPitch);

 private:
  void submitClear(const ClearJob &job);
  // Points the job at what is known of its buffers' bands (see cleared_bands.h).
  void trackClearedBands(ClearJob &job);
  // startsFrame: a clear of the whole depth buffer is about to be queued.
  DepthBounds *depthBoundsFor(const RenderTarget &target, bool startsFrame);
  struct Impl;
  Impl *impl_;
};
// Finishes the queued work of every rasterizer; called before pixel memory is locked,
// discarded or freed. Cheap when nothing is queued.
void finishPendingDrawing();

// Pixel memory is about to be written, or made, by anything but a rasterizer: a lock, a
// device copy, zeroing, new memory. A clear then writes every pixel again instead of
// trusting what it left in a band (cleared_bands.h).
void notePixelWrite();

// The thread count a new device uses: KVPOLYGON_D3D9_THREADS when it is a number from 1 to
// 64 (1 = draw on the caller's thread only), else the processor count.
int threadsFromEnvironment();

}  // namespace kvd3d::raster
