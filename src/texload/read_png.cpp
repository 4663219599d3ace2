// PNG files through the PNG library, fed from memory. The library's transformations are
// chosen so that the rows it delivers are already in the record's pixel layout.
#include "texload/image_readers.h"

#include <png.h>

#include "texload/decode_budget.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kv {

namespace {

constexpr double kScreenGamma = 2.2;
constexpr png_alloc_size_t kChunkBytes = png_alloc_size_t(8) << 20;

// The data the library reads, front to back.
struct PngMemoryReader {
  const uint8_t *data;
  size_t left;
};

void readData(png_structp png, png_bytep destination, size_t length) {
  auto *reader = static_cast<PngMemoryReader *>(png_get_io_ptr(png));
  if (length > reader->left) png_error(png, "read error");
  std::memcpy(destination, reader->data, length);
  reader->data += length;
  reader->left -= length;
}

[[noreturn]] void raiseError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void dropWarning(png_structp, png_const_charp) {}

// The palette chunk and the transparency values of a palette image, copied before the
// library's own transformations can touch them.
struct PaletteSource {
  png_color colours[256];
  int colourCount;
  png_byte alphas[256];
  int alphaCount;
};

// Everything the library's error handler may jump over: plain data only.
struct PngDecode {
  png_structp png;
  png_infop info;
  png_bytep *rows;
  PngMemoryReader reader;
  PaletteSource palette;
  double fileGamma;  // 0: no gamma correction was set
};

// The formats the reader produces, as plain numbers beside the two private codes.
constexpr uint32_t kL8 = D3DFMT_L8, kL16 = D3DFMT_L16, kA8L8 = D3DFMT_A8L8, kP8 = D3DFMT_P8;
constexpr uint32_t kR8G8B8 = D3DFMT_R8G8B8, kX8R8G8B8 = D3DFMT_X8R8G8B8, kA8R8G8B8 = D3DFMT_A8R8G8B8;
constexpr uint32_t kA16B16G16R16 = D3DFMT_A16B16G16R16;

// The format for a colour type and bit depth, before transparency and filler; 0 if none.
uint32_t baseFormat(int colourType, int bitDepth) {
  const bool wide = bitDepth == 16;
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY: return wide ? kL16 : kL8;
    case PNG_COLOR_TYPE_RGB: return wide ? FMT_R16G16B16 : kR8G8B8;
    case PNG_COLOR_TYPE_PALETTE: return wide ? 0 : kP8;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return wide ? FMT_A16L16 : kA8L8;
    case PNG_COLOR_TYPE_RGB_ALPHA: return wide ? kA16B16G16R16 : kA8R8G8B8;
    default: return 0;
  }
}

// The format once a transparency chunk has become an alpha channel.
uint32_t withAlpha(uint32_t format) {
  if (format == kR8G8B8) return kA8R8G8B8;
  if (format == kL8) return kA8L8;
  if (format == kL16) return FMT_A16L16;
  if (format == FMT_R16G16B16) return kA16B16G16R16;
  return format;
}

png_byte channelsOf(uint32_t format) {
  if (format == FMT_R16G16B16) return 3;
  if (format == kA8R8G8B8 || format == kX8R8G8B8 || format == kA16B16G16R16) return 4;
  if (format == kA8L8 || format == FMT_A16L16) return 2;
  return 1;
}

// sRGB data is left as it is; otherwise a gamma chunk is corrected for a 2.2 screen.
// Returns the file gamma that was set, 0 for none.
double chooseGamma(png_structp png, png_infop info) {
  int intent = 0;
  if (png_get_sRGB(png, info, &intent)) {
    png_set_sRGB(png, info, intent);
    return 0;
  }
  double gamma = 0;
  if (png_get_gAMA(png, info, &gamma)) {
    png_set_gamma(png, kScreenGamma, gamma);
    return gamma;
  }
  return 0;
}

