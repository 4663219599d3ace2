// Draw orchestration: validate, derive the per-draw context once, transform every vertex
// once, then clip, set up and fill each triangle of the list, strip or fan.
#include "rasterizer.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "cleared_bands.h"
#include "clipper.h"
#include "depth_bounds.h"
#include "draw_context.h"
#include "pipeline_key.h"
#include "triangle_setup.h"
#include "vertex_layout.h"
#include "vertex_processing.h"
#include "worker_pool.h"

namespace kvd3d::raster {

namespace {

// A queue this long is drawn at once: 4096 set-up triangles (under 2 MB) are still in the
// caches when the bands read them; a frame of 30,000 small quads queued whole (28 MB of
// them) cost about a third more per quad than one of 1,000.
constexpr size_t kMaxQueuedTriangles = 1 << 12;
constexpr uint64_t kParallelPixels = 1 << 15;  // less queued work is drawn by the caller alone

// The rasterizers that queue work, so that pixel memory can be made current before anyone
// touches it. Never destroyed: a device may outlive the static destructors.
struct Registry {
  std::mutex mutex;
  std::vector<Rasterizer *> members;
};
Registry &registry() {
  static Registry *r = new Registry;
  return *r;
}
std::atomic<int> gQueuedRasterizers{0};

inline void shadeSpan(SpanRoutine routine, const DrawContext &ctx, const TriangleSetup &tri, const SpanRow &row,
                      int x0, int x1) {
  if (ctx.bounds)
    ctx.bounds->shade(routine, ctx, tri, row, x0, x1);
  else
    routine(ctx, tri, row, x0, x1);
}

// Rows [y0, y1) of a triangle through the routine, passing over rows the depth bounds hide.
inline void shadeRows(SpanRoutine routine, const DrawContext &ctx, const TriangleSetup &tri, int y0, int y1) {
  auto span = [&](const SpanRow &row, int x0, int x1) { shadeSpan(routine, ctx, tri, row, x0, x1); };
  if (ctx.bounds && ctx.bounds->mayHideRows(ctx))
    walkTriangleRows(tri, y0, y1, span, [&](int y, float rowZ) { return ctx.bounds->rowHidden(ctx, tri, y, rowZ); });
  else
    walkTriangleRows(tri, y0, y1, span);
}

}  // namespace

struct Rasterizer::Impl {
  // Reused from draw to draw: no allocation once they have grown to the largest draw.
  std::vector<ClipVertex> clip;
  std::vector<ScreenVertex> screen;
  std::vector<unsigned> outcode;
  DrawContext ctx;
  VertexSetup vertexSetup;
  SpanRoutine routine = nullptr;
  DWORD cullMode = D3DCULL_NONE;
  bool flatShading = false;
  bool specialisedEnabled = true;
  SpanWidth widestWidth = SpanWidth::Avx512;
  bool lastSpecialised = false;
  ScissorRect scissor{};
  DepthBounds bounds;
  bool boundsEnabled = true;
  ClearedBands colorBands, depthBands;

  // Deferred drawing (threads > 1). queueMutex guards the queue: finishPendingDrawing may
  // come from another thread.
  struct QueuedDraw {
    DrawContext ctx;
    TextureView views[kMaxStages];  // the bound textures as they were at the call
    int viewIndex[kMaxStages];      // which of them each stage's sampler reads, or -1
    SpanRoutine routine;
    size_t firstTriangle, endTriangle;
  };
  struct Command {
    bool clear;
    size_t index;
  };
  struct CopyRequest {
    RenderTarget target;
    BYTE *dst;
    INT dstPitch;
  };
  int threads = 1;
  std::mutex queueMutex;
  std::vector<Command> commands;
  std::vector<QueuedDraw> draws;
  std::vector<ClearJob> clears;
  std::vector<TriangleSetup> triangles;
  uint64_t queuedPixels = 0;
  std::unique_ptr<WorkerPool> pool;
  const DrawState *drawState = nullptr;  // of the draw being queued
  size_t drawFirst = 0;                  // its first queued triangle
  bool lastShared = false;               // whether the last finish shared the work out

  bool deferring() const { return threads > 1; }

