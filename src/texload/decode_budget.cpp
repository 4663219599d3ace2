#include "texload/decode_budget.h"

#include <algorithm>

#include "texload/byte_reading.h"

namespace kv {

namespace {

// The library runs on one thread (the host's); the limit is plain process state.
uint64_t pixelLimit = kDefaultDecodePixelLimit;

}  // namespace

HRESULT checkDecodeBudget(const DecodeCost &cost) {
  if (cost.pixels > pixelLimit) return E_FAIL;
  if (cost.bytes > kMaxImageBytes) return E_FAIL;
  const uint64_t allowance = std::max(kDecodeBytesFloor, cost.fileBytes * kDecodeBytesPerFileByte);
  if (cost.bytes > allowance && cost.fileBytes < cost.leastFileBytes) return E_FAIL;
  return S_OK;
}

void setDecodePixelLimit(uint64_t pixels) { pixelLimit = pixels ? pixels : kDefaultDecodePixelLimit; }

uint64_t decodePixelLimit() { return pixelLimit; }

}  // namespace kv