void copyPaletteSource(png_structp png, png_infop info, PaletteSource &source) {
  png_colorp colours = nullptr;
  int count = 0;
  if (png_get_PLTE(png, info, &colours, &count) && colours && count > 0) {
    source.colourCount = count < 256 ? count : 256;
    std::memcpy(source.colours, colours, sizeof(png_color) * size_t(source.colourCount));
  }
  png_bytep alphas = nullptr;
  count = 0;
  if (png_get_tRNS(png, info, &alphas, &count, nullptr) && alphas && count > 0) {
    source.alphaCount = count < 256 ? count : 256;
    std::memcpy(source.alphas, alphas, size_t(source.alphaCount));
  }
}

// The record's 256 palette entries: the file's colours through the gamma table, its
// transparency values as alpha, and opaque white past the file's entries.
HRESULT buildPalette(const PaletteSource &source, double fileGamma, DecodedImage &image) {
  uint8_t table[256];
  const bool correct = fileGamma > 0.000001;
  for (int i = 0; i < 256; ++i)
    table[i] = correct ? static_cast<uint8_t>(std::pow(i / 255.0, 1.0 / (kScreenGamma * fileGamma)) * 255.0 + 0.5)
                       : static_cast<uint8_t>(i);
  image.palette = allocateImageBuffer(1024);
  if (!image.palette) return E_OUTOFMEMORY;
  image.ownsPalette = 1;
  for (int i = 0; i < 256; ++i) {
    uint8_t *entry = image.palette + 4 * i;
    if (i < source.colourCount) {
      entry[0] = table[source.colours[i].red];
      entry[1] = table[source.colours[i].green];
      entry[2] = table[source.colours[i].blue];
      entry[3] = i < source.alphaCount ? source.alphas[i] : 255;
    } else {
      std::memset(entry, 255, 4);
    }
  }
  return S_OK;
}

