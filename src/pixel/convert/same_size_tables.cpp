// Same-size conversions through tables. When every channel of the source is one byte and
// the destination stores each channel in a field of its own, a destination pixel is the
// combination of one table entry per source byte. The tables are filled by the codecs
// themselves (a 256-pixel row per source byte), so the result is the codecs' result, bit
// for bit, at a fraction of the cost. Common table shapes run as vector kernels: bytes
// kept in place (X8R8G8B8 -> A8R8G8B8), one byte spread (L8 -> A8R8G8B8), bytes scaled
// into narrower fields (A8R8G8B8 -> R5G6B5).
#include <algorithm>
#include <cstring>
#include <new>
#include <random>

#include "math/sse/simd_routines.h"
#include "pixel/convert/conversion_job.h"
#include "pixel/convert/raw_pixels.h"
#include "pixel/formats/packed_simd.h"

#if KV_MATH_HAS_SIMD
#include <immintrin.h>
#endif

namespace kv {
namespace {

// Sources whose channels each come from one byte of the pixel.
bool byteChannelSource(uint32_t format, uint32_t bytes) {
  if (bytes == 1) return true;
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_A8L8:
    case D3DFMT_V8U8:
    case D3DFMT_Q8W8V8U8:
    case D3DFMT_X8L8V8U8:
      return true;
    default:
      return false;
  }
}

// Destinations that store each channel in a bit field of its own, without mixing channels.
bool fieldPerChannelDestination(uint32_t format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_R3G3B2:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_A8:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_G16R16:
    case D3DFMT_V8U8:
    case D3DFMT_Q8W8V8U8:
    case D3DFMT_X8L8V8U8:
    case D3DFMT_V16U16:
      return true;
    default:
      return false;
  }
}

uint32_t loadWord(const uint8_t *p, uint32_t bytes) {
  uint32_t value = 0;
  std::memcpy(&value, p, bytes);  // little-endian pixel words
  return value;
}

void storeWord(uint8_t *p, uint32_t value, uint32_t bytes) { std::memcpy(p, &value, bytes); }

struct Tables {
  uint32_t sourceBytes = 0, destinationBytes = 0;
  uint32_t table[4][256] = {};  // per source byte: the destination bits it decides
  uint32_t base = 0;            // the destination bits no source byte decides
  // Colour key of a multi-byte source, compared on the raw pixel (a one-byte source has
  // the key in its table).
  bool keyed = false;
  uint32_t keyMask = 0, keyValue = 0, keyedPixel = 0;
};

// Converts `count` pixels of a private row (stride `bytes`) through a pair of private codecs
// made like the job's, into `out` words.
class RowConverter {
 public:
  RowConverter(const ConversionJob &job, bool withKey, uint32_t sourceBytes, uint32_t destinationBytes)
      : sourceBytes_(sourceBytes), destinationBytes_(destinationBytes) {
    PixelBox src = job.sourceBox, dst = job.destinationBox;
    src.data = sourceRow_;
    dst.data = destinationRow_;
    src.rowPitch = src.slicePitch = sizeof(sourceRow_);
    dst.rowPitch = dst.slicePitch = sizeof(destinationRow_);
    const uint32_t region[6] = {0, 0, 256, 1, 0, 1};
    for (int i = 0; i < 6; ++i) src.bounds[i] = src.box[i] = dst.bounds[i] = dst.box[i] = region[i];
    if (!withKey) src.colorKey = 0;
    dst.dither = dst.diffusion = false;
    // As the job's codecs were made (two gamma-encoded ends of one size run without gamma).
    src.gamma = job.source->gamma();
    dst.gamma = job.destination->gamma();
    ok_ = SUCCEEDED(createPixelCodec(dst, destination_)) && SUCCEEDED(createPixelCodec(src, source_)) &&
          SUCCEEDED(connectCodecs(*destination_, *source_));
  }

  bool ok() const { return ok_; }

  // pixels[i] (source words) -> out[i] (destination words), 256 at a time.
  void convert(const uint32_t *pixels, uint32_t *out) {
    for (uint32_t i = 0; i < 256; ++i) storeWord(sourceRow_ + i * sourceBytes_, pixels[i], sourceBytes_);
    source_->readRow(0, 0, floats_);
    destination_->writeRow(0, 0, floats_);
    for (uint32_t i = 0; i < 256; ++i) out[i] = loadWord(destinationRow_ + i * destinationBytes_, destinationBytes_);
  }

  // The source's floating reading of pixels[i].
  void read(const uint32_t *pixels, float *out) {
    for (uint32_t i = 0; i < 256; ++i) storeWord(sourceRow_ + i * sourceBytes_, pixels[i], sourceBytes_);
    source_->readRow(0, 0, out);
  }

