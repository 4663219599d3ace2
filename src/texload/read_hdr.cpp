// Radiance RGBE images: a text header, a resolution line that gives the scanline order,
// then scanlines of shared-exponent pixels, flat or run-length encoded. Decoded into
// A32B32G32R32F pixels of a buffer of the reader's own. Numbers in the header are read
// with the runtime's formatted scan under the "C" numeric locale the dispatcher set.
#include "texload/byte_reading.h"
#include "texload/decode_budget.h"
#include "texload/header_line.h"
#include "texload/image_readers.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace kv {
namespace {

constexpr char kSignature[] = "#?RADIANCE";
constexpr char kFormatKey[] = "FORMAT=";
constexpr char kExposureKey[] = "EXPOSURE=";
constexpr uint32_t kFormatNameLength = 15;

bool startsWith(const uint8_t *p, uint64_t remaining, const char *text, uint64_t length) {
  return remaining >= length && std::memcmp(p, text, length) == 0;
}

class HdrReader {
 public:
  HdrReader(DecodedImage &image, const uint8_t *data, uint32_t size)
      : image_(image), data_(data), size_(size) {}

  HRESULT read() {
    if (!readHeader() || !readResolution()) return E_FAIL;
    const HRESULT hr = allocatePixels();
    if (FAILED(hr)) return hr;
    if (!readScanlines()) {
      // A half-decoded image is of no use to anyone: the buffer goes at once.
      freeImageBuffer(image_.pixels);
      image_.pixels = nullptr;
      image_.ownsPixels = 0;
      return E_FAIL;
    }
    convertPixels();
    return S_OK;
  }

 private:
  uint64_t remaining() const { return size_ - position_; }

  void skipSpacesAndTabs() {
    while (position_ < size_ && (data_[position_] == ' ' || data_[position_] == '\t')) ++position_;
  }

  // Without a line feed the rest of the data is one line: no header can end in it, and
  // looking for one again from every later byte would take time in the square of its length.
  void skipLine() {
    const void *feed = std::memchr(data_ + position_, '\n', remaining());
    position_ = feed ? static_cast<const uint8_t *>(feed) - data_ + 1 : size_;
  }

  bool readHeader() {
    bool formatSeen = false;
    while (position_ < size_) {
      const uint8_t *p = data_ + position_;
      if (*p == '\n') {
        ++position_;
        break;
      }
      if (remaining() > 7 && startsWith(p, remaining(), kFormatKey, 7)) {
        position_ += 7;
        skipSpacesAndTabs();
        if (position_ >= size_ || remaining() < kFormatNameLength + 1) return false;
        const uint8_t *name = data_ + position_;
        if (std::memcmp(name, "32-bit_rle_rgbe", kFormatNameLength) != 0 &&
            std::memcmp(name, "32-bit_rle_xyze", kFormatNameLength) != 0)
          return false;
        // The name and the byte after it, normally the line feed. A carriage return and
        // line feed go together, so that no bare line feed is left to end the header;
        // anything else after the name starts what is read as the next line.
        position_ += kFormatNameLength;
        position_ += startsWith(data_ + position_, remaining(), "\r\n", 2) ? 2 : 1;
        formatSeen = true;
      } else if (remaining() > 9 && startsWith(p, remaining(), kExposureKey, 9)) {
        position_ += 9;
        skipSpacesAndTabs();
        if (position_ >= size_) return false;
        HeaderLine line;
        char extra[HeaderLine::kCapacity];
        float exposure = 0;
        if (!copyHeaderLine(data_ + position_, remaining(), line) ||
            std::sscanf(line.text, "%f%255s", &exposure, extra) != 1)
          return false;
        exposure_ *= exposure;
        position_ += line.length + 1;
      } else {
        skipLine();
      }
    }
    return formatSeen;
  }

  // Past what "%u" takes: whitespace, one sign, digits.
  static const char *skipCount(const char *p) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    if (*p == '+' || *p == '-') ++p;
    while (*p >= '0' && *p <= '9') ++p;
    return p;
  }

