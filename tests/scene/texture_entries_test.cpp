// The scene's texture list as polygons and setupTextures reach it: by serial number and by
// name (the oldest of a name), in time that does not grow with the entries loaded.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "failing_allocator.h"
#include "scene/kv_polygon_set.h"

namespace {

std::unique_ptr<kv::TextureList> entry(const char *name, kv::TextureEntryId id) {
  auto e = std::make_unique<kv::TextureList>();
  std::strcpy(e->name, name);
  e->id = id;
  return e;
}

TEST(TextureEntries, SameNameKeepsBothAndNamesFindTheOldestNumbersFindEach) {
  kv::TextureEntries entries;
  ASSERT_TRUE(entries.add(entry("wall", 7)));
  ASSERT_TRUE(entries.add(entry("floor", 8)));
  ASSERT_TRUE(entries.add(entry("wall", 9)));
  EXPECT_EQ(entries.size(), 3u);
  ASSERT_NE(entries.findByName("wall"), nullptr);
  EXPECT_EQ(entries.findByName("wall")->id, 7u);
  EXPECT_EQ(entries.findByName("floor")->id, 8u);
  EXPECT_EQ(entries.findByName("Wall"), nullptr);
  EXPECT_EQ(entries.findByName("wal"), nullptr);
  EXPECT_EQ(entries.findByName(nullptr), nullptr);
  for (kv::TextureEntryId id : {7u, 8u, 9u}) {
    ASSERT_NE(entries.findById(id), nullptr);
    EXPECT_EQ(entries.findById(id)->id, id);
  }
  EXPECT_EQ(entries.findById(0), nullptr);
  EXPECT_EQ(entries.findById(10), nullptr);
  EXPECT_FALSE(entries.add(nullptr));
  EXPECT_EQ(entries.size(), 3u);
  // Load order is kept: a device reset makes the textures again in this order.
  std::vector<kv::TextureEntryId> order;
  for (const auto &e : entries) order.push_back(e->id);
  EXPECT_EQ(order, (std::vector<kv::TextureEntryId>{7, 8, 9}));

  // Cleared entries are found neither way; a new entry of an old name is found again.
  entries.clear();
  EXPECT_EQ(entries.size(), 0u);
  EXPECT_EQ(entries.findByName("wall"), nullptr);
  EXPECT_EQ(entries.findById(7), nullptr);
  EXPECT_EQ(entries.findById(9), nullptr);
  ASSERT_TRUE(entries.add(entry("wall", 11)));
  EXPECT_EQ(entries.findByName("wall")->id, 11u);
  EXPECT_EQ(entries.findById(7), nullptr);
}

TEST(TextureEntries, AnEntryRefusedForMemoryIsFoundNeitherWay) {
  kv::TextureEntries entries;
  // Three entries leave the list room for a fourth, so it is the indexes that fail: the
  // first, or (one allocation allowed) the second after the first took the entry.
  for (kv::TextureEntryId id = 1; id <= 3; ++id) ASSERT_TRUE(entries.add(entry("old", id)));
  for (const int allowed : {0, 1}) {
    auto late = entry("new", 4);
    {
      kvtest::FailAllocations exhausted(allowed);
      EXPECT_FALSE(entries.add(std::move(late)));
      EXPECT_GT(kvtest::FailAllocations::refused(), 0);
    }
    EXPECT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries.findById(4), nullptr) << allowed;
    EXPECT_EQ(entries.findByName("new"), nullptr) << allowed;
  }
  EXPECT_EQ(entries.findByName("old")->id, 1u);
  EXPECT_EQ(entries.findById(3)->id, 3u);
  {
    kvtest::FailAllocations exhausted;
    entries.clear();  // clearTextures and dispose must work with no memory left
    EXPECT_EQ(kvtest::FailAllocations::refused(), 0);
  }
  EXPECT_EQ(entries.findById(1), nullptr);
  EXPECT_EQ(entries.findByName("old"), nullptr);
  ASSERT_TRUE(entries.add(entry("new", 4)));
  EXPECT_EQ(entries.findByName("new")->id, 4u);
}

// The list itself growing without memory: the entry is refused, not counted as added.
TEST(TextureEntries, AnEntryTheListCannotHoldIsRefused) {
  kv::TextureEntries entries;
  auto first = entry("first", 1);
  {
    kvtest::FailAllocations exhausted;
    EXPECT_FALSE(entries.add(std::move(first)));
  }
  EXPECT_EQ(entries.size(), 0u);
  EXPECT_EQ(entries.findById(1), nullptr);
}

// Best of several runs, in nanoseconds per call of f.
template <typename F>
double nanosecondsPerCall(F f) {
  constexpr int kCalls = 2000;
  double best = 1e30;
  for (int run = 0; run < 7; ++run) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalls; ++i) f();
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    best = std::min(best, spent.count() / kCalls);
  }
  return best;
}

// Every frame finds each polygon's textures by number, and setupTextures by name: the last
// of many entries must be found as fast as the first. A walk of the list makes the last
// thousands of times slower; the bound leaves room for a busy machine.
TEST(TextureEntries, TheLastOfManyEntriesIsFoundAsFastAsTheFirst) {
  kv::KvPolygonSet scene;
  constexpr int kEntries = 20000;
  for (int i = 1; i <= kEntries; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "texture%05d", i);
    ASSERT_TRUE(scene.textureEntries().add(entry(name, static_cast<kv::TextureEntryId>(i))));
  }
  IDirect3DTexture9 *volatile texture = nullptr;
  const kv::TextureList *volatile found = nullptr;
  const double firstById = nanosecondsPerCall([&] { texture = scene.textureOf(1); });
  const double lastById = nanosecondsPerCall([&] { texture = scene.textureOf(kEntries); });
  const double firstByName = nanosecondsPerCall([&] { found = scene.findTextureEntry("texture00001"); });
  const double lastByName = nanosecondsPerCall([&] { found = scene.findTextureEntry("texture20000"); });
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->id, static_cast<kv::TextureEntryId>(kEntries));
  EXPECT_LT(lastById, 20 * firstById + 50) << firstById << " ns for the first, " << lastById << " for the last";
  EXPECT_LT(lastByName, 20 * firstByName + 50) << firstByName << " ns for the first, " << lastByName << " for the last";
}

}  // namespace
