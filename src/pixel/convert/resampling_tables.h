// The per-axis tables of the linear and tent filters.
#pragma once

#include <cstdint>
#include <vector>

namespace kv {

// The two source taps of one destination index along one axis.
struct LinearTap {
  int32_t first;
  float firstWeight;
  int32_t second;
  float secondWeight;
};

// Taps for n source and m destination indices; `wrap` is the axis's mirror bit clear.
// False when memory runs out.
bool buildLinearTaps(uint32_t n, uint32_t m, bool wrap, std::vector<LinearTap> &taps);

// For each source index along one axis, the destination indices it feeds and their
// weights (a tent two source pixels wide).
class TentList {
 public:
  struct Entry {
    int32_t destination;
    float weight;
  };

  // False when memory runs out.
  bool build(uint32_t n, uint32_t m, bool wrap);

  const Entry *begin(uint32_t source) const { return entries_.data() + offsets_[source]; }
  const Entry *end(uint32_t source) const { return entries_.data() + offsets_[source + 1]; }

 private:
  std::vector<uint32_t> offsets_;  // n + 1 offsets into entries_
  std::vector<Entry> entries_;
};

}  // namespace kv
