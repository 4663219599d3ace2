// The polygon store's container: its iteration order is the drawing order, so the hash,
// the growth and the in-bucket order are checked against an independent computation.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "scene/number_hash_map.h"

namespace {

// The hash written out again, in 64-bit arithmetic throughout.
uint64_t referenceHash(uint32_t n) {
  const int64_t x = static_cast<int64_t>((n ^ 0xDEADBEEFull) & 0x7FFFFFFFull);
  const int64_t lo = x % 127773, hi = x / 127773;
  int64_t h = 16807 * lo - 2836 * hi;
  if (h < 0) h += 2147483647;
  return static_cast<uint64_t>(h);
}

// Numbers 1..count in the order a map with the given bucket count must visit them.
std::vector<uint32_t> expectedOrder(uint32_t count, uint64_t buckets) {
  std::map<std::pair<uint64_t, uint32_t>, uint32_t> order;
  for (uint32_t n = 1; n <= count; ++n) order[{referenceHash(n) & (buckets - 1), n}] = n;
  std::vector<uint32_t> result;
  for (const auto &kv : order) result.push_back(kv.second);
  return result;
}

std::vector<uint32_t> visitOrder(const kv::NumberHashMap<int> &map) {
  std::vector<uint32_t> order;
  map.forEach([&](uint32_t n, const int *) { order.push_back(n); });
  return order;
}

void fill(kv::NumberHashMap<int> &map, uint32_t count) {
  for (uint32_t n = 1; n <= count; ++n) ASSERT_TRUE(map.insert(n, std::make_unique<int>(static_cast<int>(n))));
}

TEST(NumberHashMap, HashMatchesTheParkMillerStepOnKnownValues) {
  for (uint32_t n : {0u, 1u, 2u, 33u, 127773u, 0x7FFFFFFFu, 0xDEADBEEFu, 0xFFFFFFFFu})
    EXPECT_EQ(kv::numberHash(n), referenceHash(n)) << n;
  EXPECT_EQ(kv::numberHash(0xDEADBEEFu), 0u);  // x = 0 hashes to 0
}

TEST(NumberHashMap, ThirtyTwoElementsStayInEightBuckets) {
  kv::NumberHashMap<int> map;
  fill(map, 32);
  EXPECT_EQ(map.bucketCount(), 8u);  // 32 / 8 = 4.0 does not exceed the load limit
  EXPECT_EQ(visitOrder(map), expectedOrder(32, 8));
}

TEST(NumberHashMap, TheThirtyThirdElementGrowsToSixtyFourBuckets) {
  kv::NumberHashMap<int> map;
  fill(map, 33);
  EXPECT_EQ(map.bucketCount(), 64u);
  EXPECT_EQ(map.size(), 33u);
  EXPECT_EQ(visitOrder(map), expectedOrder(33, 64));
  EXPECT_NE(visitOrder(map), expectedOrder(33, 8));  // the order really changed with the growth
  for (uint32_t n = 1; n <= 33; ++n) ASSERT_NE(map.find(n), nullptr);
}

TEST(NumberHashMap, LaterGrowthMultipliesByEightAgain) {
  kv::NumberHashMap<int> map;
  fill(map, 257);
  EXPECT_EQ(map.bucketCount(), 512u);
  EXPECT_EQ(visitOrder(map), expectedOrder(257, 512));
}

TEST(NumberHashMap, ErasingNeverShrinksButClearReturnsToEightBuckets) {
  kv::NumberHashMap<int> map;
  fill(map, 40);
  map.eraseIf([](uint32_t n, const int *) { return n % 2 == 0; });
  EXPECT_EQ(map.size(), 20u);
  EXPECT_EQ(map.bucketCount(), 64u);
  EXPECT_EQ(map.find(2), nullptr);
  ASSERT_NE(map.find(3), nullptr);
  EXPECT_EQ(*map.find(3), 3);

  map.clear();
  EXPECT_EQ(map.size(), 0u);
  EXPECT_EQ(map.bucketCount(), 8u);
  EXPECT_EQ(map.find(3), nullptr);
}

TEST(NumberHashMap, FindIsAnExactMatchOnly) {
  kv::NumberHashMap<int> map;
  fill(map, 5);
  EXPECT_EQ(map.find(0), nullptr);
  EXPECT_EQ(map.find(6), nullptr);
  EXPECT_EQ(map.find(0xFFFFFFFFu), nullptr);
}

}  // namespace