  // The bounds of the target's depth buffer, with the queue's lock held when deferring. A
  // table that must move first draws what is queued, which still points at it.
  DepthBounds *boundsFor(const RenderTarget &target) {
    return boundsEnabled ? bounds.prepare(target, [this] { flushLocked(nullptr); }) : nullptr;
  }

  // Rows [y0, y1) of a triangle, the bands they cover marked as drawn on first.
  void drawRows(SpanRoutine r, const DrawContext &c, const TriangleSetup &tri, int y0, int y1) {
    colorBands.touched(y0, y1, tri.clipLeft, tri.clipRight);
    if (c.depthWrite) depthBands.touched(y0, y1, tri.clipLeft, tri.clipRight);
    shadeRows(r, c, tri, y0, y1);
  }

  void drawTriangle(const ScreenVertex &a, const ScreenVertex &b, const ScreenVertex &c, const float *raw[3]) {
    TriangleSetup tri;
    if (!setupTriangle(a, b, c, raw, vertexSetup.attrCount, cullMode, scissor, tri)) return;
    if (deferring()) {
      try {
        triangles.push_back(tri);
      } catch (const std::bad_alloc &) {
        // No room to queue it: draw what is queued, this draw's triangles so far included,
        // then this one at once.
        flushDrawSoFar();
        drawRows(routine, ctx, tri, tri.yStart, tri.yEnd);
        return;
      }
      queuedPixels += uint64_t(tri.yEnd - tri.yStart) * uint64_t(tri.clipRight - tri.clipLeft);
      if (triangles.size() >= kMaxQueuedTriangles) flushDrawSoFar();  // bounds the queue's memory
      return;
    }
    drawRows(routine, ctx, tri, tri.yStart, tri.yEnd);
  }

  void flushDrawSoFar() {
    queueDraw(*drawState, drawFirst);
    flushLocked(nullptr);
    drawFirst = triangles.size();
  }

  void noteQueued() {
    if (commands.size() == 1) gQueuedRasterizers.fetch_add(1, std::memory_order_acq_rel);
  }

  // Whether the triangles from `first` on can join the draw queued last: it comes right
  // before them (no clear between), with the same routine, context and textures, byte for
  // byte. Its triangles then run the very same operations in the same order, and the queue
  // keeps one context for a run of alike draws instead of one each (over 1 KB a draw,
  // which for thousands of polygons no longer fitted the caches).
  bool joinsLastDraw(const DrawState &state, size_t first) const {
    if (commands.empty() || commands.back().clear) return false;
    const QueuedDraw &last = draws.back();
    if (last.endTriangle != first || last.routine != routine) return false;
    if (std::memcmp(&last.ctx, &ctx, sizeof ctx) != 0) return false;
    if (std::memcmp(last.views, state.texture, sizeof last.views) != 0) return false;
    for (int s = 0; s < kMaxStages; ++s)
      if (last.viewIndex[s] != viewIndexOf(state, s)) return false;
    return true;
  }

  // Which of the bound textures stage s's sampler reads, or -1.
  int viewIndexOf(const DrawState &state, int s) const {
    const TextureView *v = ctx.cascade.stage[s].sampler.view;
    return v >= state.texture && v < state.texture + kMaxStages ? int(v - state.texture) : -1;
  }

  // Queues the triangles set up since `first` as one draw with the current context.
  void queueDraw(const DrawState &state, size_t first) {
    if (triangles.size() == first) return;
    if (joinsLastDraw(state, first)) {
      draws.back().endTriangle = triangles.size();
      return;
    }
    try {
      QueuedDraw d;
      d.ctx = ctx;
      std::copy(state.texture, state.texture + kMaxStages, d.views);
      for (int s = 0; s < kMaxStages; ++s) d.viewIndex[s] = viewIndexOf(state, s);
      d.routine = routine;
      d.firstTriangle = first;
      d.endTriangle = triangles.size();
      draws.push_back(d);
      commands.push_back(Command{false, draws.size() - 1});
    } catch (const std::bad_alloc &) {
      triangles.resize(first);  // shrinking never throws; the draw is dropped like any failed allocation
      return;
    }
    noteQueued();
  }

