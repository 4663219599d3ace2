// Portable pixmaps: "P3" (samples as decimal text) and "P6" (samples as bytes), decoded
// into X8R8G8B8 pixels of a buffer of the reader's own.
#include "texload/byte_reading.h"
#include "texload/decode_budget.h"
#include "texload/image_readers.h"

namespace kv {
namespace {

enum Field : uint32_t { kWidth, kHeight, kMaximum, kRed, kGreen, kBlue };

// The runtime's whitespace set, without depending on the current locale.
bool isSpace(uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Samples above the maximum would spill into the neighbouring channel of the pixel word,
// so they are held at full intensity instead.
uint32_t scaleSample(uint32_t sample, uint32_t maximum) {
  const uint64_t scaled = static_cast<uint64_t>(sample) * 255 / maximum;
  return scaled > 255 ? 255 : static_cast<uint32_t>(scaled);
}

class PixmapReader {
 public:
  PixmapReader(DecodedImage &image, const uint8_t *data, uint32_t size)
      : image_(image), data_(data), size_(size), binary_(data[1] == '6') {}

  HRESULT read() {
    position_ = 2;
    while (position_ < size_) {
      if (binary_ && field_ == kRed) return readBinaryPixels();
      const uint8_t c = data_[position_];
      if (isSpace(c)) {
        ++position_;
      } else if (c == '#') {
        if (!skipComment()) return E_FAIL;
      } else {
        uint32_t value = 0;
        if (!readToken(value)) return E_FAIL;
        const HRESULT hr = takeField(value);
        if (hr != S_FALSE) return hr;
      }
    }
    return E_FAIL;  // the data ended before the last pixel
  }

 private:
  bool skipComment() {
    while (position_ < size_) {
      if (data_[position_++] == '\n') return true;
    }
    return false;
  }

  // A run of decimal digits up to whitespace or the end of the data.
  bool readToken(uint32_t &value) {
    uint64_t number = 0;
    while (position_ < size_ && !isSpace(data_[position_])) {
      const uint8_t c = data_[position_++];
      if (c < '0' || c > '9') return false;
      number = number * 10 + (c - '0');
      if (number > 0xFFFFFFFFu) return false;
    }
    value = static_cast<uint32_t>(number);
    return true;
  }

  // S_FALSE: the field is taken and more follow.
  HRESULT takeField(uint32_t value) {
    switch (field_) {
      case kWidth:
        if (value == 0) return E_FAIL;
        image_.width = value;
        field_ = kHeight;
        return S_FALSE;
      case kHeight: {
        if (value == 0) return E_FAIL;
        const HRESULT hr = allocatePixels(value);
        if (FAILED(hr)) return hr;
        field_ = kMaximum;
        return S_FALSE;
      }
      case kMaximum:
        if (value == 0) return E_FAIL;
        maximum_ = value;
        field_ = kRed;
        return S_FALSE;
      case kRed:
        current_ = 0xFF000000u | scaleSample(value, maximum_) << 16;
        field_ = kGreen;
        return S_FALSE;
      case kGreen:
        current_ |= scaleSample(value, maximum_) << 8;
        field_ = kBlue;
        return S_FALSE;
      case kBlue:
        current_ |= scaleSample(value, maximum_);
        field_ = kRed;
        return storePixel();
    }
    return E_FAIL;
  }

  HRESULT allocatePixels(uint32_t height) {
    const uint64_t pixelCount = static_cast<uint64_t>(image_.width) * height;
    // Every pixel takes at least three bytes in either form: data shorter than that can
    // never complete the image, so it is refused before a buffer is taken for it.
    if (!fitsImageBytes(pixelCount, 4) || pixelCount * 3 > size_ - position_) return E_FAIL;
    DecodeCost cost;
    cost.pixels = pixelCount;
    cost.bytes = pixelCount * 4;
    cost.fileBytes = size_;
    const HRESULT budget = checkDecodeBudget(cost);
    if (FAILED(budget)) return budget;
    uint8_t *pixels = allocateImageBuffer(static_cast<size_t>(pixelCount * 4));
    if (!pixels) return E_OUTOFMEMORY;
    image_.pixels = pixels;
    image_.ownsPixels = 1;
    image_.format = D3DFMT_X8R8G8B8;
    image_.rowPitch = image_.width * 4;
    image_.height = height;
    image_.depth = 1;
    image_.slicePitch = 0;
    pixelCount_ = pixelCount;
    return S_OK;
  }

  // S_OK once the last pixel is stored, S_FALSE while more are wanted.
  HRESULT storePixel() {
    const uint8_t word[4] = {static_cast<uint8_t>(current_), static_cast<uint8_t>(current_ >> 8),
                             static_cast<uint8_t>(current_ >> 16),
                             static_cast<uint8_t>(current_ >> 24)};
    uint8_t *out = image_.pixels + pixelsStored_ * 4;
    for (int i = 0; i < 4; ++i) out[i] = word[i];
    return ++pixelsStored_ == pixelCount_ ? S_OK : S_FALSE;
  }

  HRESULT readBinaryPixels() {
    if (maximum_ > 255) return E_FAIL;
    // One whitespace byte ends the header; a carriage return before it belongs to it.
    if (data_[position_] == '\r' && size_ - position_ > 1) ++position_;
    ++position_;
    for (;;) {
      if (size_ - position_ < 3) return E_FAIL;
      const uint8_t *sample = data_ + position_;
      position_ += 3;
      current_ = 0xFF000000u | scaleSample(sample[0], maximum_) << 16 |
                 scaleSample(sample[1], maximum_) << 8 | scaleSample(sample[2], maximum_);
      const HRESULT hr = storePixel();
      if (hr != S_FALSE) return hr;
    }
  }

  DecodedImage &image_;
  const uint8_t *data_;
  uint64_t size_;
  bool binary_;
  uint64_t position_ = 0;
  Field field_ = kWidth;
  uint32_t maximum_ = 0;
  uint32_t current_ = 0;
  uint64_t pixelCount_ = 0;
  uint64_t pixelsStored_ = 0;
};

}  // namespace

HRESULT readPpm(DecodedImage &image, const uint8_t *data, uint32_t size) {
  if (size <= 2 || data[0] != 'P' || (data[1] != '3' && data[1] != '6')) return E_FAIL;
  return PixmapReader(image, data, size).read();
}

}  // namespace kv
