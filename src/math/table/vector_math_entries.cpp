// The entries of the vector and plane operations: each continues through its slot.
#include "math/vector_math.h"

#include "math/table/dispatch_table.h"

namespace kv {

Vector4 *vec2Transform(Vector4 *out, const Vector2 *v, const Matrix *m) {
  return g_mathDispatchTable.vec2Transform(out, v, m);
}

Vector4 *vec3Transform(Vector4 *out, const Vector3 *v, const Matrix *m) {
  return g_mathDispatchTable.vec3Transform(out, v, m);
}

Vector4 *vec4Transform(Vector4 *out, const Vector4 *v, const Matrix *m) {
  return g_mathDispatchTable.vec4Transform(out, v, m);
}

Vector2 *vec2TransformDirection(Vector2 *out, const Vector2 *v, const Matrix *m) {
  return g_mathDispatchTable.vec2TransformDirection(out, v, m);
}

Vector3 *vec3TransformDirection(Vector3 *out, const Vector3 *v, const Matrix *m) {
  return g_mathDispatchTable.vec3TransformDirection(out, v, m);
}

Vector2 *vec2TransformPoint(Vector2 *out, const Vector2 *v, const Matrix *m) {
  return g_mathDispatchTable.vec2TransformPoint(out, v, m);
}

Vector3 *vec3TransformPoint(Vector3 *out, const Vector3 *v, const Matrix *m) {
  return g_mathDispatchTable.vec3TransformPoint(out, v, m);
}

Vector2 *vec2Normalize(Vector2 *out, const Vector2 *v) { return g_mathDispatchTable.vec2Normalize(out, v); }

Vector4 *vec4Normalize(Vector4 *out, const Vector4 *v) { return g_mathDispatchTable.vec4Normalize(out, v); }

Vector4 *vec4Cross(Vector4 *out, const Vector4 *u, const Vector4 *v, const Vector4 *w) {
  return g_mathDispatchTable.vec4Cross(out, u, v, w);
}

Vector2 *vec2Hermite(Vector2 *out, const Vector2 *p1, const Vector2 *t1, const Vector2 *p2, const Vector2 *t2, float s) {
  return g_mathDispatchTable.vec2Hermite(out, p1, t1, p2, t2, s);
}

Vector3 *vec3Hermite(Vector3 *out, const Vector3 *p1, const Vector3 *t1, const Vector3 *p2, const Vector3 *t2, float s) {
  return g_mathDispatchTable.vec3Hermite(out, p1, t1, p2, t2, s);
}

Vector4 *vec4Hermite(Vector4 *out, const Vector4 *p1, const Vector4 *t1, const Vector4 *p2, const Vector4 *t2, float s) {
  return g_mathDispatchTable.vec4Hermite(out, p1, t1, p2, t2, s);
}

Vector2 *vec2CatmullRom(Vector2 *out, const Vector2 *p0, const Vector2 *p1, const Vector2 *p2, const Vector2 *p3, float s) {
  return g_mathDispatchTable.vec2CatmullRom(out, p0, p1, p2, p3, s);
}

Vector3 *vec3CatmullRom(Vector3 *out, const Vector3 *p0, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3, float s) {
  return g_mathDispatchTable.vec3CatmullRom(out, p0, p1, p2, p3, s);
}

Vector4 *vec4CatmullRom(Vector4 *out, const Vector4 *p0, const Vector4 *p1, const Vector4 *p2, const Vector4 *p3, float s) {
  return g_mathDispatchTable.vec4CatmullRom(out, p0, p1, p2, p3, s);
}

Vector2 *vec2Barycentric(Vector2 *out, const Vector2 *p1, const Vector2 *p2, const Vector2 *p3, float f, float g) {
  return g_mathDispatchTable.vec2Barycentric(out, p1, p2, p3, f, g);
}

Vector3 *vec3Barycentric(Vector3 *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3, float f, float g) {
  return g_mathDispatchTable.vec3Barycentric(out, p1, p2, p3, f, g);
}

Vector4 *vec4Barycentric(Vector4 *out, const Vector4 *p1, const Vector4 *p2, const Vector4 *p3, float f, float g) {
  return g_mathDispatchTable.vec4Barycentric(out, p1, p2, p3, f, g);
}

Vector3 *vec3Project(Vector3 *out, const Vector3 *v, const Viewport *viewport, const Matrix *projection, const Matrix *view, const Matrix *world) {
  return g_mathDispatchTable.vec3Project(out, v, viewport, projection, view, world);
}

Vector3 *vec3Unproject(Vector3 *out, const Vector3 *v, const Viewport *viewport, const Matrix *projection, const Matrix *view, const Matrix *world) {
  return g_mathDispatchTable.vec3Unproject(out, v, viewport, projection, view, world);
}

Vector4 *vec2TransformArray(Vector4 *out, UINT outStride, const Vector2 *in, UINT inStride, const Matrix *m, UINT count) {
  return g_mathDispatchTable.vec2TransformArray(out, outStride, in, inStride, m, count);
}

Vector2 *vec2TransformPointArray(Vector2 *out, UINT outStride, const Vector2 *in, UINT inStride, const Matrix *m, UINT count) {
  return g_mathDispatchTable.vec2TransformPointArray(out, outStride, in, inStride, m, count);
}

Vector2 *vec2TransformDirectionArray(Vector2 *out, UINT outStride, const Vector2 *in, UINT inStride, const Matrix *m, UINT count) {
  return g_mathDispatchTable.vec2TransformDirectionArray(out, outStride, in, inStride, m, count);
}

Vector4 *vec3TransformArray(Vector4 *out, UINT outStride, const Vector3 *in, UINT inStride, const Matrix *m, UINT count) {
  return g_mathDispatchTable.vec3TransformArray(out, outStride, in, inStride, m, count);
}

Vector3 *vec3TransformPointArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride, const Matrix *m, UINT count) {
  return g_mathDispatchTable.vec3TransformPointArray(out, outStride, in, inStride, m, count);
}