  // Runs the whole queue for rows [y0, y1) only, then copies those rows. Distinct bands
  // touch distinct pixels, and inside a band the calls keep their order.
  void runBand(int y0, int y1, const CopyRequest *copy) {
    for (const Command &c : commands) {
      if (c.clear) {
        runClear(clears[c.index], y0, y1);
        continue;
      }
      const QueuedDraw &d = draws[c.index];
      for (size_t t = d.firstTriangle; t < d.endTriangle; ++t) {
        const TriangleSetup &tri = triangles[t];
        const int top = std::max(y0, tri.yStart), bottom = std::min(y1, tri.yEnd);
        if (top < bottom) drawRows(d.routine, d.ctx, tri, top, bottom);
      }
    }
    if (copy) copyRows(*copy, y0, y1);
  }

  // What each band draws, in call order, found once when the queue is shared out: a band
  // then visits only the clears and triangles that reach its rows, instead of reading every
  // queued triangle (460 bytes each) to find them.
  struct BandItem {
    uint32_t command;
    uint32_t triangle;  // of a draw; unused for a clear
  };
  std::vector<uint32_t> binStart;  // band b's items are binItems[binStart[b], binStart[b + 1])
  std::vector<BandItem> binItems;
  bool binned = false;

  // Calls f(first band, end band) for the bands rows [top, bottom) reach, of `bands`.
  template <typename F>
  static void forBandsOf(int top, int bottom, int bands, F &&f) {
    if (top >= bottom) return;
    const int first = std::max(top, 0) / kBandRows, end = std::min(bands, (bottom + kBandRows - 1) / kBandRows);
    if (first < end) f(first, end);
  }

  template <typename F>
  void forEachItem(int bands, F &&f) const {
    for (size_t i = 0; i < commands.size(); ++i) {
      const Command &c = commands[i];
      if (c.clear) {
        const ClearJob &job = clears[c.index];
        forBandsOf(job.box.top, job.box.bottom, bands, [&](int b0, int b1) { f(BandItem{uint32_t(i), 0}, b0, b1); });
        continue;
      }
      const QueuedDraw &d = draws[c.index];
      for (size_t t = d.firstTriangle; t < d.endTriangle; ++t)
        forBandsOf(triangles[t].yStart, triangles[t].yEnd, bands,
                   [&](int b0, int b1) { f(BandItem{uint32_t(i), uint32_t(t)}, b0, b1); });
    }
  }

  // False (bands then walk the whole queue) when memory is short.
  bool binBands(int bands) {
    try {
      binStart.assign(size_t(bands) + 1, 0);
      forEachItem(bands, [&](const BandItem &, int b0, int b1) {
        for (int b = b0; b < b1; ++b) ++binStart[size_t(b) + 1];
      });
      for (size_t b = 1; b < binStart.size(); ++b) binStart[b] += binStart[b - 1];
      binItems.resize(binStart.back());
    } catch (const std::bad_alloc &) {
      return false;
    }
    try {
      binNext.assign(binStart.begin(), binStart.end() - 1);
    } catch (const std::bad_alloc &) {
      return false;
    }
    forEachItem(bands, [&](const BandItem &item, int b0, int b1) {
      for (int b = b0; b < b1; ++b) binItems[binNext[size_t(b)]++] = item;
    });
    return true;
  }
  std::vector<uint32_t> binNext;  // while binning: where each band's next item goes

  // runBand for band b from its own items.
  void runBinnedBand(int b) {
    const int y0 = b * kBandRows, y1 = y0 + kBandRows;
    for (uint32_t i = binStart[size_t(b)]; i < binStart[size_t(b) + 1]; ++i) {
      const BandItem &item = binItems[i];
      const Command &c = commands[item.command];
      if (c.clear) {
        runClear(clears[c.index], y0, y1);
        continue;
      }
      const QueuedDraw &d = draws[c.index];
      const TriangleSetup &tri = triangles[item.triangle];
      const int top = std::max(y0, tri.yStart), bottom = std::min(y1, tri.yEnd);
      if (top < bottom) drawRows(d.routine, d.ctx, tri, top, bottom);
    }
  }

