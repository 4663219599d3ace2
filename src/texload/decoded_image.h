// One decoded surface of an image file, linked to its further mipmap levels and cube
// faces, as the readers hand it to the texture loader.
#pragma once

#include "gfx/platform.h"
#include "pixel/formats/private_formats.h"

#include <cstdint>

namespace kv {

// The file formats, numbered as the readers report them.
enum class ImageFileFormat : uint32_t {
  Bmp = 0,
  Jpg = 1,
  Tga = 2,
  Png = 3,
  Dds = 4,
  Ppm = 5,
  Dib = 6,
  Hdr = 7,
  Pfm = 8,
};

// No reader accepted the data.
constexpr HRESULT ERR_INVALIDDATA = static_cast<HRESULT>(0x88760B59);

struct DecodedImage {
  uint32_t format = 0;               // D3DFORMAT number, or FMT_R16G16B16 / FMT_A16L16
  uint8_t *pixels = nullptr;         // first byte of the top row (first slice for volumes)
  uint8_t *palette = nullptr;        // 256 entries of red, green, blue, alpha; or null
  uint32_t width = 0, height = 0, depth = 0;
  uint32_t box[6] = {};              // left, top, right, bottom, front, back
  uint32_t rowPitch = 0;             // for block formats: one row of 4x4 blocks
  uint32_t slicePitch = 0;           // 0 where the reader made a 2D surface by itself
  uint32_t ownsPixels = 0;           // pixels are the reader's, freed with the record
  uint32_t ownsPalette = 0;
  uint32_t decodePixels = 0;         // 0: readers read only the header
  uint32_t resourceType = D3DRTYPE_TEXTURE;
  ImageFileFormat fileFormat = ImageFileFormat::Bmp;
  DecodedImage *nextMip = nullptr;   // next smaller level of the same face
  DecodedImage *nextFace = nullptr;  // top level of the next cube face (top records only)
};

// Sets format 0, drops the pointers and both ownership flags; frees nothing.
void clearDecodedImage(DecodedImage &image);

// Frees the owned buffers and the linked records (recursively), then clears the record.
// The record itself stays the caller's.
void releaseDecodedImage(DecodedImage &image);

// 1 + the length of the record's nextMip chain: the levels the file holds for this face.
uint32_t decodedLevelCount(const DecodedImage &image);

// Buffers that a record may own are allocated here and freed by releaseDecodedImage.
// They start zero-filled, so bytes a reader leaves unwritten (row padding, pixels a
// run-length stream skips) never show old heap contents. Returns null when memory runs out.
uint8_t *allocateImageBuffer(size_t bytes);
// The same, not zero-filled: only for a reader that writes every byte before any is read.
uint8_t *allocateImageBufferToFill(size_t bytes);
void freeImageBuffer(uint8_t *buffer);

// A new, cleared record for a nextMip or nextFace link; null when memory runs out.
DecodedImage *newLinkedImage();

}  // namespace kv
