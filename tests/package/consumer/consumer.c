/* A host in C: draws one frame through the exports and checks that the quad is in it. */
#include <stdio.h>

#include "kvhost.h"
#include "kvpolygon.h"

int main(void) {
  enum { kWidth = 64, kHeight = 48 };
  setWindowSize(kWidth, kHeight);
  const float quad[8] = {-100, 100, -100, -100, 100, 100, 100, -100};
  const uint32_t polygon = makePolygon(1, quad);
  const uint32_t frame = kvhost_image_create(kWidth, kHeight);
  if (polygon == 0 || frame == 0) {
    fprintf(stderr, "consumer: makePolygon %u, kvhost_image_create %u\n", polygon, frame);
    return 1;
  }
  const int32_t result = drawPaint(frame, kWidth, kHeight);
  const uint32_t *pixels = kvhost_image_pixels(frame);
  const uint32_t centre = pixels[(kHeight / 2) * kWidth + kWidth / 2], corner = pixels[0];
  printf("consumer: drawPaint %d, centre 0x%08X, corner 0x%08X\n", (int)result, (unsigned)centre, (unsigned)corner);
  kvhost_image_destroy(frame);
  dispose();
  return result == 0 && centre == 0xFFFFFFFFu && corner == 0 ? 0 : 1;
}