  static void copyRows(const CopyRequest &copy, int y0, int y1) {
    const size_t rowBytes = size_t(copy.target.width) * 4;
    for (int y = y0; y < std::min(y1, int(copy.target.height)); ++y)
      std::memcpy(copy.dst + ptrdiff_t(y) * copy.dstPitch, colorRow(copy.target, y), rowBytes);
  }

  // Points the queued draws at their own copies of the texture views; how many rows the
  // queue (and the copy) reach.
  int prepareQueue(const CopyRequest *copy) {
    for (QueuedDraw &d : draws)
      for (int s = 0; s < kMaxStages; ++s)
        if (d.viewIndex[s] >= 0) d.ctx.cascade.stage[s].sampler.view = &d.views[d.viewIndex[s]];
    int rows = copy ? int(copy->target.height) : 0;
    for (const ClearJob &c : clears) rows = std::max(rows, c.box.bottom);
    for (const TriangleSetup &t : triangles) rows = std::max(rows, t.yEnd);
    return rows;
  }

  // Whether `bands` bands of queued work are worth sharing out; makes the pool if so.
  bool readyToShare(int bands) {
    if (threads <= 1 || bands <= 1 || queuedPixels < kParallelPixels) return false;
    // A forked child has none of its parent's helpers: leave their pool alone, make another.
    if (pool && pool->owner() != getpid()) (void)pool.release();
    if (!pool) pool.reset(new (std::nothrow) WorkerPool(threads - 1));
    return pool && pool->helperCount() > 0;
  }

  // The order in which threads take the bands: the costliest first, by the pixels queued
  // in each, so that the bands taken last are small and no thread finishes long after the
  // others. Band order changes no pixel. False (bands in row order) when memory is short.
  std::vector<uint64_t> bandCost;
  std::vector<int> bandOrder;
  bool orderBands(int bands) {
    try {
      bandCost.assign(size_t(bands), 0);
      bandOrder.resize(size_t(bands));
    } catch (const std::bad_alloc &) {
      return false;
    }
    auto add = [&](int top, int bottom, uint64_t width, uint64_t weight) {
      for (int b = top / kBandRows; b < bands && b * kBandRows < bottom; ++b) {
        const int rows = std::min(bottom, (b + 1) * kBandRows) - std::max(top, b * kBandRows);
        bandCost[size_t(b)] += uint64_t(rows) * width * weight;
      }
    };
    for (const ClearJob &c : clears) add(c.box.top, c.box.bottom, uint64_t(c.box.right - c.box.left), 1);
    // A triangle's pixel is about four times a cleared one (see queuedPixels).
    for (const TriangleSetup &t : triangles) add(t.yStart, t.yEnd, uint64_t(t.clipRight - t.clipLeft), 4);
    for (int b = 0; b < bands; ++b) bandOrder[size_t(b)] = b;
    std::stable_sort(bandOrder.begin(), bandOrder.end(),
                     [&](int a, int b) { return bandCost[size_t(a)] > bandCost[size_t(b)]; });
    return true;
  }

  void dropQueue() {
    commands.clear();
    draws.clear();
    clears.clear();
    triangles.clear();
    queuedPixels = 0;
    gQueuedRasterizers.fetch_sub(1, std::memory_order_acq_rel);
  }

  // Draws the queue (and makes the copy) with as many threads as the work is worth.
  void flushLocked(const CopyRequest *copy) {
    if (ahead || startBands(copy)) {
      joinLocked(copy);
      return;
    }
    if (commands.empty()) {
      if (copy) runBand(0, int(copy->target.height), copy);
      return;
    }
    runBand(0, prepareQueue(copy), copy);
    lastShared = false;
    dropQueue();
  }

  // The helpers' share of the queue: once started (startBands) they take bands until none
  // is left, and whoever next needs the queue or the pixels joins in (joinLocked). When a
  // scene ends they start ahead of that call (drawAhead), while the caller goes on with
  // other work (the host's read-back comes next); each call still sees the queue drawn
  // exactly as before.
  std::function<void(int)> bandJob;
  std::atomic<int> nextBand{0};
  int bandCount = 0;
  bool aheadOrdered = false;  // whether bandOrder holds the order of the bands being drawn
  bool ahead = false;         // helpers have been started on the queue
  std::atomic<const CopyRequest *> lateCopy{nullptr};  // the copy, once asked for
  std::vector<uint8_t> bandCopied;                      // by the thread that drew the band