Vector3 *vec3TransformDirectionArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride, const Matrix *m, UINT count) {
  return g_mathDispatchTable.vec3TransformDirectionArray(out, outStride, in, inStride, m, count);
}

Vector4 *vec4TransformArray(Vector4 *out, UINT outStride, const Vector4 *in, UINT inStride, const Matrix *m, UINT count) {
  return g_mathDispatchTable.vec4TransformArray(out, outStride, in, inStride, m, count);
}

Vector3 *vec3ProjectArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride, const Viewport *viewport, const Matrix *projection, const Matrix *view, const Matrix *world, UINT count) {
  return g_mathDispatchTable.vec3ProjectArray(out, outStride, in, inStride, viewport, projection, view, world, count);
}

Vector3 *vec3UnprojectArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride, const Viewport *viewport, const Matrix *projection, const Matrix *view, const Matrix *world, UINT count) {
  return g_mathDispatchTable.vec3UnprojectArray(out, outStride, in, inStride, viewport, projection, view, world, count);
}

void *blendVertices(const Matrix *palette, const Matrix *normalPalette, const void *verticesIn, void *verticesOut, UINT vertexCount, UINT vertexStride, const VertexElement *position, const VertexElement *normal, const float *blendWeights) {
  return g_mathDispatchTable.blendVertices(palette, normalPalette, verticesIn, verticesOut, vertexCount, vertexStride, position, normal, blendWeights);
}

Vector3 *evaluateTrianglePatch(const Vector3 *corners, const Vector3 *normals, const Vector2 *parameters, UINT count, Vector3 *out) {
  return g_mathDispatchTable.evaluateTrianglePatch(corners, normals, parameters, count, out);
}

Plane *planeFromPointNormal(Plane *out, const Vector3 *point, const Vector3 *normal) {
  return g_mathDispatchTable.planeFromPointNormal(out, point, normal);
}

Plane *planeFromPoints(Plane *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3) {
  return g_mathDispatchTable.planeFromPoints(out, p1, p2, p3);
}

Plane *planeNormalize(Plane *out, const Plane *p) { return g_mathDispatchTable.planeNormalize(out, p); }

Vector3 *planeIntersectLine(Vector3 *out, const Plane *plane, const Vector3 *p1, const Vector3 *p2) {
  return g_mathDispatchTable.planeIntersectLine(out, plane, p1, p2);
}

Plane *planeTransform(Plane *out, const Plane *p, const Matrix *m) {
  return g_mathDispatchTable.planeTransform(out, p, m);
}

Plane *planeTransformArray(Plane *out, UINT outStride, const Plane *in, UINT inStride, const Matrix *m, UINT count) {
  return g_mathDispatchTable.planeTransformArray(out, outStride, in, inStride, m, count);
}

}  // namespace kv
