#include "pixel/convert/row_halves.h"

#include <thread>

namespace kv {

namespace {
// Starting and joining a thread costs some tens of microseconds: below a quarter of a
// million pixels (about a millisecond of filtering) one thread does it all.
constexpr uint64_t kPixelsWorthAThread = uint64_t(1) << 18;
}  // namespace

bool runRowHalves(uint32_t count, uint64_t pixels, bool apart, const std::function<bool(uint32_t, uint32_t)> &rows) {
  static const bool oneCore = std::thread::hardware_concurrency() < 2;
  if (!apart || count < 2 || pixels < kPixelsWorthAThread || oneCore) return rows(0, count);
  const uint32_t middle = count / 2;
  bool secondDone = false;
  std::thread helper;
  try {
    helper = std::thread([&] { secondDone = rows(middle, count); });
  } catch (...) {  // no thread (system_error) or no memory for one (bad_alloc)
    return rows(0, count);
  }
  const bool firstDone = rows(0, middle);
  helper.join();
  return firstDone && secondDone;
}

}  // namespace kv