  // Starts the helpers on the queue (each band is copied as soon as drawn when copy is
  // given); false when the queue is not worth sharing out.
  bool startBands(const CopyRequest *copy) {
    if (commands.empty()) return false;
    bandCount = (prepareQueue(copy) + kBandRows - 1) / kBandRows;
    if (!readyToShare(bandCount)) return false;
    try {
      bandCopied.assign(size_t(bandCount), 0);
      bandJob = [this](int) { drawBands(); };
    } catch (const std::bad_alloc &) {
      return false;
    }
    aheadOrdered = orderBands(bandCount);
    binned = binBands(bandCount);
    nextBand = 0;
    lateCopy = copy;
    ahead = true;
    pool->start(bandJob, std::min(pool->helperCount(), bandCount - 1));
    return true;
  }

  void drawAheadLocked() {
    if (!ahead) startBands(nullptr);  // not worth sharing: drawn by the caller when needed
  }

  void drawBands() {
    for (int i = nextBand.fetch_add(1); i < bandCount; i = nextBand.fetch_add(1)) {
      const int b = aheadOrdered ? bandOrder[size_t(i)] : i;
      if (binned)
        runBinnedBand(b);
      else
        runBand(b * kBandRows, (b + 1) * kBandRows, nullptr);
      // A band drawn after the copy was asked for is copied while still in this cache.
      if (const CopyRequest *copy = lateCopy.load(std::memory_order_acquire)) {
        copyRows(*copy, b * kBandRows, (b + 1) * kBandRows);
        bandCopied[size_t(b)] = 1;
      }
    }
  }

  // With helpers started: lets the bands already begun finish and drops the rest.
  void cancelAheadLocked() {
    if (!ahead) return;
    nextBand.store(bandCount);
    pool->finish();
    ahead = false;
    dropQueue();
  }

  // With helpers started: draws what they have not taken, waits for them, then
  // copies (when asked) every band drawn before the copy was asked for, and any rows
  // below the queue's.
  void joinLocked(const CopyRequest *copy) {
    if (!ahead) return;
    lateCopy.store(copy, std::memory_order_release);
    drawBands();
    pool->finish();
    ahead = false;
    lateCopy.store(nullptr, std::memory_order_relaxed);
    lastShared = true;
    dropQueue();
    if (!copy) return;
    const int copyBands = (int(copy->target.height) + kBandRows - 1) / kBandRows;
    auto uncopied = [&](int b) { return b >= bandCount || !bandCopied[size_t(b)]; };
    int left = 0;
    for (int b = 0; b < copyBands; ++b) left += uncopied(b);
    std::atomic<int> next{0};
    auto copyJob = [&](int) {
      for (int b = next.fetch_add(1); b < copyBands; b = next.fetch_add(1))
        if (uncopied(b)) copyRows(*copy, b * kBandRows, (b + 1) * kBandRows);
    };
    if (left > 1)
      pool->run(copyJob, std::min(pool->helperCount(), left - 1));
    else if (left == 1)
      copyJob(0);
  }

  void flatten(ScreenVertex &v, float raw[kMaxAttributes], const ClipVertex &provoking) {
    for (int i = 0; i < kTexCoordAttr; ++i) {
      raw[i] = provoking.attr[i];
      v.attrQ[i] = provoking.attr[i] * v.q;
    }
  }

