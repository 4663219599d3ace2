// Work split over two threads by rows: every row done exactly once, whatever the split, and
// a failure in either half reported.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "pixel/convert/row_halves.h"

namespace {

struct Calls {
  std::mutex mutex;
  std::vector<int> done;
  int calls = 0;
  explicit Calls(uint32_t count) : done(count) {}
  bool record(uint32_t first, uint32_t last) {
    std::lock_guard<std::mutex> lock(mutex);
    ++calls;
    for (uint32_t r = first; r < last; ++r) ++done[r];
    return true;
  }
};

TEST(RowHalves, EveryRowIsDoneOnceForBigAndSmallJobs) {
  const struct {
    uint32_t count;
    uint64_t pixels;
    bool apart;
  } jobs[] = {{1001, 1001 * 1000, true}, {2, uint64_t(1) << 30, true}, {1001, 1001 * 1000, false}, {7, 7 * 3, true}};
  for (const auto &job : jobs) {
    Calls c(job.count);
    EXPECT_TRUE(kv::runRowHalves(job.count, job.pixels, job.apart,
                                 [&](uint32_t first, uint32_t last) { return c.record(first, last); }));
    for (uint32_t r = 0; r < job.count; ++r) ASSERT_EQ(c.done[r], 1) << "row " << r << " of " << job.count;
    // Rows that may not be written at once, and small jobs, are one call on this thread.
    if (!job.apart || job.pixels < (uint64_t(1) << 18)) {
      EXPECT_EQ(c.calls, 1);
    }
    EXPECT_LE(c.calls, 2);
  }
  Calls none(0);
  EXPECT_TRUE(kv::runRowHalves(0, 0, true, [&](uint32_t first, uint32_t last) { return none.record(first, last); }));
}

TEST(RowHalves, AFailedHalfFailsTheWhole) {
  for (const uint32_t failing : {0u, 999u}) {
    const bool result = kv::runRowHalves(1000, 1000 * 1000, true, [&](uint32_t first, uint32_t last) {
      return !(first <= failing && failing < last);
    });
    EXPECT_FALSE(result) << "row " << failing;
  }
}

}  // namespace
