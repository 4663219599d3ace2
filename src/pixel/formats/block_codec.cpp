// The block formats DXT1..DXT5. Rows are cut out of one decoded row of 4x4 blocks; written
// rows collect in a second row of blocks that is encoded once all of its rows inside the
// box have arrived. Blocks only partly inside the box are decoded first, so the pixels
// outside the box keep their values.
#include <cmath>
#include <cstring>
#include <new>

#include "pixel/blocks/block_compression.h"
#include "pixel/formats/codec_rows.h"

namespace kv {

namespace {

class BlockCodec final : public PixelCodec {
 public:
  explicit BlockCodec(const PixelBox &box) : PixelCodec(box, ValueRange::Unorm, 0) {
    blockBytes_ = dxtBlockBytes(format_);
    alphaLevels_ = (format_ == D3DFMT_DXT2 || format_ == D3DFMT_DXT3) ? 15.0f : 255.0f;
    // The grid of blocks covers the box widened to multiples of 4.
    alignedLeft_ = box_[kBoxLeft] & ~3u;
    const uint64_t right = width_ ? box_[kBoxRight] : box_[kBoxLeft];
    blocksAcross_ = static_cast<uint32_t>(((right + 3) & ~uint64_t{3}) - alignedLeft_) / 4;
  }

  ~BlockCodec() override { flushWrites(); }

  bool allocateCaches() {
    const size_t floats = static_cast<size_t>(blocksAcross_) * 16 * 4;
    readCache_ = allocateFloats(floats + 4);
    writeCache_ = allocateFloats(floats + 4);
    return readCache_ && writeCache_;
  }

  void readRow(uint32_t y, uint32_t z, float *row) override {
    if (rowOutsideBox(y, z, row)) return;
    if (width_ == 0) return;
    const uint32_t py = box_[kBoxTop] + y;
    const uint32_t blockRow = py >> 2;
    // Rows just written must be read back as stored.
    if (writePending_ && writeBlockRow_ == blockRow && writeSlice_ == z) flushWrites();
    if (!readValid_ || readBlockRow_ != blockRow || readSlice_ != z) {
      decodeBlockRow(blockRow, z, readCache_.get());
      readValid_ = true, readBlockRow_ = blockRow, readSlice_ = z;
    }
    std::memcpy(row, cachePixel(readCache_.get(), py & 3, box_[kBoxLeft] - alignedLeft_), width_ * 4 * sizeof(float));
    if (colorKey_ != 0) {
      for (uint32_t x = 0; x < width_; ++x) {
        float *p = row + 4 * x;
        float q[4] = {p[0], p[1], p[2], p[3]};
        quantiseLikeKey(q);
        if (q[0] == colorKeyFloat_[0] && q[1] == colorKeyFloat_[1] && q[2] == colorKeyFloat_[2] &&
            q[3] == colorKeyFloat_[3])
          p[0] = p[1] = p[2] = p[3] = 0.0f;
      }
    }
    if (gamma_) gammaDecodeRow(row, width_, GammaChannels::Rgb, bothGamma_);
  }

  void writeRow(uint32_t y, uint32_t z, float *row) override {
    if (rowOutsideBox(y, z, nullptr)) return;
    if (width_ == 0) return;
    const float *values = prepareRowForPacking(row);
    const uint32_t py = box_[kBoxTop] + y;
    const uint32_t blockRow = py >> 2;
    if (writePending_ && (writeBlockRow_ != blockRow || writeSlice_ != z)) flushWrites();
    if (!writePending_) startBlockRow(blockRow, z);
    std::memcpy(cachePixel(writeCache_.get(), py & 3, box_[kBoxLeft] - alignedLeft_), values,
                width_ * 4 * sizeof(float));
    writtenRows_ |= 1u << (py & 3);
    if ((writtenRows_ & neededRows_) == neededRows_) flushWrites();
  }

  // The key as the block decoders can reproduce it: 5:6:5 colour, 4- or 8-bit alpha.
  void prepareColorKey() override { quantiseLikeKey(colorKeyFloat_); }

