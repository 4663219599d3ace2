// The implementations that do not blend: the straight copy, the same-size conversion, and
// the none (crop or pad) and point filters.
#include <algorithm>
#include <cstring>

#include "pixel/blocks/block_compression.h"
#include "pixel/convert/conversion_job.h"
#include "pixel/convert/raw_pixels.h"
#include "pixel/convert/row_halves.h"

namespace kv {
namespace {

bool palettesEqual(const uint8_t *a, const uint8_t *b) {
  if (a == b) return true;
  return a && b && std::memcmp(a, b, 256 * 4) == 0;
}

bool isPaletteFormat(uint32_t format) { return format == D3DFMT_P8 || format == D3DFMT_A8P8; }

// Whole 4x4 blocks from block row to block row; every box edge must lie on the grid.
HRESULT copyBlocks(const PixelBox &from, const PixelBox &to) {
  const uint32_t blockBytes = dxtBlockBytes(from.format);
  if (!blockBytes) return E_FAIL;
  for (const PixelBox *box : {&from, &to})
    for (BoxEdge edge : {kBoxLeft, kBoxTop, kBoxRight, kBoxBottom})
      if (box->box[edge] & 3) return E_FAIL;
  const uint32_t rows = (from.box[kBoxBottom] - from.box[kBoxTop]) / 4;
  const size_t bytes = size_t(from.box[kBoxRight] - from.box[kBoxLeft]) / 4 * blockBytes;
  const uint32_t depth = from.box[kBoxBack] - from.box[kBoxFront];
  for (uint32_t z = 0; z < depth; ++z) {
    for (uint32_t row = 0; row < rows; ++row) {
      const uint8_t *src = from.data + size_t(from.box[kBoxFront] + z) * from.slicePitch +
                           size_t(from.box[kBoxTop] / 4 + row) * from.rowPitch + from.box[kBoxLeft] / 4 * blockBytes;
      uint8_t *dst = to.data + size_t(to.box[kBoxFront] + z) * to.slicePitch +
                     size_t(to.box[kBoxTop] / 4 + row) * to.rowPitch + to.box[kBoxLeft] / 4 * blockBytes;
      std::memcpy(dst, src, bytes);
    }
  }
  return S_OK;
}

}  // namespace

HRESULT copyIdentical(ConversionJob &job) {
  const PixelCodec &src = *job.source, &dst = *job.destination;
  if (src.format() != dst.format() || job.sourceBox.colorKey != 0) return E_FAIL;
  if (src.width() != dst.width() || src.height() != dst.height() || src.depth() != dst.depth()) return E_FAIL;
  if (job.sourceBox.gamma != job.destinationBox.gamma) return E_FAIL;
  if (isDxtFormat(src.format())) return copyBlocks(job.sourceBox, job.destinationBox);
  const uint32_t bytesPerPixel = rawBytesPerPixel(src.format());
  if (!bytesPerPixel) return E_FAIL;
  if (isPaletteFormat(src.format()) && !palettesEqual(job.sourceBox.palette, job.destinationBox.palette)) return E_FAIL;
  const RawRegion from = rawRegion(job.sourceBox, bytesPerPixel), to = rawRegion(job.destinationBox, bytesPerPixel);
  const size_t rowBytes = size_t(src.width()) * bytesPerPixel;
  if (from.rowPitch == rowBytes && to.rowPitch == rowBytes &&
      (src.depth() == 1 || (from.slicePitch == to.slicePitch && from.slicePitch == rowBytes * src.height()))) {
    // Rows (and slices) follow each other without gaps on both sides: one block, in two
    // halves at once when it is big.
    const uint32_t rows = src.height() * src.depth();
    uint8_t *const out = to.row(0, 0);
    const uint8_t *const in = from.row(0, 0);
    runRowHalves(rows, uint64_t(src.width()) * rows, true, [&](uint32_t first, uint32_t last) {
      std::memcpy(out + first * rowBytes, in + first * rowBytes, (last - first) * rowBytes);
      return true;
    });
    return S_OK;
  }
  for (uint32_t z = 0; z < src.depth(); ++z)
    for (uint32_t y = 0; y < src.height(); ++y) std::memcpy(to.row(y, z), from.row(y, z), rowBytes);
  return S_OK;
}

HRESULT convertSameSize(ConversionJob &job) {
  PixelCodec &src = *job.source, &dst = *job.destination;
  if (src.width() != dst.width() || src.height() != dst.height() || src.depth() != dst.depth()) return E_FAIL;
  if (SUCCEEDED(convertSameSizeByTables(job))) return S_OK;
  auto row = allocatePixels(src.width());
  if (!row) return E_OUTOFMEMORY;
  for (uint32_t z = 0; z < src.depth(); ++z) {
    for (uint32_t y = 0; y < src.height(); ++y) {
      src.readRow(y, z, row.get());
      dst.writeRow(y, z, row.get());
    }
  }
  return S_OK;
}

HRESULT resampleNone(ConversionJob &job) {
  if (filterCode(job.flags) != FilterNone) return E_FAIL;
  PixelCodec &src = *job.source, &dst = *job.destination;
  const uint32_t sourceWidth = src.width(), width = dst.width();
  const uint32_t rows = std::min(src.height(), dst.height()), slices = std::min(src.depth(), dst.depth());
  auto row = allocatePixels(std::max(sourceWidth, width));
  auto zero = allocatePixels(width);
  if (!row || !zero) return E_OUTOFMEMORY;
  // The writer may change a row in place (luminance, diffusion): the padding is zeroed again
  // before every write so that it stays (0, 0, 0, 0).
  auto writeZero = [&](uint32_t y, uint32_t z) {
    std::fill_n(zero.get(), size_t(width) * 4, 0.f);
    dst.writeRow(y, z, zero.get());
  };
  for (uint32_t z = 0; z < dst.depth(); ++z) {
    for (uint32_t y = 0; y < dst.height(); ++y) {
      if (z >= slices || y >= rows) {
        writeZero(y, z);
        continue;
      }
      src.readRow(y, z, row.get());
      if (width > sourceWidth) std::fill(row.get() + size_t(sourceWidth) * 4, row.get() + size_t(width) * 4, 0.f);
      dst.writeRow(y, z, row.get());
    }
  }
  return S_OK;
}

HRESULT resamplePoint(ConversionJob &job) {
  if (filterCode(job.flags) != FilterPoint) return E_FAIL;
  PixelCodec &src = *job.source, &dst = *job.destination;
  const uint32_t width = dst.width();
  // 16.16 steps; 64-bit so that sources wider than 65535 pixels do not overflow.
  const uint64_t sx = (uint64_t(src.width()) << 16) / width;
  const uint64_t sy = (uint64_t(src.height()) << 16) / dst.height();
  const uint64_t sz = (uint64_t(src.depth()) << 16) / dst.depth();
  auto sourceRow = allocatePixels(src.width());
  auto row = allocatePixels(width);
  if (!sourceRow || !row) return E_OUTOFMEMORY;
  uint64_t az = 0;
  for (uint32_t z = 0; z < dst.depth(); ++z, az += sz) {
    const uint32_t sourceSlice = uint32_t(az >> 16);
    uint32_t readIndex = UINT32_MAX;
    uint64_t ay = 0;
    for (uint32_t y = 0; y < dst.height(); ++y, ay += sy) {
      const uint32_t sourceY = uint32_t(ay >> 16);
      if (sourceY != readIndex) {
        src.readRow(sourceY, sourceSlice, sourceRow.get());
        readIndex = sourceY;
      }
      uint64_t ax = 0;
      for (uint32_t x = 0; x < width; ++x, ax += sx)
        std::memcpy(row.get() + size_t(x) * 4, sourceRow.get() + size_t(ax >> 16) * 4, 4 * sizeof(float));
      dst.writeRow(y, z, row.get());
    }
  }
  return S_OK;
}

}  // namespace kv
