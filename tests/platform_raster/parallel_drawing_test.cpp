// Queued drawing shared out between threads gives the same pixels and depth as drawing
// every call at once on one thread: random scenes through the specialised and the generic
// routines, clears between draws, textures rebound while draws wait in the queue, and
// helpers started ahead of whatever call next needs the pixels.
#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include "d3d9/raster/worker_pool.h"
#include "raster_fixture.h"
#include "scene/failing_allocator.h"

namespace kvtest {
namespace {

constexpr UINT kW = 320, kH = 240;  // large enough for the queue to be shared out

struct Call {
  enum Kind { draw, clear } kind;
  std::vector<SceneVertex> strip;
  int texture;       // which of the scene's textures stage 0 reads
  bool generic;      // alpha test on: the generic routine
  D3DRECT rect;      // for a clear
};

struct RandomScene {
  std::vector<uint32_t> texels[2];
  std::vector<Call> calls;
  DrawState state = plainState(kW, kH, kSceneFvf);
  bool lastShared = false;

  explicit RandomScene(uint32_t seed) {
    std::mt19937 rng(seed);
    for (auto &t : texels) {
      t.resize(64 * 64);
      for (uint32_t &c : t) c = rng();
    }
    DWORD *s0 = state.stageState[0];
    s0[D3DTSS_COLOROP] = D3DTOP_SELECTARG1, s0[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    s0[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1, s0[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    state.renderState[D3DRS_ALPHABLENDENABLE] = TRUE;
    state.renderState[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
    state.renderState[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
    state.view._43 = 3.0f;
    state.projection = D3DMATRIX{};
    state.projection._11 = 0.75f, state.projection._22 = 1.0f, state.projection._33 = 1.001f;
    state.projection._34 = 1.0f, state.projection._43 = -0.01f;
    std::uniform_real_distribution<float> pos(-3.0f, 3.0f), depth(-1.0f, 3.0f), uv(-3.0f, 3.0f);
    std::uniform_int_distribution<int> pick(0, 9), x(0, kW), y(0, kH);
    for (int i = 0; i < 40; ++i) {
      Call c{};
      if (pick(rng) == 0) {
        c.kind = Call::clear;
        const int x0 = x(rng), y0 = y(rng);
        c.rect = D3DRECT{x0, y0, x0 + x(rng) / 2, y0 + y(rng) / 2};
      } else {
        c.kind = Call::draw;
        c.strip.resize(4);
        for (SceneVertex &p : c.strip) p = {pos(rng), pos(rng), depth(rng), uv(rng), uv(rng), uv(rng), uv(rng)};
        c.texture = pick(rng) & 1;
        c.generic = pick(rng) < 3;
      }
      calls.push_back(c);
    }
  }

  // Every call is made with the rasterizer's current thread count; the textures a draw
  // used are unbound before the next, so queued draws must keep what was bound.
  // `ahead`, when given, starts the helpers on the queue and then joins them its own way.
  Canvas render(int threads, bool copyAtEnd = false, std::vector<uint32_t> *copy = nullptr,
                const std::function<void(Rasterizer &, Canvas &)> &ahead = {}) {
    Canvas canvas(kW, kH);
    canvas.fill(0x80402010);
    Rasterizer r;
    r.setThreads(threads);
    r.clear(canvas.target(), state.viewport, 0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawState s = state;
    for (const Call &c : calls) {
      if (c.kind == Call::clear) {
        r.clear(canvas.target(), s.viewport, 1, &c.rect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF336699u, 0.5f, 0);
        continue;
      }
      s.texture[0] = {D3DFMT_A8R8G8B8, 64, 64, 64 * 4, reinterpret_cast<const BYTE *>(texels[c.texture].data())};
      s.renderState[D3DRS_ALPHATESTENABLE] = c.generic;
      s.renderState[D3DRS_ALPHAREF] = 0x60;
      s.renderState[D3DRS_ALPHAFUNC] = D3DCMP_GREATER;
      EXPECT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLESTRIP, 2, c.strip.data(), sizeof(SceneVertex)),
                D3D_OK);
      s.texture[0] = TextureView{};
    }
    lastShared = false;
    if (ahead) {
      r.drawAhead();
      ahead(r, canvas);
    }
    if (copyAtEnd) {
      copy->assign(canvas.color.size(), 0);
      r.finishAndCopy(canvas.target(), reinterpret_cast<BYTE *>(copy->data()), kW * 4);
    } else {
      r.finish();
    }
    lastShared = r.lastFinishShared();
    return canvas;
  }
};

TEST(ParallelDrawing, RandomScenesMatchOneThreadBitForBit) {
  for (uint32_t seed : {11u, 12u, 13u, 14u}) {
    RandomScene scene(seed);
    const Canvas one = scene.render(1);
    EXPECT_GT(one.countNot(0x80402010), 10000) << "seed " << seed;
    for (int threads : {2, 3, 5}) {
      const Canvas many = scene.render(threads);
      EXPECT_TRUE(scene.lastShared);
      EXPECT_TRUE(one.color == many.color) << "seed " << seed << ", " << threads << " threads";
      EXPECT_TRUE(one.depth == many.depth) << "seed " << seed << ", " << threads << " threads";
    }
  }
}

// Draws in runs whose state differs only in what the routine reads from the draw's context
// (the alpha reference, under the generic routine), with the same texture: a draw may share
// the context of the one queued before it only where every byte of it is the same.
TEST(ParallelDrawing, RunsOfDrawsAlikeButForTheirContextMatchOneThread) {
  DrawState s = plainState(kW, kH);
  useDiffuseOnly(s);
  s.renderState[D3DRS_ALPHABLENDENABLE] = TRUE;
  s.renderState[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
  s.renderState[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
  s.renderState[D3DRS_ALPHATESTENABLE] = TRUE;
  s.renderState[D3DRS_ALPHAFUNC] = D3DCMP_GREATER;
  auto render = [&](int threads, bool &shared) {
    Canvas c(kW, kH);
    c.fill(0x80402010);
    Rasterizer r;
    r.setThreads(threads);
    for (int i = 0; i < 120; ++i) {
      const float x = static_cast<float>((i * 37) % 200), y = static_cast<float>((i * 53) % 140);
      const DWORD colour = static_cast<DWORD>((i * 97) % 256) << 24 | ((0x00FF8040u ^ DWORD(i) * 0x10203u) & 0xFFFFFFu);
      const std::vector<TlVertex> rect = tlRect(x, y, x + 120, y + 100, 0.5f, colour);
      s.renderState[D3DRS_ALPHAREF] = static_cast<DWORD>((i / 3) % 4) * 0x40;  // runs of three alike draws
      EXPECT_EQ(r.drawPrimitiveUP(s, c.target(), D3DPT_TRIANGLELIST, 2, rect.data(), sizeof(TlVertex)), D3D_OK);
    }
    r.finish();
    shared = r.lastFinishShared();
    return c;
  };
  bool shared = false;
  const Canvas one = render(1, shared);
  const Canvas two = render(2, shared);
  EXPECT_TRUE(shared);
  EXPECT_GT(one.countNot(0x80402010), 20000);
  EXPECT_TRUE(one.color == two.color);
}

// One draw of more triangles than the queue holds is drawn in parts, in order.
TEST(ParallelDrawing, AVeryLongStripMatchesOneThread) {
  std::vector<TlVertex> strip;
  for (int i = 0; i < 70002; ++i) {
    const float x = static_cast<float>(i % 600) * 0.5f + 7.0f, y = (i & 1) ? 10.0f + (i % 211) : 200.0f - (i % 157);
    strip.push_back({x, y, static_cast<float>(i % 97) / 97.0f, 1, 0x40000000u | (static_cast<DWORD>(i) * 2654435761u >> 8), 0, 0});
  }
  DrawState s = plainState(kW, kH);
  useDiffuseOnly(s);
  s.renderState[D3DRS_ALPHABLENDENABLE] = TRUE;
  s.renderState[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
  s.renderState[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
  auto render = [&](int threads) {
    Canvas c(kW, kH);
    Rasterizer r;
    r.setThreads(threads);
    EXPECT_EQ(r.drawPrimitiveUP(s, c.target(), D3DPT_TRIANGLESTRIP, 70000, strip.data(), sizeof(TlVertex)), D3D_OK);
    r.finish();
    return c;
  };
  const Canvas one = render(1), two = render(2);
  EXPECT_GT(one.countNot(0), 20000);
  EXPECT_TRUE(one.color == two.color);
  EXPECT_TRUE(one.depth == two.depth);
}

TEST(ParallelDrawing, FinishAndCopyDeliversTheFinishedFrame) {
  RandomScene scene(21);
  std::vector<uint32_t> copy;
  const Canvas many = scene.render(2, true, &copy);
  EXPECT_TRUE(copy == many.color);
  // With nothing queued the copy is made all the same.
  Canvas canvas(kW, kH);
  canvas.fill(0x12345678);
  Rasterizer r;
  r.setThreads(2);
  std::vector<uint32_t> plain(canvas.color.size(), 0);
  r.finishAndCopy(canvas.target(), reinterpret_cast<BYTE *>(plain.data()), kW * 4);
  EXPECT_TRUE(plain == canvas.color);
}

// However the helpers started ahead are joined (a finish, a lock elsewhere, a further draw
// or clear, a copy asked for before or after they have drawn everything), the pixels are
// those of one thread.
TEST(ParallelDrawing, DrawingAheadMatchesOneThreadWhateverJoinsIt) {
  RandomScene scene(31);
  const Canvas one = scene.render(1);
  const std::vector<TlVertex> last = tlRect(10, 10, 200, 150, 0.25f, 0x80FF00FFu);
  DrawState flat = plainState(kW, kH);
  useDiffuseOnly(flat);
  const Canvas oneMore = [&] {
    Canvas c = scene.render(1);
    Rasterizer r;
    EXPECT_EQ(r.drawPrimitiveUP(flat, c.target(), D3DPT_TRIANGLELIST, 2, last.data(), sizeof(TlVertex)), D3D_OK);
    return c;
  }();
  const std::vector<std::function<void(Rasterizer &, Canvas &)>> joins = {
      [](Rasterizer &r, Canvas &) { r.finish(); },
      [](Rasterizer &, Canvas &) { kvd3d::raster::finishPendingDrawing(); },
      [](Rasterizer &r, Canvas &) { r.drawAhead(); },  // a second start changes nothing
      [](Rasterizer &, Canvas &) { std::this_thread::sleep_for(std::chrono::milliseconds(20)); },
  };
  for (size_t i = 0; i < joins.size(); ++i) {
    const Canvas many = scene.render(2, false, nullptr, joins[i]);
    EXPECT_TRUE(one.color == many.color) << "join " << i;
    EXPECT_TRUE(one.depth == many.depth) << "join " << i;
  }
  // The copy, asked for at once or after the helpers have drawn every band.
  for (int wait : {0, 20}) {
    std::vector<uint32_t> copy;
    const Canvas many = scene.render(2, true, &copy, [&](Rasterizer &, Canvas &) {
      std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    });
    EXPECT_TRUE(one.color == many.color) << "wait " << wait;
    EXPECT_TRUE(copy == many.color) << "wait " << wait;
  }
  // A draw after the start waits for the queue ahead of it.
  const Canvas drawnAfter = scene.render(2, false, nullptr, [&](Rasterizer &r, Canvas &c) {
    EXPECT_EQ(r.drawPrimitiveUP(flat, c.target(), D3DPT_TRIANGLELIST, 2, last.data(), sizeof(TlVertex)), D3D_OK);
  });
  EXPECT_TRUE(oneMore.color == drawnAfter.color);
}

// Rows below everything queued are copied too, when the helpers drew the queue before the
// copy was asked for.
TEST(ParallelDrawing, DrawingAheadCopiesRowsBelowTheQueue) {
  Canvas canvas(kW, kH);
  canvas.fill(0x11223344);
  DrawState s = plainState(kW, kH);
  useDiffuseOnly(s);
  const std::vector<TlVertex> top = tlRect(0, 0, kW, kH / 2, 0.5f, 0xFF8040C0u);
  Rasterizer r;
  r.setThreads(2);
  ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLELIST, 2, top.data(), sizeof(TlVertex)), D3D_OK);
  r.drawAhead();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::vector<uint32_t> copy(canvas.color.size(), 0);
  r.finishAndCopy(canvas.target(), reinterpret_cast<BYTE *>(copy.data()), kW * 4);
  EXPECT_TRUE(r.lastFinishShared());
  EXPECT_EQ(canvas.count(0xFF8040C0u), static_cast<int>(kW * kH / 2));
  EXPECT_TRUE(copy == canvas.color);
}

TEST(ParallelDrawing, QueuedWorkWaitsForFinishAndIsDroppedWithTheRasterizer) {
  Canvas canvas(kW, kH);
  {
    Rasterizer r;
    r.setThreads(2);
    r.clear(canvas.target(), plainState(kW, kH).viewport, 0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0);
    EXPECT_EQ(canvas.count(0), static_cast<int>(kW * kH));  // queued, not yet drawn
    kvd3d::raster::finishPendingDrawing();                  // as a lock of the target does
    EXPECT_EQ(canvas.count(0xFFFFFFFFu), static_cast<int>(kW * kH));
    r.clear(canvas.target(), plainState(kW, kH).viewport, 0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
  }  // destroyed with a clear queued: dropped, never drawn
  EXPECT_EQ(canvas.count(0xFFFFFFFFu), static_cast<int>(kW * kH));
  {
    Rasterizer r;
    r.setThreads(2);
    DrawState s = plainState(kW, kH);
    useDiffuseOnly(s);
    const std::vector<TlVertex> all = tlRect(0, 0, kW, kH, 0.5f, 0xFF000000u);
    ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLELIST, 2, all.data(), sizeof(TlVertex)), D3D_OK);
    r.drawAhead();
  }  // destroyed while helpers draw: the bands begun are finished, the rest dropped
  for (UINT y = 0; y < kH; ++y) {
    const uint32_t first = canvas.at(0, static_cast<int>(y));
    EXPECT_TRUE(first == 0xFFFFFFFFu || first == 0xFF000000u);
    EXPECT_EQ(canvas.at(static_cast<int>(kW) - 1, static_cast<int>(y)), first) << "row " << y;  // whole rows
  }
}

TEST(ParallelDrawing, AClearWithNoMemoryToQueueItIsMadeAtOnceAfterTheQueue) {
  Canvas canvas(kW, kH);
  Rasterizer r;
  r.setThreads(2);
  DrawState s = plainState(kW, kH);
  useDiffuseOnly(s);
  const std::vector<TlVertex> left = tlRect(0, 0, kW / 2, kH, 0.5f, 0xFFFF0000u);
  ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLELIST, 2, left.data(), sizeof(TlVertex)), D3D_OK);
  int refused = 0;
  {
    FailAllocations none;
    r.clear(canvas.target(), s.viewport, 0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    refused = FailAllocations::refused();
  }
  EXPECT_GT(refused, 0) << "the clear found room in the queue after all";
  EXPECT_EQ(canvas.count(0xFF0000FFu), static_cast<int>(kW * kH)) << "the queued draw first, then the clear";
  r.finish();
  EXPECT_EQ(canvas.count(0xFF0000FFu), static_cast<int>(kW * kH));
}

TEST(ParallelDrawing, HelpersTakePartInEveryRun) {
  // The caller's share waits until a helper has joined: without helpers it gives up after
  // seconds and the run counts as unhelped.
  kvd3d::raster::WorkerPool pool(2);
  ASSERT_GE(pool.helperCount(), 1);
  for (int round = 0; round < 3; ++round) {
    std::atomic<bool> helped{false};
    pool.run(
        [&](int who) {
          if (who != 0) {
            helped = true;
            return;
          }
          const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
          while (!helped && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        },
        pool.helperCount());
    EXPECT_TRUE(helped) << "round " << round;
  }
}

TEST(ParallelDrawing, PoolSharesEveryPartOutExactlyOnce) {
  kvd3d::raster::WorkerPool pool(3);
  ASSERT_GE(pool.helperCount(), 1);
  for (int round = 0; round < 50; ++round) {
    constexpr int kParts = 64;
    std::vector<std::atomic<int>> done(kParts);
    std::atomic<int> next{0};
    std::vector<std::atomic<int>> participants(static_cast<size_t>(pool.helperCount()) + 1);
    pool.run(
        [&](int who) {
          ++participants[static_cast<size_t>(who)];
          for (int p = next.fetch_add(1); p < kParts; p = next.fetch_add(1)) ++done[static_cast<size_t>(p)];
        },
        pool.helperCount());
    for (const auto &d : done) EXPECT_EQ(d.load(), 1);
    EXPECT_EQ(participants[0].load(), 1);  // the caller always takes part
    for (const auto &p : participants) EXPECT_LE(p.load(), 1);
  }
}

}  // namespace
}  // namespace kvtest
