#include "texload/decoded_image.h"

#include <cstdlib>
#include <new>

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

void releaseDecodedImage(DecodedImage &image) {
  if (image.ownsPixels) freeImageBuffer(image.pixels);
  if (image.ownsPalette) freeImageBuffer(image.palette);
  // Walk the mip chain iteratively so that a long chain cannot exhaust the stack.
  DecodedImage *mip = image.nextMip;
  DecodedImage *face = image.nextFace;
  clearDecodedImage(image);
  while (mip) {
    DecodedImage *next = mip->nextMip;
    mip->nextMip = nullptr;
    releaseDecodedImage(*mip);
    delete mip;
    mip = next;
  }
  while (face) {
    DecodedImage *next = face->nextFace;
    face->nextFace = nullptr;
    releaseDecodedImage(*face);
    delete face;
    face = next;
  }
}

uint32_t decodedLevelCount(const DecodedImage &image) {
  uint32_t count = 1;
  for (const DecodedImage *mip = image.nextMip; mip; mip = mip->nextMip) ++count;
  return count;
}

uint8_t *allocateImageBuffer(size_t bytes) {
  return static_cast<uint8_t *>(std::calloc(bytes ? bytes : 1, 1));
}

void freeImageBuffer(uint8_t *buffer) { std::free(buffer); }

DecodedImage *newLinkedImage() { return new (std::nothrow) DecodedImage(); }

}  // namespace kv