uint32_t readBe32(const uint8_t *p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// The library takes a buffer of a chunk's whole length before it reads the chunk, so a
// chunk that claims more than the data has left could cost up to 2 GiB from a few bytes.
// Such a file is cut short or corrupt: it is refused before the library sees it. Only the
// chunks up to the end of the image data are looked at, as only those are read.
bool chunksLieWithinTheData(const uint8_t *data, uint32_t size) {
  constexpr uint32_t kSignatureBytes = 8, kFrameBytes = 12;  // length, type, checksum
  bool imageDataSeen = false;
  for (uint64_t at = kSignatureBytes; at + kFrameBytes <= size;) {
    const uint32_t length = readBe32(data + at);
    const bool imageData = std::memcmp(data + at + 4, "IDAT", 4) == 0;
    if ((imageDataSeen && !imageData) || std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
    if (length > size - at - kFrameBytes) return false;  // at + 12 <= size here
    imageDataSeen = imageDataSeen || imageData;
    at += kFrameBytes + uint64_t(length);
  }
  return true;
}

// Samples a pixel of the colour type as the file stores it.
uint32_t storedSamples(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;  // grey, palette
  }
}

// Deflate puts at most 258 bytes into every two bits of its codes (1032 to one).
constexpr uint64_t kMostInflatedPerByte = 1032;

// Bytes of a row as the transformations deliver it: one or two bytes a sample.
uint64_t deliveredRowBytes(uint32_t width, int bitDepth, uint32_t format) {
  return uint64_t(width) * channelsOf(format) * (bitDepth == 16 ? 2 : 1);
}

// What decoding costs: the record's pixels and the row pointers, and the library's two
// rows of its own. The file must hold the filtered rows (a filter byte and the stored
// samples of each) at deflate's best.
DecodeCost pngDecodeCost(uint32_t width, uint32_t height, int bitDepth, int colourType,
                         uint32_t format, uint32_t size) {
  const uint64_t rowBytes = deliveredRowBytes(width, bitDepth, format);
  DecodeCost cost;
  cost.pixels = uint64_t(width) * height;
  cost.bytes = (rowBytes + sizeof(png_bytep)) * height + 2 * rowBytes;
  cost.fileBytes = size;
  const uint64_t storedRow = 1 + (uint64_t(width) * storedSamples(colourType) * uint32_t(bitDepth) + 7) / 8;
  cost.leastFileBytes = storedRow * height / kMostInflatedPerByte;
  return cost;
}

// Steps after the library's structures exist. Any fatal library error leaves through the
// recovery point set by readPng.
HRESULT decode(PngDecode &d, DecodedImage &image, uint32_t size) {
  png_structp png = d.png;
  png_infop info = d.info;
  png_set_read_fn(png, &d.reader, readData);
  // The library's own limits come first: no side beyond the pixel limit, and no chunk
  // (text, colour profiles; none of them used here) that takes more than 8 MiB.
  const uint64_t side = std::min<uint64_t>(decodePixelLimit(), PNG_UINT_31_MAX);
  png_set_user_limits(png, static_cast<png_uint_32>(side), static_cast<png_uint_32>(side));
  png_set_chunk_malloc_max(png, kChunkBytes);
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
  // Fuzz builds only: mutated files would nearly all stop at a checksum.
  png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#if defined(PNG_IGNORE_ADLER32)
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
#endif
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colourType = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);

  uint32_t format = baseFormat(colourType, bitDepth);
  if (!format) return E_FAIL;  // a 16-bit palette cannot occur in a valid file
  if (bitDepth == 16) png_set_swap(png);
  if (bitDepth < 8) {
    png_set_packing(png);
    if (colourType == PNG_COLOR_TYPE_GRAY) png_set_expand(png);
  }
  d.fileGamma = chooseGamma(png, info);
  if (format == kP8) {
    copyPaletteSource(png, info, d.palette);
  } else if (png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_expand(png);
    format = withAlpha(format);
  }
  if (format == kR8G8B8 || format == FMT_R16G16B16 || format == kA8R8G8B8) png_set_bgr(png);
  if (format == kR8G8B8) {
    png_set_filler(png, 255, PNG_FILLER_AFTER);
    format = kX8R8G8B8;
  }
  png_set_interlace_handling(png);
  // Before the library takes (and clears) its row buffers in png_read_update_info.
  const HRESULT budget = checkDecodeBudget(pngDecodeCost(width, height, bitDepth, colourType, format, size));
  if (FAILED(budget)) return budget;
  png_read_update_info(png, info);
  if (png_get_channels(png, info) != channelsOf(format)) return E_FAIL;

  const size_t rowBytes = png_get_rowbytes(png, info);
  if (rowBytes != deliveredRowBytes(width, bitDepth, format)) return E_FAIL;
  const uint64_t bytes = uint64_t(rowBytes) * height;  // within the budget, below 2 GiB
  image.format = format;
  image.width = width;
  image.height = height;
  image.depth = 1;
  image.rowPitch = static_cast<uint32_t>(rowBytes);
  image.slicePitch = 0;
  if (!image.decodePixels) return S_OK;

  image.pixels = allocateImageBuffer(static_cast<size_t>(bytes));
  if (!image.pixels) return E_OUTOFMEMORY;
  image.ownsPixels = 1;
  d.rows = static_cast<png_bytep *>(std::malloc(sizeof(png_bytep) * (height ? height : 1)));
  if (!d.rows) return E_OUTOFMEMORY;
  for (png_uint_32 y = 0; y < height; ++y) d.rows[y] = image.pixels + size_t(y) * rowBytes;
  png_read_image(png, d.rows);
  return format == kP8 ? buildPalette(d.palette, d.fileGamma, image) : S_OK;
}

}  // namespace

HRESULT readPng(DecodedImage &image, const uint8_t *data, uint32_t size) {
  if (!data || size == 0) return E_FAIL;
  if (png_sig_cmp(data, 0, size < 8 ? size : 8) != 0) return E_FAIL;
  if (!chunksLieWithinTheData(data, size)) return E_FAIL;
  PngDecode d = {};
  d.reader = PngMemoryReader{data, size};
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, raiseError, dropWarning);
  if (!d.png) return E_OUTOFMEMORY;
  d.info = png_create_info_struct(d.png);
  HRESULT result = E_OUTOFMEMORY;
  if (d.info) {
    if (setjmp(png_jmpbuf(d.png)) == 0)
      result = decode(d, image, size);
    else
      result = E_FAIL;
  }
  png_destroy_read_struct(&d.png, d.info ? &d.info : nullptr, nullptr);
  std::free(d.rows);
  return result;
}

}  // namespace kv