  void drawClipped(UINT i0, UINT i1, UINT i2, UINT provoking);
};

namespace {

bool isDepth16(D3DFORMAT f) { return f == D3DFMT_D16 || f == D3DFMT_D16_LOCKABLE; }


bool usableColorTarget(const RenderTarget &t) {
  if (!t.color || (t.colorFormat != D3DFMT_A8R8G8B8 && t.colorFormat != D3DFMT_X8R8G8B8)) return false;
  if (t.width == 0 || t.height == 0 || t.width > 0x8000 || t.height > 0x8000) return false;
  return t.colorPitch >= static_cast<INT>(t.width) * 4;
}

bool usableDepthTarget(const RenderTarget &t) {
  return t.depth && isDepth16(t.depthFormat) && t.depthPitch >= static_cast<INT>(t.width) * 2;
}

// The viewport clipped to the target; pixels outside are never written.
ScissorRect viewportRect(const D3DVIEWPORT9 &vp, const RenderTarget &t) {
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(vp.X) + vp.Width, t.width);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(vp.Y) + vp.Height, t.height);
  ScissorRect r;
  r.left = static_cast<int>(std::min<int64_t>(vp.X, t.width));
  r.top = static_cast<int>(std::min<int64_t>(vp.Y, t.height));
  r.right = static_cast<int>(std::max<int64_t>(right, r.left));
  r.bottom = static_cast<int>(std::max<int64_t>(bottom, r.top));
  return r;
}

}  // namespace

void Rasterizer::Impl::drawClipped(UINT i0, UINT i1, UINT i2, UINT provoking) {
  const unsigned o0 = outcode[i0], o1 = outcode[i1], o2 = outcode[i2];
  if (((o0 | o1 | o2) & kOutcodeInvalid) || (o0 & o1 & o2)) return;
  const ClipVertex &pv = clip[provoking];
  if ((o0 | o1 | o2) == 0) {
    if (!flatShading) {
      const float *raw[3] = {clip[i0].attr, clip[i1].attr, clip[i2].attr};
      drawTriangle(screen[i0], screen[i1], screen[i2], raw);
      return;
    }
    ScreenVertex v[3] = {screen[i0], screen[i1], screen[i2]};
    float rawStore[3][kMaxAttributes];
    const UINT idx[3] = {i0, i1, i2};
    for (int k = 0; k < 3; ++k) {
      std::copy(clip[idx[k]].attr, clip[idx[k]].attr + kMaxAttributes, rawStore[k]);
      flatten(v[k], rawStore[k], pv);
    }
    const float *raw[3] = {rawStore[0], rawStore[1], rawStore[2]};
    drawTriangle(v[0], v[1], v[2], raw);
    return;
  }
  ClipVertex polygon[kMaxClippedVertices];
  const int count = clipTriangle(vertexSetup.volume, o0 | o1 | o2, clip[i0], clip[i1], clip[i2],
                                 vertexSetup.attrCount, polygon);
  if (count < 3) return;
  ScreenVertex projected[kMaxClippedVertices];
  for (int k = 0; k < count; ++k) {
    projectVertex(vertexSetup, polygon[k], projected[k]);
    if (flatShading) flatten(projected[k], polygon[k].attr, pv);
  }
  for (int k = 1; k + 1 < count; ++k) {
    const float *raw[3] = {polygon[0].attr, polygon[k].attr, polygon[k + 1].attr};
    drawTriangle(projected[0], projected[k], projected[k + 1], raw);
  }
}

Rasterizer::Rasterizer() : impl_(new Impl) {}

Rasterizer::~Rasterizer() {
  setThreads(1);  // leaves the registry and joins the helpers
  delete impl_;
}

void Rasterizer::setThreads(int threads) {
  threads = std::clamp(threads, 1, 64);
  Impl &m = *impl_;
  {
    std::lock_guard<std::mutex> lock(m.queueMutex);
    // Dropped, not drawn: the target may already be gone (see the header). Of work the
    // helpers have started, only the bands already begun are finished.
    if (threads == 1) {
      m.cancelAheadLocked();
      if (!m.commands.empty()) m.dropQueue();
    } else {
      m.joinLocked(nullptr);
    }
  }
  Registry &r = registry();
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = std::find(r.members.begin(), r.members.end(), this);
    if (threads > 1 && it == r.members.end()) r.members.push_back(this);
    if (threads == 1 && it != r.members.end()) r.members.erase(it);
  }
  std::lock_guard<std::mutex> lock(m.queueMutex);
  m.threads = threads;
  if (threads == 1 && m.pool && m.pool->owner() != getpid()) (void)m.pool.release();
  if (threads == 1) m.pool.reset();
}

