#include "texload/decode_image.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

#include "texload/image_readers.h"

namespace kv {

namespace {

using ReadImage = HRESULT (*)(DecodedImage &, const uint8_t *, uint32_t);

struct ReaderTry {
  ImageFileFormat format;
  ReadImage read;
};

// Formats with a signature first; TGA and DIB, known only by plausible headers, last.
constexpr ReaderTry kReaderOrder[] = {
    {ImageFileFormat::Bmp, readBmp},  {ImageFileFormat::Ppm, readPpm},
    {ImageFileFormat::Dds, readDds},  {ImageFileFormat::Jpg, readJpeg},
    {ImageFileFormat::Png, readPng},  {ImageFileFormat::Pfm, readPfm},
    {ImageFileFormat::Hdr, readHdr},  {ImageFileFormat::Tga, readTga},
    {ImageFileFormat::Dib, readDib},
};

bool isCLocale(const char *name) { return std::strcmp(name, "C") == 0; }

// The float-map and RGBE readers scan decimal numbers with the runtime's formatted input,
// which follows the numeric locale; the files always write a decimal point. So the
// numeric locale is "C" while the readers run and the caller's is put back afterwards.
// Without a copy of the caller's locale name there is nothing to put back: it stays "C".
class NumericLocaleAsC {
 public:
  NumericLocaleAsC() {
    if (const char *name = std::setlocale(LC_NUMERIC, nullptr)) {
      const size_t bytes = std::strlen(name) + 1;
      saved_ = static_cast<char *>(std::malloc(bytes));
      if (saved_) std::memcpy(saved_, name, bytes);
    }
    if (!saved_ || !isCLocale(saved_)) std::setlocale(LC_NUMERIC, "C");
  }
  ~NumericLocaleAsC() {
    if (saved_ && !isCLocale(saved_)) std::setlocale(LC_NUMERIC, saved_);
    std::free(saved_);
  }
  NumericLocaleAsC(const NumericLocaleAsC &) = delete;
  NumericLocaleAsC &operator=(const NumericLocaleAsC &) = delete;

 private:
  char *saved_ = nullptr;
};

bool tryReaders(DecodedImage &image, const uint8_t *data, uint32_t size, BOOL decodePixels) {
  NumericLocaleAsC locale;
  for (const ReaderTry &reader : kReaderOrder) {
    image.decodePixels = static_cast<uint32_t>(decodePixels);
    image.resourceType = D3DRTYPE_TEXTURE;
    image.fileFormat = reader.format;
    if (SUCCEEDED(reader.read(image, data, size))) return true;
    // Whatever the reader left reachable goes, so the next one starts from a clean record.
    releaseDecodedImage(image);
  }
  return false;
}

// Two private 16-bit layouts are reported as the nearest Direct3D 9 formats.
D3DFORMAT reportedFormat(uint32_t format) {
  if (format == FMT_A16L16) return D3DFMT_A8L8;
  if (format == FMT_R16G16B16) return D3DFMT_A16B16G16R16;
  return static_cast<D3DFORMAT>(format);
}

void fillImageInfo(const DecodedImage &image, ImageInfo &info) {
  info = ImageInfo{};
  info.width = image.width;
  info.height = image.height;
  info.depth = image.depth;
  info.mipLevels = decodedLevelCount(image);
  info.format = reportedFormat(image.format);
  info.resourceType = static_cast<D3DRESOURCETYPE>(image.resourceType);
  info.fileFormat = image.fileFormat;
}

// Every level of every face is used whole.
void setWholeBoxes(DecodedImage &image) {
  for (DecodedImage *face = &image; face; face = face->nextFace) {
    for (DecodedImage *level = face; level; level = level->nextMip) {
      const uint32_t box[6] = {0, 0, level->width, level->height, 0, level->depth};
      std::memcpy(level->box, box, sizeof box);
    }
  }
}

}  // namespace

HRESULT decodeImage(DecodedImage &image, const void *data, uint32_t size, ImageInfo *info,
                    BOOL decodePixels) {
  if (!data || size == 0) return D3DERR_INVALIDCALL;
  if (!info && !decodePixels) return S_OK;
  if (!tryReaders(image, static_cast<const uint8_t *>(data), size, decodePixels)) {
    return ERR_INVALIDDATA;
  }
  if (info) fillImageInfo(image, *info);
  setWholeBoxes(image);
  return S_OK;
}

}  // namespace kv
