// Both cores on one big conversion: the rows split in two halves, each written by one
// thread. Every row is computed exactly as on one thread, so the bits do not depend on it.
#pragma once

#include <cstdint>
#include <functional>

namespace kv {

// Calls rows(first, last) over [0, count) and returns whether every call succeeded. When
// `apart` (the destination's rows may be written at once) and `pixels` make the job worth a
// thread, the second half runs on a thread of its own while this thread does the first;
// otherwise, or when no thread can be had, one call does them all here.
bool runRowHalves(uint32_t count, uint64_t pixels, bool apart, const std::function<bool(uint32_t, uint32_t)> &rows);

}  // namespace kv
