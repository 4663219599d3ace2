// The vector and plane operations of the math table beyond the scene's vec3Normalize.
// Each continues through its slot.
#pragma once

#include "math/math_types.h"

namespace kv {

Vector4 *vec2Transform(Vector4 *out, const Vector2 *v, const Matrix *m);
Vector4 *vec3Transform(Vector4 *out, const Vector3 *v, const Matrix *m);
Vector4 *vec4Transform(Vector4 *out, const Vector4 *v, const Matrix *m);
Vector2 *vec2TransformDirection(Vector2 *out, const Vector2 *v, const Matrix *m);
Vector3 *vec3TransformDirection(Vector3 *out, const Vector3 *v, const Matrix *m);
Vector2 *vec2TransformPoint(Vector2 *out, const Vector2 *v, const Matrix *m);
Vector3 *vec3TransformPoint(Vector3 *out, const Vector3 *v, const Matrix *m);
Vector2 *vec2Normalize(Vector2 *out, const Vector2 *v);
Vector4 *vec4Normalize(Vector4 *out, const Vector4 *v);
Vector4 *vec4Cross(Vector4 *out, const Vector4 *u, const Vector4 *v, const Vector4 *w);
Vector2 *vec2Hermite(Vector2 *out, const Vector2 *p1, const Vector2 *t1, const Vector2 *p2, const Vector2 *t2,
                     float s);
Vector3 *vec3Hermite(Vector3 *out, const Vector3 *p1, const Vector3 *t1, const Vector3 *p2, const Vector3 *t2,
                     float s);
Vector4 *vec4Hermite(Vector4 *out, const Vector4 *p1, const Vector4 *t1, const Vector4 *p2, const Vector4 *t2,
                     float s);
Vector2 *vec2CatmullRom(Vector2 *out, const Vector2 *p0, const Vector2 *p1, const Vector2 *p2, const Vector2 *p3,
                        float s);
Vector3 *vec3CatmullRom(Vector3 *out, const Vector3 *p0, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3,
                        float s);
Vector4 *vec4CatmullRom(Vector4 *out, const Vector4 *p0, const Vector4 *p1, const Vector4 *p2, const Vector4 *p3,
                        float s);
Vector2 *vec2Barycentric(Vector2 *out, const Vector2 *p1, const Vector2 *p2, const Vector2 *p3, float f, float g);
Vector3 *vec3Barycentric(Vector3 *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3, float f, float g);
Vector4 *vec4Barycentric(Vector4 *out, const Vector4 *p1, const Vector4 *p2, const Vector4 *p3, float f, float g);
Vector3 *vec3Project(Vector3 *out, const Vector3 *v, const Viewport *viewport, const Matrix *projection,
                     const Matrix *view, const Matrix *world);
// Null, with nothing written, when the matrices present cannot be inverted or the
// viewport has no width, height or depth range (the array form likewise).
Vector3 *vec3Unproject(Vector3 *out, const Vector3 *v, const Viewport *viewport, const Matrix *projection,
                       const Matrix *view, const Matrix *world);

// The strided arrays: independent byte strides (0 repeats an element), elements in index
// order, each read before its result is stored, so out may lie over in.
Vector4 *vec2TransformArray(Vector4 *out, UINT outStride, const Vector2 *in, UINT inStride, const Matrix *m,
                            UINT count);
Vector2 *vec2TransformPointArray(Vector2 *out, UINT outStride, const Vector2 *in, UINT inStride, const Matrix *m,
                                 UINT count);
Vector2 *vec2TransformDirectionArray(Vector2 *out, UINT outStride, const Vector2 *in, UINT inStride,
                                     const Matrix *m, UINT count);
Vector4 *vec3TransformArray(Vector4 *out, UINT outStride, const Vector3 *in, UINT inStride, const Matrix *m,
                            UINT count);
Vector3 *vec3TransformPointArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride, const Matrix *m,
                                 UINT count);
Vector3 *vec3TransformDirectionArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                     const Matrix *m, UINT count);
Vector4 *vec4TransformArray(Vector4 *out, UINT outStride, const Vector4 *in, UINT inStride, const Matrix *m,
                            UINT count);
Vector3 *vec3ProjectArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride, const Viewport *viewport,
                          const Matrix *projection, const Matrix *view, const Matrix *world, UINT count);
Vector3 *vec3UnprojectArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                            const Viewport *viewport, const Matrix *projection, const Matrix *view,
                            const Matrix *world, UINT count);

// Blends each vertex's position (and normal) by palette matrices 0 to W, W being the
// number of weights after x, y, z in the position element (see docs/math.md); null for
// a layout that does not fit the stride.
void *blendVertices(const Matrix *palette, const Matrix *normalPalette, const void *verticesIn, void *verticesOut,
                    UINT vertexCount, UINT vertexStride, const VertexElement *position, const VertexElement *normal,
                    const float *blendWeights);
Vector3 *evaluateTrianglePatch(const Vector3 *corners, const Vector3 *normals, const Vector2 *parameters, UINT count,
                               Vector3 *out);

Plane *planeFromPointNormal(Plane *out, const Vector3 *point, const Vector3 *normal);
Plane *planeFromPoints(Plane *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3);
Plane *planeNormalize(Plane *out, const Plane *p);
// Null when the line does not meet the plane (out is then left as it was).
Vector3 *planeIntersectLine(Vector3 *out, const Plane *plane, const Vector3 *p1, const Vector3 *p2);
Plane *planeTransform(Plane *out, const Plane *p, const Matrix *m);
Plane *planeTransformArray(Plane *out, UINT outStride, const Plane *in, UINT inStride, const Matrix *m, UINT count);

}  // namespace kv