 private:
  uint32_t sourceBytes_, destinationBytes_;
  uint8_t sourceRow_[256 * 4] = {};
  uint8_t destinationRow_[256 * 4] = {};
  float floats_[256 * 4] = {};
  std::unique_ptr<PixelCodec> source_, destination_;
  bool ok_ = false;
};

uint32_t combine(const Tables &t, uint32_t pixel) {
  uint32_t out = t.base;
  for (uint32_t k = 0; k < t.sourceBytes; ++k) out |= t.table[k][(pixel >> (8 * k)) & 0xff];
  return out;
}

// The raw form of the colour key: for each source byte, the one value whose channels read
// as the key's (mask 0xff), any value when the byte feeds no channel (mask 0). False when
// no pixel can match or the match is not of that form.
bool rawKey(RowConverter &reader, const float key[4], uint32_t sourceBytes, Tables &t) {
  uint32_t zero[256] = {};
  float base[256 * 4];
  reader.read(zero, base);
  t.keyMask = t.keyValue = 0;
  bool fed[4] = {};
  for (uint32_t k = 0; k < sourceBytes; ++k) {
    uint32_t pixels[256];
    for (uint32_t i = 0; i < 256; ++i) pixels[i] = i << (8 * k);
    float values[256 * 4];
    reader.read(pixels, values);
    bool feeds[4] = {};
    for (uint32_t i = 0; i < 256; ++i)
      for (int c = 0; c < 4; ++c) feeds[c] |= values[i * 4 + c] != base[c];
    if (!(feeds[0] || feeds[1] || feeds[2] || feeds[3])) continue;
    int matches = 0;
    uint32_t match = 0;
    for (uint32_t i = 0; i < 256; ++i) {
      bool equal = true;
      for (int c = 0; c < 4; ++c)
        if (feeds[c]) equal &= values[i * 4 + c] == key[c];
      if (equal) ++matches, match = i;
    }
    if (matches != 1) return false;
    for (int c = 0; c < 4; ++c) fed[c] |= feeds[c];
    t.keyMask |= 0xffu << (8 * k);
    t.keyValue |= match << (8 * k);
  }
  // Channels fed by no byte must equal the key by themselves.
  for (int c = 0; c < 4; ++c)
    if (!fed[c] && base[c] != key[c]) return false;
  return true;
}

bool buildTables(const ConversionJob &job, uint32_t sourceBytes, uint32_t destinationBytes, Tables &t) {
  t.sourceBytes = sourceBytes;
  t.destinationBytes = destinationBytes;
  const bool single = sourceBytes == 1;
  // The converter holds a 4 KiB float row; keep it off the stack.
  std::unique_ptr<RowConverter> converter(new (std::nothrow) RowConverter(job, single, sourceBytes, destinationBytes));
  if (!converter || !converter->ok()) return false;
  uint32_t pixels[256];
  if (single) {
    for (uint32_t i = 0; i < 256; ++i) pixels[i] = i;
    converter->convert(pixels, t.table[0]);
    return true;
  }
  // Each source byte alone, the others 0: the bits that vary with it are its field.
  uint32_t zeroOut[256];
  uint32_t zero[256] = {};
  converter->convert(zero, zeroOut);
  uint32_t fields[4] = {}, all = 0;
  for (uint32_t k = 0; k < sourceBytes; ++k) {
    for (uint32_t i = 0; i < 256; ++i) pixels[i] = i << (8 * k);
    converter->convert(pixels, t.table[k]);
    for (uint32_t i = 0; i < 256; ++i) fields[k] |= t.table[k][i] ^ zeroOut[0];
    if (fields[k] & all) return false;  // two bytes decide the same bits
    all |= fields[k];
  }
  for (uint32_t k = 0; k < sourceBytes; ++k)
    for (uint32_t i = 0; i < 256; ++i) t.table[k][i] &= fields[k];
  t.base = zeroOut[0] & ~all;
  // The formats are chosen for separable channels; a sample of whole pixels confirms it.
  std::mt19937 random(sourceBytes * 977 + destinationBytes);
  for (uint32_t i = 0; i < 256; ++i) pixels[i] = uint32_t(random()) & (sourceBytes == 4 ? ~0u : 0xffffu);
  uint32_t expected[256];
  converter->convert(pixels, expected);
  for (uint32_t i = 0; i < 256; ++i)
    if (combine(t, pixels[i]) != expected[i]) return false;
  if (job.source->hasColorKey()) {
    // A key that no pixel can match, or one not of the raw form, takes the codec path.
    t.keyed = rawKey(*converter, job.source->colorKeyFloat(), sourceBytes, t);
    if (!t.keyed) return false;
    // What a keyed pixel becomes: transparent black through the destination writer.
    std::unique_ptr<RowConverter> keyedConverter(new (std::nothrow)
                                                     RowConverter(job, true, sourceBytes, destinationBytes));
    if (!keyedConverter || !keyedConverter->ok()) return false;
    uint32_t keyPixels[256], keyOut[256];
    std::fill_n(keyPixels, 256, t.keyValue);
    keyedConverter->convert(keyPixels, keyOut);
    t.keyedPixel = keyOut[0];
  }
  return true;
}

