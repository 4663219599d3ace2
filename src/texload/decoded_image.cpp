#include "texload/decoded_image.h"

#include <new>

#include "gfx/pixel_block.h"

namespace kv {

void clearDecodedImage(DecodedImage &image) {
  image.format = 0;
  image.pixels = nullptr;
  image.palette = nullptr;
  image.nextMip = nullptr;
  image.nextFace = nullptr;
  image.ownsPixels = 0;
  image.ownsPalette = 0;
}

namespace {

// Frees every image of a chain linked through `link`, unlinking each before its release.
void releaseChain(DecodedImage *image, DecodedImage *DecodedImage::*link) {
  while (image) {
    DecodedImage *next = image->*link;
    image->*link = nullptr;
    releaseDecodedImage(*image);
    delete image;
    image = next;
  }
}

}  // namespace

void releaseDecodedImage(DecodedImage &image) {
  if (image.ownsPixels) freeImageBuffer(image.pixels);
  if (image.ownsPalette) freeImageBuffer(image.palette);
  // Walk the mip chain iteratively so that a long chain cannot exhaust the stack.
  DecodedImage *mip = image.nextMip;
  DecodedImage *face = image.nextFace;
  clearDecodedImage(image);
  releaseChain(mip, &DecodedImage::nextMip);
  releaseChain(face, &DecodedImage::nextFace);
}

uint32_t decodedLevelCount(const DecodedImage &image) {
  uint32_t count = 1;
  for (const DecodedImage *mip = image.nextMip; mip; mip = mip->nextMip) ++count;
  return count;
}

uint8_t *allocateImageBuffer(size_t bytes) { return allocatePixelBlock(bytes, BlockContents::Zeroed); }

uint8_t *allocateImageBufferToFill(size_t bytes) { return allocatePixelBlock(bytes, BlockContents::Unset); }

void freeImageBuffer(uint8_t *buffer) { freePixelBlock(buffer); }

DecodedImage *newLinkedImage() { return new (std::nothrow) DecodedImage(); }

}  // namespace kv
