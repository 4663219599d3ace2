// Vertex blending by a palette of matrices, and points of a cubic triangular patch.
#include <cstring>

#include "math/baseline/baseline_routines.h"
#include "math/baseline/triangle_patch.h"
#include "math/baseline/vector_ops.h"

namespace kv {

namespace {

constexpr UINT kMaxBlendWeights = 3;

bool fits(const VertexElement *element, UINT components, UINT stride) {
  return element->componentCount == components && element->offset <= stride &&
         stride - element->offset >= components * sizeof(float);
}

}  // namespace

// The position element holds x, y, z and then up to three blend weights (the vertex
// layout with weights after the position); with W weights the vertex is blended by
// palette matrices 0 to W, the last taking 1 minus the others' sum. blendWeights, when
// given, replaces the weights in the vertices: W floats per vertex. The normal, when
// described, is blended by the same weights through the normal palette (or the
// position palette) as a direction. The rest of each vertex is copied. A layout that
// does not fit the stride writes nothing and gives a null result.
void *baselineBlendVertices(const Matrix *palette, const Matrix *normalPalette, const void *verticesIn,
                            void *verticesOut, UINT vertexCount, UINT vertexStride, const VertexElement *position,
                            const VertexElement *normal, const float *blendWeights) {
  if (!palette || !verticesIn || !verticesOut || !position) return nullptr;
  if (position->componentCount < 3 || position->componentCount > 3 + kMaxBlendWeights) return nullptr;
  const UINT weightCount = position->componentCount - 3;
  if (!fits(position, position->componentCount, vertexStride)) return nullptr;
  if (normal && !fits(normal, 3, vertexStride)) return nullptr;
  const Matrix *normals = normalPalette ? normalPalette : palette;

  const unsigned char *from = static_cast<const unsigned char *>(verticesIn);
  unsigned char *to = static_cast<unsigned char *>(verticesOut);
  for (UINT i = 0; i < vertexCount; ++i, from += vertexStride, to += vertexStride) {
    float element[3 + kMaxBlendWeights];
    std::memcpy(element, from + position->offset, position->componentCount * sizeof(float));
    float weight[kMaxBlendWeights + 1];
    if (blendWeights)
      std::memcpy(weight, blendWeights + static_cast<size_t>(i) * weightCount, weightCount * sizeof(float));
    else
      std::memcpy(weight, element + 3, weightCount * sizeof(float));
    float last = 1.0f;
    for (UINT k = 0; k < weightCount; ++k) last -= weight[k];
    weight[weightCount] = last;

    const Vector3 p{element[0], element[1], element[2]};
    Vector3 n{};
    if (normal) std::memcpy(&n, from + normal->offset, sizeof n);
    Vector3 blendedPosition{}, blendedNormal{};
    for (UINT k = 0; k <= weightCount; ++k) {
      Vector3 moved;
      baselineVec3TransformPoint(&moved, &p, &palette[k]);
      blendedPosition = blendedPosition + moved * weight[k];
      if (normal) {
        baselineVec3TransformDirection(&moved, &n, &normals[k]);
        blendedNormal = blendedNormal + moved * weight[k];
      }
    }
    if (to != from) std::memmove(to, from, vertexStride);
    std::memcpy(to + position->offset, &blendedPosition, sizeof blendedPosition);
    if (normal) std::memcpy(to + normal->offset, &blendedNormal, sizeof blendedNormal);
  }
  return verticesOut;
}

Vector3 *baselineEvaluateTrianglePatch(const Vector3 *corners, const Vector3 *normals, const Vector2 *parameters,
                                       UINT count, Vector3 *out) {
  const TrianglePatch patch = trianglePatch(corners, normals);
  for (UINT i = 0; i < count; ++i) {
    const Vector2 uv = parameters[i];
    out[i] = evaluate(patch, uv.x, uv.y);
  }
  return out;
}

}  // namespace kv