void convertScalar(const Tables &t, const uint8_t *from, uint8_t *to, uint32_t width) {
  const uint32_t sb = t.sourceBytes, db = t.destinationBytes;
  for (uint32_t x = 0; x < width; ++x) {
    const uint32_t pixel = loadWord(from + size_t(x) * sb, sb);
    uint32_t out = combine(t, pixel);
    if (t.keyed && (pixel & t.keyMask) == t.keyValue) out = t.keyedPixel;
    storeWord(to + size_t(x) * db, out, db);
  }
}

// The vector shapes of a table set.
enum class Shape { scalar, inPlace, spread, scaled16 };

struct Kernel {
  Shape shape = Shape::scalar;
  uint32_t mask = 0, constant = 0;        // inPlace: out = (p & mask) | constant; spread: byte mask
  uint16_t scale[4] = {}, shift[4] = {};  // scaled16: field = round(b * scale / 255) << shift
};

uint32_t roundScaled(uint32_t b, uint32_t scale) {
  const uint32_t t = b * scale + 128;
  return (t + (t >> 8)) >> 8;  // b * scale / 255 rounded half up, for b * scale < 65280
}

Kernel chooseKernel(const Tables &t) {
  Kernel kernel;
  if (t.sourceBytes == 4 && t.destinationBytes == 4) {
    // Every byte either kept in its place or deciding nothing.
    uint32_t mask = 0;
    for (uint32_t k = 0; k < 4; ++k) {
      bool kept = true, none = true;
      for (uint32_t i = 0; i < 256; ++i) {
        kept &= t.table[k][i] == i << (8 * k);
        none &= t.table[k][i] == 0;
      }
      if (!kept && !none) return kernel;
      if (kept) mask |= 0xffu << (8 * k);
    }
    kernel.shape = Shape::inPlace;
    kernel.mask = mask;
    kernel.constant = t.base;
    return kernel;
  }
  if (t.sourceBytes == 1 && t.destinationBytes == 4) {
    // The byte copied into some of the four bytes, the rest constant.
    const uint32_t spread = t.table[0][255] & ~t.table[0][0];
    if ((spread & 0x01010101u) * 0xff != spread) return kernel;
    for (uint32_t i = 0; i < 256; ++i)
      if (t.table[0][i] != (t.table[0][0] | ((i * 0x01010101u) & spread))) return kernel;
    kernel.shape = Shape::spread;
    kernel.mask = spread;
    kernel.constant = t.table[0][0];
    return kernel;
  }
  if (t.sourceBytes == 4 && t.destinationBytes == 2 && !t.keyed) {
    for (uint32_t k = 0; k < 4; ++k) {
      const uint32_t field = t.table[k][255];
      if (field == 0) {
        for (uint32_t i = 0; i < 256; ++i)
          if (t.table[k][i] != 0) return kernel;
        continue;
      }
      uint32_t shift = 0;
      while (!((field >> shift) & 1)) ++shift;
      const uint32_t scale = field >> shift;
      if (scale > 255 || (scale & (scale + 1))) return kernel;  // an all-ones field of at most 8 bits
      for (uint32_t i = 0; i < 256; ++i)
        if (t.table[k][i] != roundScaled(i, scale) << shift) return kernel;
      kernel.scale[k] = uint16_t(scale);
      kernel.shift[k] = uint16_t(shift);
    }
    kernel.shape = Shape::scaled16;
    kernel.constant = t.base;
  }
  return kernel;
}

