// The transforms of the SSE and SSE2 sets, one vector at a time and over strided arrays.
// The arrays keep the matrix rows in registers for the whole array; each element is read
// completely before its result is stored, so the output may lie over the input.
#include "math/sse/simd_routines.h"

#if KV_MATH_HAS_SIMD
#include <xmmintrin.h>

#include "math/sse/sse_ops.h"

namespace kv {

using namespace sse;

namespace {

// The per-element steps: load the input, transform, store the output.
struct Vec2Transform {
  KV_TARGET_SSE void operator()(void *out, const void *in, const Rows &m) const {
    store4(out, point2Times(in, m));
  }
};
struct Vec2TransformPoint {
  KV_TARGET_SSE void operator()(void *out, const void *in, const Rows &m) const {
    store2(out, divideByW(point2Times(in, m)));
  }
};
struct Vec2TransformDirection {
  KV_TARGET_SSE void operator()(void *out, const void *in, const Rows &m) const {
    store2(out, direction2Times(in, m));
  }
};
struct Vec3Transform {
  KV_TARGET_SSE void operator()(void *out, const void *in, const Rows &m) const {
    store4(out, pointTimes(in, m));
  }
};
struct Vec3TransformPoint {
  KV_TARGET_SSE void operator()(void *out, const void *in, const Rows &m) const {
    store3(out, divideByW(pointTimes(in, m)));
  }
};
struct Vec3TransformDirection {
  KV_TARGET_SSE void operator()(void *out, const void *in, const Rows &m) const {
    store3(out, directionTimes(in, m));
  }
};
// Planes transform as 4-vectors.
struct Vec4Transform {
  KV_TARGET_SSE void operator()(void *out, const void *in, const Rows &m) const {
    store4(out, times(load4(in), m));
  }
};

template <typename Step, typename Out, typename In>
KV_TARGET_SSE inline Out *one(Out *out, const In *in, const Matrix *m) {
  Step()(out, in, loadRows(m));
  return out;
}

template <typename Step, typename Out, typename In>
KV_TARGET_SSE inline Out *array(Out *out, UINT outStride, const In *in, UINT inStride, const Matrix *m, UINT count) {
  const Rows rows = loadRows(m);
  unsigned char *to = reinterpret_cast<unsigned char *>(out);
  const unsigned char *from = reinterpret_cast<const unsigned char *>(in);
  for (UINT i = 0; i < count; ++i, to += outStride, from += inStride) Step()(to, from, rows);
  return out;
}

}  // namespace

KV_TARGET_SSE Vector4 *sseVec2Transform(Vector4 *out, const Vector2 *v, const Matrix *m) {
  return one<Vec2Transform>(out, v, m);
}
KV_TARGET_SSE Vector4 *sseVec3Transform(Vector4 *out, const Vector3 *v, const Matrix *m) {
  return one<Vec3Transform>(out, v, m);
}
KV_TARGET_SSE Vector4 *sseVec4Transform(Vector4 *out, const Vector4 *v, const Matrix *m) {
  return one<Vec4Transform>(out, v, m);
}
KV_TARGET_SSE Plane *ssePlaneTransform(Plane *out, const Plane *p, const Matrix *m) {
  return one<Vec4Transform>(out, p, m);
}
KV_TARGET_SSE Vector2 *sseVec2TransformDirection(Vector2 *out, const Vector2 *v, const Matrix *m) {
  return one<Vec2TransformDirection>(out, v, m);
}
KV_TARGET_SSE Vector3 *sseVec3TransformDirection(Vector3 *out, const Vector3 *v, const Matrix *m) {
  return one<Vec3TransformDirection>(out, v, m);
}
KV_TARGET_SSE Vector2 *sseVec2TransformPoint(Vector2 *out, const Vector2 *v, const Matrix *m) {
  return one<Vec2TransformPoint>(out, v, m);
}
KV_TARGET_SSE Vector3 *sseVec3TransformPoint(Vector3 *out, const Vector3 *v, const Matrix *m) {
  return one<Vec3TransformPoint>(out, v, m);
}

KV_TARGET_SSE Vector4 *sseVec2TransformArray(Vector4 *out, UINT outStride, const Vector2 *in, UINT inStride,
                                             const Matrix *m, UINT count) {
  return array<Vec2Transform>(out, outStride, in, inStride, m, count);
}
KV_TARGET_SSE Vector2 *sseVec2TransformPointArray(Vector2 *out, UINT outStride, const Vector2 *in, UINT inStride,
                                                  const Matrix *m, UINT count) {
  return array<Vec2TransformPoint>(out, outStride, in, inStride, m, count);
}
KV_TARGET_SSE Vector2 *sseVec2TransformDirectionArray(Vector2 *out, UINT outStride, const Vector2 *in,
                                                      UINT inStride, const Matrix *m, UINT count) {
  return array<Vec2TransformDirection>(out, outStride, in, inStride, m, count);
}
KV_TARGET_SSE Vector4 *sseVec3TransformArray(Vector4 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                             const Matrix *m, UINT count) {
  return array<Vec3Transform>(out, outStride, in, inStride, m, count);
}
KV_TARGET_SSE Vector3 *sseVec3TransformPointArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                                  const Matrix *m, UINT count) {
  return array<Vec3TransformPoint>(out, outStride, in, inStride, m, count);
}
KV_TARGET_SSE Vector3 *sseVec3TransformDirectionArray(Vector3 *out, UINT outStride, const Vector3 *in,
                                                      UINT inStride, const Matrix *m, UINT count) {
  return array<Vec3TransformDirection>(out, outStride, in, inStride, m, count);
}
KV_TARGET_SSE Vector4 *sseVec4TransformArray(Vector4 *out, UINT outStride, const Vector4 *in, UINT inStride,
                                             const Matrix *m, UINT count) {
  return array<Vec4Transform>(out, outStride, in, inStride, m, count);
}
KV_TARGET_SSE Plane *ssePlaneTransformArray(Plane *out, UINT outStride, const Plane *in, UINT inStride,
                                            const Matrix *m, UINT count) {
  return array<Vec4Transform>(out, outStride, in, inStride, m, count);
}

}  // namespace kv
#endif
