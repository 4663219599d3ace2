// The per-pixel reference routine: any state the pipeline supports goes through here. The
// depth test runs before texturing (its result does not depend on the colour); the depth
// write waits for the alpha test.
#include <cstring>

#include "draw_context.h"

namespace kvd3d::raster {

void genericSpan(const DrawContext &ctx, const TriangleSetup &tri, const SpanRow &row, int x0, int x1) {
  uint32_t *color = colorRow(ctx.target, row.y);
  uint16_t *depth = ctx.depthTest ? depthRow(ctx.target, row.y) : nullptr;
  const int stages = ctx.cascade.stageCount;
  const int attrs = tri.attrCount;
  for (int x = x0; x < x1; ++x) {
    const float fx = static_cast<float>(x - tri.xRef);
    uint32_t z = 0;
    if (depth) {
      z = quantizeDepth(row.z + tri.z.dx * fx);
      uint16_t stored;
      std::memcpy(&stored, depth + x, sizeof stored);
      if (!passes(ctx.depthFunc, z, stored)) continue;
    }
    const float rq = 1.0f / (row.q + tri.q.dx * fx);
    float value[kMaxAttributes];
    for (int i = 0; i < attrs; ++i)
      value[i] = tri.attrConstant[i] ? tri.attrQ[i].ref : (row.attrQ[i] + tri.attrQ[i].dx * fx) * rq;
    PixelInputs in;
    in.diffuse = Color4{value[kDiffuseAttr], value[kDiffuseAttr + 1], value[kDiffuseAttr + 2], value[kDiffuseAttr + 3]};
    in.specular =
        Color4{value[kSpecularAttr], value[kSpecularAttr + 1], value[kSpecularAttr + 2], value[kSpecularAttr + 3]};
    for (int s = 0; s < stages; ++s) {
      in.uv[s][0] = value[kTexCoordAttr + 2 * s];
      in.uv[s][1] = value[kTexCoordAttr + 2 * s + 1];
    }
    const Color4 c = runCascade(ctx.cascade, in);
    if (ctx.output.alphaTest && !passes(ctx.output.alphaFunc, toByte(c.a), ctx.output.alphaRef)) continue;
    if (depth && ctx.depthWrite) {
      const uint16_t stored = static_cast<uint16_t>(z);
      std::memcpy(depth + x, &stored, sizeof stored);
    }
    uint32_t dst;
    std::memcpy(&dst, color + x, sizeof dst);
    const uint32_t out = mergePixel(ctx.output, c, dst);
    std::memcpy(color + x, &out, sizeof out);
  }
}

}  // namespace kvd3d::raster