#if KV_MATH_HAS_SIMD
KV_TARGET_SSE2 uint32_t convertInPlaceSse2(const Tables &t, const Kernel &k, const uint8_t *from, uint8_t *to,
                                           uint32_t width) {
  const __m128i mask = _mm_set1_epi32(int(k.mask)), constant = _mm_set1_epi32(int(k.constant));
  const __m128i keyMask = _mm_set1_epi32(int(t.keyMask)), keyValue = _mm_set1_epi32(int(t.keyValue));
  const __m128i keyed = _mm_set1_epi32(int(t.keyedPixel));
  uint32_t x = 0;
  for (; x + 4 <= width; x += 4) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + 4 * size_t(x)));
    __m128i out = _mm_or_si128(_mm_and_si128(p, mask), constant);
    if (t.keyed) {
      const __m128i hit = _mm_cmpeq_epi32(_mm_and_si128(p, keyMask), keyValue);
      out = _mm_or_si128(_mm_and_si128(hit, keyed), _mm_andnot_si128(hit, out));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to + 4 * size_t(x)), out);
  }
  return x;
}

KV_TARGET_SSE2 uint32_t convertSpreadSse2(const Kernel &k, const uint8_t *from, uint8_t *to, uint32_t width) {
  const __m128i mask = _mm_set1_epi32(int(k.mask)), constant = _mm_set1_epi32(int(k.constant));
  uint32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + x));
    const __m128i pairs[2] = {_mm_unpacklo_epi8(bytes, bytes), _mm_unpackhi_epi8(bytes, bytes)};
    for (int half = 0; half < 2; ++half) {
      const __m128i quads[2] = {_mm_unpacklo_epi16(pairs[half], pairs[half]),
                                _mm_unpackhi_epi16(pairs[half], pairs[half])};
      for (int q = 0; q < 2; ++q)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + 4 * size_t(x + 8 * half + 4 * q)),
                         _mm_or_si128(_mm_and_si128(quads[q], mask), constant));
    }
  }
  return x;
}

// The 16-bit lanes of a 32-bit pixel hold bytes 0 and 1, and bytes 2 and 3: the low
// bytes of the lanes are bytes 0 and 2, the high bytes 1 and 3. Each lane's byte is scaled
// by its field's width and moved into place by a multiplication, then the two lanes of a
// pixel are merged.
struct LaneConstants {
  int16_t lowScale[2], highScale[2], lowPlace[2], highPlace[2];
};

LaneConstants laneConstants(const Kernel &k) {
  auto place = [&](int byte) { return int16_t(uint16_t(k.scale[byte] ? 1u << k.shift[byte] : 0u)); };
  return {{int16_t(k.scale[0]), int16_t(k.scale[2])},
          {int16_t(k.scale[1]), int16_t(k.scale[3])},
          {place(0), place(2)},
          {place(1), place(3)}};
}

KV_TARGET_SSE2 inline __m128i laneFields(__m128i bytes, __m128i scale, __m128i place) {
  const __m128i t = _mm_add_epi16(_mm_mullo_epi16(bytes, scale), _mm_set1_epi16(128));
  return _mm_mullo_epi16(_mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8), place);
}

KV_TARGET_SSE2 inline __m128i scaledPixels(__m128i v, const LaneConstants &c) {
  const __m128i low = _mm_and_si128(v, _mm_set1_epi16(0xff)), high = _mm_srli_epi16(v, 8);
  const __m128i w = _mm_or_si128(
      laneFields(low, _mm_set1_epi32(int(uint16_t(c.lowScale[0]) | uint32_t(uint16_t(c.lowScale[1])) << 16)),
                 _mm_set1_epi32(int(uint16_t(c.lowPlace[0]) | uint32_t(uint16_t(c.lowPlace[1])) << 16))),
      laneFields(high, _mm_set1_epi32(int(uint16_t(c.highScale[0]) | uint32_t(uint16_t(c.highScale[1])) << 16)),
                 _mm_set1_epi32(int(uint16_t(c.highPlace[0]) | uint32_t(uint16_t(c.highPlace[1])) << 16))));
  // Merge the two lanes of each pixel, sign-extended so that the signed pack keeps the bits.
  const __m128i merged = _mm_or_si128(w, _mm_srli_epi32(w, 16));
  return _mm_srai_epi32(_mm_slli_epi32(merged, 16), 16);
}

KV_TARGET_SSE2 uint32_t convertScaled16Sse2(const Kernel &k, const uint8_t *from, uint8_t *to, uint32_t width) {
  const LaneConstants c = laneConstants(k);
  const __m128i constant = _mm_set1_epi16(short(k.constant));
  uint32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m128i a = scaledPixels(_mm_loadu_si128(reinterpret_cast<const __m128i *>(from + 4 * size_t(x))), c);
    const __m128i b = scaledPixels(_mm_loadu_si128(reinterpret_cast<const __m128i *>(from + 4 * size_t(x) + 16)), c);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to + 2 * size_t(x)), _mm_or_si128(_mm_packs_epi32(a, b), constant));
  }
  return x;
}