int Rasterizer::threads() const { return impl_->threads; }
bool Rasterizer::lastFinishShared() const { return impl_->lastShared; }

void Rasterizer::finish() {
  notePixelAccess();
  std::lock_guard<std::mutex> lock(impl_->queueMutex);
  impl_->flushLocked(nullptr);
}

void Rasterizer::drawAhead() {
  std::lock_guard<std::mutex> lock(impl_->queueMutex);
  impl_->drawAheadLocked();
}

void Rasterizer::finishAndCopy(const RenderTarget &target, BYTE *dst, INT dstPitch) {
  const Impl::CopyRequest copy{target, dst, dstPitch};
  std::lock_guard<std::mutex> lock(impl_->queueMutex);
  impl_->flushLocked(&copy);
}

DepthBounds *Rasterizer::depthBoundsFor(const RenderTarget &target, bool startsFrame) {
  Impl &m = *impl_;
  std::unique_lock<std::mutex> lock(m.queueMutex, std::defer_lock);
  if (m.deferring()) lock.lock();
  m.joinLocked(nullptr);
  DepthBounds *bounds = m.boundsFor(target);
  if (bounds && startsFrame) bounds->frameStarts();
  return bounds;
}

void Rasterizer::trackClearedBands(ClearJob &job) {
  Impl &m = *impl_;
  std::unique_lock<std::mutex> lock(m.queueMutex, std::defer_lock);
  if (m.deferring()) lock.lock();
  m.joinLocked(nullptr);  // no band is being drawn while the tables are bound
  const RenderTarget &t = job.target;
  job.colorBands = job.color && m.colorBands.bind(t.color, t.colorPitch, t.width, t.height) ? &m.colorBands : nullptr;
  job.depthBands = job.depth && m.depthBands.bind(t.depth, t.depthPitch, t.width, t.height) ? &m.depthBands : nullptr;
}

void Rasterizer::submitClear(const ClearJob &job) {
  Impl &m = *impl_;
  if (!m.deferring()) {
    runClear(job, job.box.top, job.box.bottom);
    return;
  }
  std::lock_guard<std::mutex> lock(m.queueMutex);
  m.joinLocked(nullptr);
  try {
    m.clears.push_back(job);
    try {
      m.commands.push_back(Impl::Command{true, m.clears.size() - 1});
    } catch (const std::bad_alloc &) {
      m.clears.pop_back();
      throw;
    }
  } catch (const std::bad_alloc &) {
    m.flushLocked(nullptr);  // no room to queue it: clear now, after what is queued
    runClear(job, job.box.top, job.box.bottom);
    return;
  }
  m.noteQueued();
  // A clear writes every pixel once: a quarter of a triangle pixel's work.
  m.queuedPixels += uint64_t(job.box.bottom - job.box.top) * uint64_t(job.box.right - job.box.left) / 4;
}

void finishPendingDrawing() {
  notePixelAccess();
  if (gQueuedRasterizers.load(std::memory_order_acquire) == 0) return;
  Registry &r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (Rasterizer *member : r.members) member->finish();
}

int threadsFromEnvironment() {
  if (const char *text = std::getenv("KVPOLYGON_D3D9_THREADS")) {
    char *end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (end != text && *end == 0 && n >= 1 && n <= 64) return int(n);
  }
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : int(std::min(cores, 64u));
}

void Rasterizer::setSpecialisedRoutines(bool enabled, SpanWidth widest) {
  impl_->specialisedEnabled = enabled;
  impl_->widestWidth = widest;
}
bool Rasterizer::lastDrawSpecialised() const { return impl_->lastSpecialised; }
void Rasterizer::setDepthBounds(bool enabled) {
  std::lock_guard<std::mutex> lock(impl_->queueMutex);
  impl_->joinLocked(nullptr);
  impl_->boundsEnabled = enabled;
}
uint64_t Rasterizer::depthRunsSkipped() const {
  std::lock_guard<std::mutex> lock(impl_->queueMutex);
  impl_->joinLocked(nullptr);
  return impl_->bounds.runsSkipped();
}