  // "-Y height +X width" in the usual case; the first axis is the one along which
  // scanlines follow each other.
  bool readResolution() {
    HeaderLine line;
    if (!copyHeaderLine(data_ + position_, remaining(), line) || line.length <= 2) return false;
    position_ += line.length + 1;
    const char *text = line.text;
    if ((text[0] != '-' && text[0] != '+') || (text[1] != 'Y' && text[1] != 'X')) return false;
    unsigned firstCount = 0;
    if (std::sscanf(text + 2, "%u", &firstCount) != 1) return false;
    const char *second = std::strpbrk(skipCount(text + 2), "+-");
    if (!second || (second[1] != 'Y' && second[1] != 'X')) return false;
    unsigned secondCount = 0;
    if (std::sscanf(second + 2, "%u", &secondCount) != 1) return false;

    columnMajor_ = text[1] == 'X';
    const char ySign = columnMajor_ ? second[0] : text[0];
    const char xSign = columnMajor_ ? text[0] : second[0];
    topFirst_ = ySign == '-';
    leftFirst_ = xSign == '+';
    image_.width = columnMajor_ ? firstCount : secondCount;
    image_.height = columnMajor_ ? secondCount : firstCount;
    return true;
  }

  // Run-length scanlines, the ones writers make, hold at best 127 pixels in a run of two
  // bytes for each of the four components, after their 4-byte start. Repeat groups of
  // flat scanlines can say more in fewer bytes, but only within the budget's floor.
  DecodeCost decodeCost(uint64_t pixelCount) const {
    DecodeCost cost;
    cost.pixels = pixelCount;
    cost.bytes = pixelCount * 16;
    cost.fileBytes = size_;
    const uint64_t runs = (uint64_t(scanlineLength_) + 126) / 127;
    cost.leastFileBytes = position_ + uint64_t(scanlines_) * (4 + runs * 4 * 2);
    return cost;
  }

  HRESULT allocatePixels() {
    image_.format = D3DFMT_A32B32G32R32F;
    image_.rowPitch = image_.width * 16;
    image_.depth = 1;
    image_.slicePitch = 0;
    const uint64_t pixelCount = static_cast<uint64_t>(image_.width) * image_.height;
    if (pixelCount == 0) return E_FAIL;
    scanlines_ = columnMajor_ ? image_.width : image_.height;
    scanlineLength_ = columnMajor_ ? image_.height : image_.width;
    // Every scanline takes four bytes at least: shorter data cannot hold the image, and
    // is refused before a buffer is taken for it.
    if (!fitsImageBytes(pixelCount, 16) || remaining() / 4 < scanlines_) return E_FAIL;
    const HRESULT budget = checkDecodeBudget(decodeCost(pixelCount));
    if (FAILED(budget)) return budget;
    uint8_t *pixels = allocateImageBuffer(static_cast<size_t>(pixelCount * 16));
    if (!pixels) return E_OUTOFMEMORY;
    image_.pixels = pixels;
    image_.ownsPixels = 1;
    return S_OK;
  }

  // The four floats of pixel i of scanline s.
  float *pixelAt(uint32_t s, uint32_t i) const {
    const uint32_t major = columnMajor_ ? (leftFirst_ ? s : image_.width - 1 - s)
                                        : (topFirst_ ? s : image_.height - 1 - s);
    const uint32_t minor = columnMajor_ ? (topFirst_ ? i : image_.height - 1 - i)
                                        : (leftFirst_ ? i : image_.width - 1 - i);
    const uint32_t x = columnMajor_ ? major : minor;
    const uint32_t y = columnMajor_ ? minor : major;
    return reinterpret_cast<float *>(image_.pixels + static_cast<size_t>(y) * image_.rowPitch) + x * 4;
  }

  static void storeRaw(float *out, const uint8_t *rgbe) {
    for (int c = 0; c < 4; ++c) out[c] = rgbe[c];
  }