KV_TARGET_AVX2 inline __m256i laneFieldsAvx2(__m256i bytes, __m256i scale, __m256i place) {
  const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(bytes, scale), _mm256_set1_epi16(128));
  return _mm256_mullo_epi16(_mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8), place);
}

KV_TARGET_AVX2 inline __m256i lanePairAvx2(const int16_t (&v)[2]) {
  return _mm256_set1_epi32(int(uint16_t(v[0]) | uint32_t(uint16_t(v[1])) << 16));
}

KV_TARGET_AVX2 inline __m256i scaledPixelsAvx2(const uint8_t *p, const LaneConstants &c) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
  const __m256i w = _mm256_or_si256(
      laneFieldsAvx2(_mm256_and_si256(v, _mm256_set1_epi16(0xff)), lanePairAvx2(c.lowScale), lanePairAvx2(c.lowPlace)),
      laneFieldsAvx2(_mm256_srli_epi16(v, 8), lanePairAvx2(c.highScale), lanePairAvx2(c.highPlace)));
  return _mm256_and_si256(_mm256_or_si256(w, _mm256_srli_epi32(w, 16)), _mm256_set1_epi32(0xffff));
}

KV_TARGET_AVX2 uint32_t convertScaled16Avx2(const Kernel &k, const uint8_t *from, uint8_t *to, uint32_t width) {
  const LaneConstants c = laneConstants(k);
  const __m256i constant = _mm256_set1_epi16(short(k.constant));
  uint32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m256i packed =
        _mm256_packus_epi32(scaledPixelsAvx2(from + 4 * size_t(x), c), scaledPixelsAvx2(from + 4 * size_t(x) + 32, c));
    // The pack works within 128-bit halves: put the quarters back in pixel order.
    const __m256i ordered = _mm256_permute4x64_epi64(packed, 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(to + 2 * size_t(x)), _mm256_or_si256(ordered, constant));
  }
  return x;
}

#endif

// One row: the vector kernel for as many pixels as it takes, the tables for the rest.
void convertRow(const Tables &t, const Kernel &k, const uint8_t *from, uint8_t *to, uint32_t width) {
  uint32_t done = 0;
#if KV_MATH_HAS_SIMD
  switch (k.shape) {
    case Shape::inPlace:
      done = convertInPlaceSse2(t, k, from, to, width);
      break;
    case Shape::spread:
      done = convertSpreadSse2(k, from, to, width);
      break;
    case Shape::scaled16:
      done = processorHasAvx2() ? convertScaled16Avx2(k, from, to, width) : 0;
      done += convertScaled16Sse2(k, from + size_t(done) * 4, to + size_t(done) * 2, width - done);
      break;
    case Shape::scalar:
      break;
  }
#endif
  convertScalar(t, from + size_t(done) * t.sourceBytes, to + size_t(done) * t.destinationBytes, width - done);
}

}  // namespace

HRESULT convertSameSizeByTables(ConversionJob &job) {
  const PixelCodec &src = *job.source, &dst = *job.destination;
  const uint32_t sourceBytes = rawBytesPerPixel(src.format()), destinationBytes = rawBytesPerPixel(dst.format());
  if (!sourceBytes || !destinationBytes || destinationBytes > 4 || sourceBytes == 3) return E_FAIL;
  if (job.destinationBox.dither || job.destinationBox.diffusion) return E_FAIL;  // they depend on the position
  if (!byteChannelSource(src.format(), sourceBytes)) return E_FAIL;
  // The key is compared before gamma decoding; the raw key is found on decoded readings.
  if (sourceBytes > 1 && src.hasColorKey() && src.gamma()) return E_FAIL;
  if (sourceBytes > 1 && !fieldPerChannelDestination(dst.format())) return E_FAIL;
  // Filling the tables costs about a thousand pixels through the codecs.
  if (uint64_t(src.width()) * src.height() * src.depth() < 4096) return E_FAIL;
  std::unique_ptr<Tables> tables(new (std::nothrow) Tables);
  if (!tables || !buildTables(job, sourceBytes, destinationBytes, *tables)) return E_OUTOFMEMORY;
  const Kernel kernel = chooseKernel(*tables);
  const RawRegion from = rawRegion(job.sourceBox, sourceBytes), to = rawRegion(job.destinationBox, destinationBytes);
  for (uint32_t z = 0; z < src.depth(); ++z)
    for (uint32_t y = 0; y < src.height(); ++y) convertRow(*tables, kernel, from.row(y, z), to.row(y, z), src.width());
  return S_OK;
}

}  // namespace kv
