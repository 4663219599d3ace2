/* kvhost: host images in the layout kvPolygon reads and writes.
 *
 * A host names an image by a 32-bit handle. The image object lies at address handle * 2;
 * the 32-bit word at byte 16 of it points to the bitmap record, the word at byte 8 of that
 * to the bitmap-information record, and the word at byte 16 of that to the pixels: width *
 * height 32-bit pixels (blue, green, red, fourth byte), bottom row first, no row padding.
 * Every pointer is a 32-bit word, so on 64-bit systems these objects live below 4 GiB. */
#ifndef KVHOST_H
#define KVHOST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Makes an image of width x height pixels, all zero. Returns its handle, 0 on failure
 * (a size of 0 or less, a size too large, or no memory below 4 GiB). */
uint32_t kvhost_image_create(int width, int height);

/* Frees an image made by kvhost_image_create; 0 and unknown handles are ignored. */
void kvhost_image_destroy(uint32_t handle);

/* The image's pixels, bottom row first, width * height words; NULL for 0 or an unknown handle. */
uint32_t *kvhost_image_pixels(uint32_t handle);

#ifdef __cplusplus
}
#endif

#endif
