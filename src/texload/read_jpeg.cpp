// JPEG files through the JPEG library's decompressor, fed from memory. Greyscale images
// become L8, colour images X8R8G8B8; four-component (CMYK) images are refused.
#include "texload/image_readers.h"

#include <algorithm>
#include <cstring>

#include "math/direct3d_settings.h"
#include "texload/decode_budget.h"
#include "texload/jpeg_source.h"

namespace kv {

namespace {

// Everything the library's error exit may jump over: plain data only, so that the jump
// skips no destructor.
struct JpegDecode {
  jpeg_decompress_struct decompressor;
  JpegErrorManager errors;
  bool allocatingRow;  // the library's row buffer is being made: a memory failure is ours to report
};

// Colour rows from the library in its own byte order, red, green, blue: into the record's
// blue, green, red, 0.
void storeColourRow(const JSAMPLE *samples, uint8_t *row, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, samples += 3, row += 4) {
    row[0] = samples[2];
    row[1] = samples[1];
    row[2] = samples[0];
    row[3] = 0;
  }
}

// Colour rows the library wrote as blue, green, red and a fourth byte of its own: that byte
// becomes 0.
void clearFourthBytes(uint8_t *row, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x) row[4 * size_t(x) + 3] = 0;
}

// Blocks of the component with the fewest: every one of them costs something in each scan
// that carries it.
uint64_t fewestBlocks(const jpeg_decompress_struct &decompressor) {
  uint64_t fewest = UINT64_MAX;
  for (int c = 0; c < decompressor.num_components; ++c) {
    const jpeg_component_info &component = decompressor.comp_info[c];
    fewest = std::min(fewest, uint64_t(component.width_in_blocks) * component.height_in_blocks);
  }
  return fewest;
}

// Huffman coding spends at least one bit on every block, so data shorter than one bit a
// block of the smallest component cannot hold the image, whatever its size; refusing it
// at once keeps a 192-byte header that says 26625 x 16642 from costing anything.
bool huffmanDataCanHoldImage(const jpeg_decompress_struct &decompressor, uint32_t size) {
  return decompressor.arith_code || uint64_t(size) * 8 >= fewestBlocks(decompressor);
}

// Arithmetic coding of a flat picture spends far less than a bit on a block (a flat
// 16000 x 16000 colour image takes a few hundred bytes); files of real pictures spend
// more than a byte on every 64 blocks. A decode that costs more than the budget's floor
// asks that much of the data.
constexpr uint64_t kArithmeticBlocksPerByte = 64;

// What decoding costs: the record's pixels, and for files of several scans (progressive
// ones above all) the library's coefficients of the whole image, 64 two-byte values a
// block, kept until the last scan is in.
DecodeCost jpegDecodeCost(jpeg_decompress_struct &decompressor, uint32_t size) {
  DecodeCost cost;
  const uint64_t width = decompressor.image_width, height = decompressor.image_height;
  cost.pixels = width * height;
  cost.bytes = width * height * (decompressor.num_components == 1 ? 1 : 4);
  if (jpeg_has_multiple_scans(&decompressor)) {
    for (int c = 0; c < decompressor.num_components; ++c) {
      const jpeg_component_info &component = decompressor.comp_info[c];
      // Rounded up to whole groups of the component's sampling factors, or a little over.
      const uint64_t columns = component.width_in_blocks + uint64_t(component.h_samp_factor);
      const uint64_t rows = component.height_in_blocks + uint64_t(component.v_samp_factor);
      cost.bytes += columns * rows * sizeof(JBLOCK);
    }
  }
  cost.fileBytes = size;
  const uint64_t blocks = fewestBlocks(decompressor);
  cost.leastFileBytes = decompressor.arith_code ? blocks / kArithmeticBlocksPerByte : (blocks + 7) / 8;
  return cost;
}

// Steps after the decompressor exists. Any fatal library error leaves through the recovery
// point set by readJpeg.
HRESULT decode(JpegDecode &d, DecodedImage &image, const uint8_t *data, uint32_t size) {
  jpeg_decompress_struct &decompressor = d.decompressor;
  // No working-memory limit is set: the installed library has no backing store to spill
  // to, so a limit would only make large progressive images fail.
  installJpegMemorySource(decompressor, data, size);
  jpeg_read_header(&decompressor, TRUE);
  if (!huffmanDataCanHoldImage(decompressor, size)) return E_FAIL;
  // Before the library allocates anything that grows with the image.
  const HRESULT budget = checkDecodeBudget(jpegDecodeCost(decompressor, size));
  if (FAILED(budget)) return budget;
  if (!isMmxUsable()) decompressor.dct_method = JDCT_IFAST;
#if defined(JCS_EXTENSIONS)
  // Where the library can, it writes colour pixels straight in the record's byte order.
  if (decompressor.out_color_space == JCS_RGB) decompressor.out_color_space = JCS_EXT_BGRX;
#endif
  d.errors.headerRead = true;
  jpeg_start_decompress(&decompressor);

  const int components = decompressor.output_components;
#if defined(JCS_EXTENSIONS)
  const bool bgrx = decompressor.out_color_space == JCS_EXT_BGRX;
#else
  const bool bgrx = false;
#endif
  if (components != 1 && components != 3 && !bgrx) return E_FAIL;  // CMYK and YCCK
  const uint32_t width = decompressor.output_width, height = decompressor.output_height;
  const uint32_t rowPitch = components == 1 ? width : width * 4;  // width is at most 65500
  const uint64_t bytes = uint64_t(rowPitch) * height;  // within the budget, below 2 GiB
  image.format = components == 1 ? D3DFMT_L8 : D3DFMT_X8R8G8B8;
  image.width = width;
  image.height = height;
  image.depth = 1;
  image.rowPitch = rowPitch;
  image.slicePitch = 0;
  if (!image.decodePixels) return S_OK;

  image.pixels = allocateImageBuffer(static_cast<size_t>(bytes));
  if (!image.pixels) return E_OUTOFMEMORY;
  image.ownsPixels = 1;
  // Grey and BGRX rows go straight into the record; RGB rows pass through one row of samples.
  JSAMPARRAY samples = nullptr;
  if (components == 3) {
    d.allocatingRow = true;
    samples = decompressor.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&decompressor), JPOOL_IMAGE, width * 3, 1);
    d.allocatingRow = false;
  }
  while (decompressor.output_scanline < height) {
    uint8_t *row = image.pixels + size_t(decompressor.output_scanline) * rowPitch;
    JSAMPROW target = samples ? samples[0] : row;
    if (jpeg_read_scanlines(&decompressor, &target, 1) != 1) return E_FAIL;
    if (samples)
      storeColourRow(samples[0], row, width);
    else if (bgrx)
      clearFourthBytes(row, width);
  }
  jpeg_finish_decompress(&decompressor);
  return S_OK;
}

}  // namespace

HRESULT readJpeg(DecodedImage &image, const uint8_t *data, uint32_t size) {
  if (!data || size == 0) return E_FAIL;
  JpegDecode d = {};
  installJpegErrorManager(d.decompressor, d.errors);
  if (setjmp(d.errors.recovery)) {
    const bool rowMemory = d.allocatingRow && d.errors.library.msg_code == JERR_OUT_OF_MEMORY;
    jpeg_destroy_decompress(&d.decompressor);
    return rowMemory ? E_OUTOFMEMORY : E_FAIL;
  }
  jpeg_create_decompress(&d.decompressor);
  const HRESULT result = decode(d, image, data, size);
  jpeg_destroy_decompress(&d.decompressor);
  return result;
}

}  // namespace kv