  bool readScanlines() {
    for (uint32_t s = 0; s < scanlines_; ++s) {
      if (remaining() < 4) return false;
      const uint8_t *start = data_ + position_;
      position_ += 4;
      const bool rle = start[0] == 2 && start[1] == 2 && start[2] < 128;
      if (rle ? !readRleScanline(s, start[2] << 8 | start[3]) : !readFlatScanline(s, start))
        return false;
    }
    return true;
  }

  bool readRleScanline(uint32_t s, uint32_t length) {
    if (length != scanlineLength_) return false;
    for (int component = 0; component < 4; ++component) {
      uint32_t covered = 0;
      while (covered < length) {
        if (remaining() < 2) return false;
        const uint32_t c = data_[position_];
        if (c > 128) {
          const uint32_t run = c - 128;
          if (run > length - covered) return false;
          const float value = data_[position_ + 1];
          for (uint32_t i = 0; i < run; ++i) pixelAt(s, covered + i)[component] = value;
          covered += run;
          position_ += 2;
        } else {
          if (remaining() < c + 1) return false;
          if (c > length - covered) return false;
          const uint8_t *values = data_ + position_ + 1;
          for (uint32_t i = 0; i < c; ++i) pixelAt(s, covered + i)[component] = values[i];
          covered += c;
          position_ += c + 1;
        }
      }
    }
    return true;
  }

  // Groups 1, 1, 1, n repeat the previous pixel; consecutive ones extend the count by
  // eight bits each, least significant part first.
  bool readFlatScanline(uint32_t s, const uint8_t *first) {
    storeRaw(pixelAt(s, 0), first);
    uint32_t filled = 1;
    uint32_t shift = 0;
    while (filled < scanlineLength_) {
      if (remaining() < 4) return false;
      const uint8_t *group = data_ + position_;
      position_ += 4;
      if (group[0] == 1 && group[1] == 1 && group[2] == 1) {
        // A count shifted past 32 bits exceeds any scanline; shifting that far is not done.
        if (group[3] != 0 && shift >= 32) return false;
        const uint64_t count = shift >= 32 ? 0 : static_cast<uint64_t>(group[3]) << shift;
        if (count > scanlineLength_ - filled) return false;
        const float *previous = pixelAt(s, filled - 1);
        for (uint32_t i = 0; i < count; ++i) std::memcpy(pixelAt(s, filled + i), previous, 16);
        filled += static_cast<uint32_t>(count);
        shift += 8;
      } else {
        storeRaw(pixelAt(s, filled++), group);
        shift = 0;
      }
    }
    return true;
  }

  // Mantissas m and exponent E become (m + 0.5) / 256 * 2^(E - 128), over the exposure.
  void convertPixels() {
    float *p = reinterpret_cast<float *>(image_.pixels);
    const uint64_t count = static_cast<uint64_t>(image_.width) * image_.height;
    for (uint64_t i = 0; i < count; ++i, p += 4) {
      const int exponent = static_cast<int>(p[3]) - 136;
      for (int c = 0; c < 3; ++c)
        p[c] = static_cast<float>(std::ldexp(p[c] + 0.5, exponent) / exposure_);
      p[3] = 1.0f;
    }
  }

  DecodedImage &image_;
  const uint8_t *data_;
  uint64_t size_;
  uint64_t position_ = 0;
  double exposure_ = 1.0;
  bool columnMajor_ = false;
  bool topFirst_ = true;
  bool leftFirst_ = true;
  uint32_t scanlines_ = 0;
  uint32_t scanlineLength_ = 0;
};

}  // namespace

HRESULT readHdr(DecodedImage &image, const uint8_t *data, uint32_t size) {
  const uint32_t signatureLength = sizeof kSignature - 1;
  if (size <= signatureLength || std::memcmp(data, kSignature, signatureLength) != 0) return E_FAIL;
  return HdrReader(image, data, size).read();
}

}  // namespace kv