HRESULT Rasterizer::drawPrimitiveUP(const DrawState &state, const RenderTarget &target, D3DPRIMITIVETYPE type,
                                    UINT primitiveCount, const void *vertices, UINT stride) {
  Impl &m = *impl_;
  std::unique_lock<std::mutex> queueLock(m.queueMutex, std::defer_lock);
  if (m.deferring()) queueLock.lock();
  m.joinLocked(nullptr);
  VertexLayout layout;
  if (!vertices || !parseFvf(state.fvf, layout) || stride < static_cast<UINT>(layout.size))
    return D3DERR_INVALIDCALL;
  if (!usableColorTarget(target)) return D3DERR_INVALIDCALL;
  const bool zEnable = state.renderState[D3DRS_ZENABLE] != D3DZB_FALSE;
  if (zEnable && target.depth && !usableDepthTarget(target)) return D3DERR_INVALIDCALL;

  uint64_t vertexCount;
  switch (type) {
    case D3DPT_TRIANGLELIST: vertexCount = 3ull * primitiveCount; break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: vertexCount = primitiveCount + 2ull; break;
    default: return D3D_OK;  // points and lines are not rasterised
  }
  if (primitiveCount == 0) return D3D_OK;
  if (vertexCount > 0x7FFFFFFF / sizeof(ClipVertex)) return E_OUTOFMEMORY;

  DrawContext &ctx = m.ctx;
  ctx.target = target;
  ctx.depthTest = zEnable && target.depth != nullptr;
  ctx.depthWrite = ctx.depthTest && state.renderState[D3DRS_ZWRITEENABLE] != 0;
  ctx.depthFunc = state.renderState[D3DRS_ZFUNC];
  ctx.bounds = ctx.depthTest ? m.boundsFor(target) : nullptr;
  if (!prepareCascade(state, ctx.cascade)) return D3DERR_INVALIDCALL;
  // Adding specular needs a specular colour: a vertex without one adds nothing.
  ctx.cascade.addSpecular = ctx.cascade.addSpecular && layout.specularOffset >= 0;
  prepareOutput(state, target.colorFormat, ctx.output);

  m.scissor = viewportRect(state.viewport, target);
  if (m.scissor.left >= m.scissor.right || m.scissor.top >= m.scissor.bottom) return D3D_OK;

  const PipelineKey key = derivePipelineKey(state, ctx);
  const SpanRoutine special = m.specialisedEnabled ? specialisedSpan(key, m.widestWidth) : nullptr;
  m.routine = special ? special : genericSpan;
  m.lastSpecialised = special != nullptr;
  m.cullMode = state.renderState[D3DRS_CULLMODE];
  m.flatShading = state.renderState[D3DRS_SHADEMODE] == D3DSHADE_FLAT;

  prepareVertexSetup(state, layout, ctx.cascade.stageCount, m.vertexSetup);
  const size_t count = static_cast<size_t>(vertexCount);
  try {
    if (m.clip.size() < count) {
      m.clip.resize(count);
      m.screen.resize(count);
      m.outcode.resize(count);
    }
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  const BYTE *src = static_cast<const BYTE *>(vertices);
  for (size_t i = 0; i < count; ++i) {
    fetchVertex(m.vertexSetup, src + i * stride, m.clip[i]);
    m.outcode[i] = computeOutcode(m.vertexSetup.volume, m.clip[i]);
    if (m.outcode[i] == 0) projectVertex(m.vertexSetup, m.clip[i], m.screen[i]);
  }

  m.drawState = &state;
  m.drawFirst = m.triangles.size();
  for (UINT p = 0; p < primitiveCount; ++p) {
    switch (type) {
      case D3DPT_TRIANGLELIST: m.drawClipped(3 * p, 3 * p + 1, 3 * p + 2, 3 * p); break;
      case D3DPT_TRIANGLESTRIP:
        // Every other triangle of a strip is wound the other way round.
        if (p & 1)
          m.drawClipped(p + 1, p, p + 2, p);
        else
          m.drawClipped(p, p + 1, p + 2, p);
        break;
      default: m.drawClipped(0, p + 1, p + 2, p + 1); break;
    }
  }
  if (m.deferring()) m.queueDraw(state, m.drawFirst);
  return D3D_OK;
}

}  // namespace kvd3d::raster