 private:
  void quantiseLikeKey(float *p) const {
    p[0] = std::trunc(p[0] * 31.0f + 0.5f) / 31.0f;
    p[1] = std::trunc(p[1] * 63.0f + 0.5f) / 63.0f;
    p[2] = std::trunc(p[2] * 31.0f + 0.5f) / 31.0f;
    p[3] = std::trunc(p[3] * alphaLevels_ + 0.5f) / alphaLevels_;
  }

  float *cachePixel(float *cache, uint32_t rowInBlock, uint32_t column) const {
    return cache + (static_cast<size_t>(rowInBlock) * blocksAcross_ * 4 + column) * 4;
  }

  uint8_t *blockAddress(uint32_t blockRow, uint32_t z, uint32_t blockColumn) const {
    return data_ + static_cast<size_t>(blockRow) * rowPitch_ + static_cast<size_t>(box_[kBoxFront] + z) * slicePitch_ +
           (static_cast<size_t>(alignedLeft_ / 4) + blockColumn) * blockBytes_;
  }

  void decodeBlockRow(uint32_t blockRow, uint32_t z, float *cache) const {
    for (uint32_t b = 0; b < blocksAcross_; ++b) {
      float pixels[16][4];
      decodeDxtBlock(format_, blockAddress(blockRow, z, b), pixels);
      for (int p = 0; p < 16; ++p) std::memcpy(cachePixel(cache, p >> 2, 4 * b + (p & 3)), pixels[p], sizeof pixels[p]);
    }
  }

  void startBlockRow(uint32_t blockRow, uint32_t z) {
    writePending_ = true, writeBlockRow_ = blockRow, writeSlice_ = z, writtenRows_ = 0;
    // Rows of this block row that lie inside the box.
    neededRows_ = 0;
    for (uint32_t r = 0; r < 4; ++r) {
      const uint32_t py = blockRow * 4 + r;
      if (py >= box_[kBoxTop] && py < box_[kBoxBottom]) neededRows_ |= 1u << r;
    }
    const bool partialColumns = box_[kBoxLeft] != alignedLeft_ || box_[kBoxRight] != alignedLeft_ + 4 * blocksAcross_;
    decodedFirst_ = partialColumns || neededRows_ != 0xF;
    if (decodedFirst_) decodeBlockRow(blockRow, z, writeCache_.get());
  }

  void flushWrites() {
    if (!writePending_) return;
    writePending_ = false;
    // Rows the caller never wrote keep what the surface held.
    if (!decodedFirst_ && writtenRows_ != 0xF) {
      decodeBlockRow(writeBlockRow_, writeSlice_, readCache_.get());
      for (uint32_t r = 0; r < 4; ++r) {
        if (writtenRows_ & (1u << r)) continue;
        std::memcpy(cachePixel(writeCache_.get(), r, 0), cachePixel(readCache_.get(), r, 0),
                    static_cast<size_t>(blocksAcross_) * 16 * sizeof(float));
      }
    }
    for (uint32_t b = 0; b < blocksAcross_; ++b) {
      float pixels[16][4];
      for (int p = 0; p < 16; ++p) std::memcpy(pixels[p], cachePixel(writeCache_.get(), p >> 2, 4 * b + (p & 3)), sizeof pixels[p]);
      encodeDxtBlock(format_, pixels, dither_, blockAddress(writeBlockRow_, writeSlice_, b));
    }
    readValid_ = false;
  }

  uint32_t blockBytes_ = 16;
  float alphaLevels_ = 255.0f;
  uint32_t alignedLeft_ = 0, blocksAcross_ = 0;
  std::unique_ptr<float[]> readCache_, writeCache_;
  bool readValid_ = false;
  uint32_t readBlockRow_ = 0, readSlice_ = 0;
  bool writePending_ = false, decodedFirst_ = false;
  uint32_t writeBlockRow_ = 0, writeSlice_ = 0, writtenRows_ = 0, neededRows_ = 0;
};

}  // namespace

std::unique_ptr<PixelCodec> makeBlockCodec(const PixelBox &box, bool &outOfMemory) {
  if (dxtBlockBytes(box.format) == 0) return nullptr;
  return constructCodec<BlockCodec>(box, &BlockCodec::allocateCaches, outOfMemory);
}

}  // namespace kv
