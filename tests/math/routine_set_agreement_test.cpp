// Every routine a set carries of its own agrees with the baseline routine of its slot on
// many ordinary inputs, to float rounding: a swapped sign or operand order in one set
// shows up here even where the formula tests happen to use symmetric values.
#include <functional>
#include <random>
#include <vector>

#include "math/half_float.h"
#include "math/matrix_math.h"
#include "math/quaternion_math.h"
#include "math/scene_math.h"
#include "math/vector_math.h"
#include "table_test_support.h"

namespace kvmathtest {
namespace {

using kv::MathDispatchTable;
using kv::Matrix;
using kv::Plane;
using kv::Quaternion;
using kv::Vector2;
using kv::Vector3;
using kv::Vector4;

// Ordinary inputs: components in [-2, 2], quaternions and rotations of unit length.
struct Sample {
  Matrix m, rotation;
  Vector4 a, b, c, d;
  Quaternion q1, q2;
  Plane plane;
  float s, t;

  explicit Sample(unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    for (auto &row : m.m)
      for (float &e : row) e = value(random);
    for (Vector4 *v : {&a, &b, &c, &d}) *v = {value(random), value(random), value(random), value(random)};
    q1 = unit(a);
    q2 = unit(b);
    plane = {c.x, c.y, c.z, c.w};
    s = std::fabs(value(random)) * 0.5f;
    t = std::fabs(value(random)) * 0.25f;
    const Quaternion &q = q1;
    rotation = Matrix{{{1 - 2 * (q.y * q.y + q.z * q.z), 2 * (q.x * q.y + q.z * q.w), 2 * (q.x * q.z - q.y * q.w), 0},
                       {2 * (q.x * q.y - q.z * q.w), 1 - 2 * (q.x * q.x + q.z * q.z), 2 * (q.y * q.z + q.x * q.w), 0},
                       {2 * (q.x * q.z + q.y * q.w), 2 * (q.y * q.z - q.x * q.w), 1 - 2 * (q.x * q.x + q.y * q.y), 0},
                       {0, 0, 0, 1}}};
  }

  static Quaternion unit(const Vector4 &v) {
    const float n = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z + v.w * v.w);
    return {v.x / n, v.y / n, v.z / n, v.w / n};
  }
};

template <typename T>
void append(std::vector<float> &out, const T &value) {
  const float *f = reinterpret_cast<const float *>(&value);
  out.insert(out.end(), f, f + sizeof(T) / sizeof(float));
}

template <typename T>
const T *as(const Vector4 &v) {
  return reinterpret_cast<const T *>(&v);
}

using Probe = std::function<void(const MathDispatchTable &, const Sample &, std::vector<float> &)>;

struct NamedProbe {
  const char *name;
  Probe probe;
};

std::vector<NamedProbe> probes() {
  return {
      {"vec2Transform", [](auto &t, auto &x, auto &o) { Vector4 r; append(o, *t.vec2Transform(&r, as<Vector2>(x.a), &x.m)); }},
      {"vec3Transform", [](auto &t, auto &x, auto &o) { Vector4 r; append(o, *t.vec3Transform(&r, as<Vector3>(x.a), &x.m)); }},
      {"vec4Transform", [](auto &t, auto &x, auto &o) { Vector4 r; append(o, *t.vec4Transform(&r, &x.a, &x.m)); }},
      {"planeTransform", [](auto &t, auto &x, auto &o) { Plane r; append(o, *t.planeTransform(&r, &x.plane, &x.m)); }},
      {"matrixMultiply", [](auto &t, auto &x, auto &o) { Matrix r; append(o, *t.matrixMultiply(&r, &x.m, &x.rotation)); }},
      {"matrixMultiplyTranspose",
       [](auto &t, auto &x, auto &o) { Matrix r; append(o, *t.matrixMultiplyTranspose(&r, &x.m, &x.rotation)); }},
      {"vec2TransformDirection",
       [](auto &t, auto &x, auto &o) { Vector2 r; append(o, *t.vec2TransformDirection(&r, as<Vector2>(x.a), &x.m)); }},
      {"vec3TransformDirection",
       [](auto &t, auto &x, auto &o) { Vector3 r; append(o, *t.vec3TransformDirection(&r, as<Vector3>(x.a), &x.m)); }},
      {"vec2TransformPoint",
       [](auto &t, auto &x, auto &o) { Vector2 r; append(o, *t.vec2TransformPoint(&r, as<Vector2>(x.a), &x.rotation)); }},
      {"vec3TransformPoint",
       [](auto &t, auto &x, auto &o) { Vector3 r; append(o, *t.vec3TransformPoint(&r, as<Vector3>(x.a), &x.rotation)); }},
      {"vec3Normalize", [](auto &t, auto &x, auto &o) { Vector3 r; append(o, *t.vec3Normalize(&r, as<Vector3>(x.a))); }},
      {"vec4Normalize", [](auto &t, auto &x, auto &o) { Vector4 r; append(o, *t.vec4Normalize(&r, &x.a)); }},
      {"quaternionNormalize",
       [](auto &t, auto &x, auto &o) { Quaternion r; append(o, *t.quaternionNormalize(&r, as<Quaternion>(x.b))); }},
      {"planeNormalize", [](auto &t, auto &x, auto &o) { Plane r; append(o, *t.planeNormalize(&r, &x.plane)); }},
      // Far below the 3-vector rule's 2^-46 but far above 2^-126: of unit length in every set.
      {"vec4NormalizeShort",
       [](auto &t, auto &x, auto &o) {
         const Vector4 v{x.a.x * 1e-12f, x.a.y * 1e-12f, x.a.z * 1e-12f, x.a.w * 1e-12f};
         Vector4 r;
         append(o, *t.vec4Normalize(&r, &v));
       }},
      {"quaternionNormalizeShort",
       [](auto &t, auto &x, auto &o) {
         const Quaternion q{x.b.x * 1e-15f, x.b.y * 1e-15f, x.b.z * 1e-15f, x.b.w * 1e-15f};
         Quaternion r;
         append(o, *t.quaternionNormalize(&r, &q));
       }},
      {"matrixDeterminant", [](auto &t, auto &x, auto &o) { o.push_back(t.matrixDeterminant(&x.m)); }},
      {"matrixInverse",
       [](auto &t, auto &x, auto &o) {
         Matrix r;
         float d;
         append(o, *t.matrixInverse(&r, &d, &x.rotation));
         o.push_back(d);
       }},
      {"vec4Cross", [](auto &t, auto &x, auto &o) { Vector4 r; append(o, *t.vec4Cross(&r, &x.a, &x.b, &x.c)); }},
      {"planeFromPoints",
       [](auto &t, auto &x, auto &o) {
         Plane r;
         append(o, *t.planeFromPoints(&r, as<Vector3>(x.a), as<Vector3>(x.b), as<Vector3>(x.c)));
       }},
      {"planeIntersectLine",
       [](auto &t, auto &x, auto &o) {
         // Lines nearly parallel to the plane magnify every rounding; they are left out.
         const float den = x.plane.a * (x.a.x - x.b.x) + x.plane.b * (x.a.y - x.b.y) + x.plane.c * (x.a.z - x.b.z);
         Vector3 r{};
         if (std::fabs(den) > 0.5f && t.planeIntersectLine(&r, &x.plane, as<Vector3>(x.a), as<Vector3>(x.b)))
           append(o, r);
       }},
      {"vec2Hermite",
       [](auto &t, auto &x, auto &o) {
         Vector2 r;
         append(o, *t.vec2Hermite(&r, as<Vector2>(x.a), as<Vector2>(x.b), as<Vector2>(x.c), as<Vector2>(x.d), x.s));
       }},
      {"vec3Hermite",
       [](auto &t, auto &x, auto &o) {
         Vector3 r;
         append(o, *t.vec3Hermite(&r, as<Vector3>(x.a), as<Vector3>(x.b), as<Vector3>(x.c), as<Vector3>(x.d), x.s));
       }},
      {"vec4Hermite", [](auto &t, auto &x, auto &o) { Vector4 r; append(o, *t.vec4Hermite(&r, &x.a, &x.b, &x.c, &x.d, x.s)); }},
      {"vec2CatmullRom",
       [](auto &t, auto &x, auto &o) {
         Vector2 r;
         append(o, *t.vec2CatmullRom(&r, as<Vector2>(x.a), as<Vector2>(x.b), as<Vector2>(x.c), as<Vector2>(x.d), x.s));
       }},
      {"vec3CatmullRom",
       [](auto &t, auto &x, auto &o) {
         Vector3 r;
         append(o, *t.vec3CatmullRom(&r, as<Vector3>(x.a), as<Vector3>(x.b), as<Vector3>(x.c), as<Vector3>(x.d), x.s));
       }},
      {"vec4CatmullRom",
       [](auto &t, auto &x, auto &o) { Vector4 r; append(o, *t.vec4CatmullRom(&r, &x.a, &x.b, &x.c, &x.d, x.s)); }},
      {"vec2Barycentric",
       [](auto &t, auto &x, auto &o) {
         Vector2 r;
         append(o, *t.vec2Barycentric(&r, as<Vector2>(x.a), as<Vector2>(x.b), as<Vector2>(x.c), x.s, x.t));
       }},
      {"vec3Barycentric",
       [](auto &t, auto &x, auto &o) {
         Vector3 r;
         append(o, *t.vec3Barycentric(&r, as<Vector3>(x.a), as<Vector3>(x.b), as<Vector3>(x.c), x.s, x.t));
       }},
      {"vec4Barycentric",
       [](auto &t, auto &x, auto &o) { Vector4 r; append(o, *t.vec4Barycentric(&r, &x.a, &x.b, &x.c, x.s, x.t)); }},
      {"quaternionMultiply",
       [](auto &t, auto &x, auto &o) { Quaternion r; append(o, *t.quaternionMultiply(&r, &x.q1, &x.q2)); }},
      {"quaternionInverse",
       [](auto &t, auto &x, auto &o) { Quaternion r; append(o, *t.quaternionInverse(&r, as<Quaternion>(x.c))); }},
      {"quaternionFromMatrix",
       [](auto &t, auto &x, auto &o) {
         Quaternion r;
         t.quaternionFromMatrix(&r, &x.rotation);
         if (r.w < 0) r = {-r.x, -r.y, -r.z, -r.w};  // either sign is the rotation
         append(o, r);
       }},
      {"quaternionFromYawPitchRoll",
       [](auto &t, auto &x, auto &o) { Quaternion r; append(o, *t.quaternionFromYawPitchRoll(&r, x.a.x, x.a.y, x.a.z)); }},
      {"quaternionFromAxisAngle",
       [](auto &t, auto &x, auto &o) { Quaternion r; append(o, *t.quaternionFromAxisAngle(&r, as<Vector3>(x.a), x.a.w)); }},
      {"matrixRotationAxis",
       [](auto &t, auto &x, auto &o) { Matrix r; append(o, *t.matrixRotationAxis(&r, as<Vector3>(x.a), x.a.w)); }},
      {"matrixRotationYawPitchRoll",
       [](auto &t, auto &x, auto &o) { Matrix r; append(o, *t.matrixRotationYawPitchRoll(&r, x.a.x, x.a.y, x.a.z)); }},
      {"matrixRotationXYZ",
       [](auto &t, auto &x, auto &o) {
         Matrix r;
         append(o, *t.matrixRotationX(&r, x.a.x));
         append(o, *t.matrixRotationY(&r, x.a.y));
         append(o, *t.matrixRotationZ(&r, x.a.z));
       }},
      {"matrixShadow", [](auto &t, auto &x, auto &o) { Matrix r; append(o, *t.matrixShadow(&r, &x.a, &x.plane)); }},
      {"matrixReflect", [](auto &t, auto &x, auto &o) { Matrix r; append(o, *t.matrixReflect(&r, &x.plane)); }},
      {"matrixTranslationScaling",
       [](auto &t, auto &x, auto &o) {
         Matrix r;
         append(o, *t.matrixTranslation(&r, x.a.x, x.a.y, x.a.z));
         append(o, *t.matrixScaling(&r, x.b.x, x.b.y, x.b.z));
       }},
      {"matrixTranspose", [](auto &t, auto &x, auto &o) { Matrix r; append(o, *t.matrixTranspose(&r, &x.m)); }},
      {"matrixRotationQuaternion",
       [](auto &t, auto &x, auto &o) { Matrix r; append(o, *t.matrixRotationQuaternion(&r, &x.q1)); }},
      {"matrixTransformation",
       [](auto &t, auto &x, auto &o) {
         Matrix r;
         append(o, *t.matrixTransformation(&r, as<Vector3>(x.a), &x.q2, as<Vector3>(x.b), as<Vector3>(x.c), &x.q1,
                                           as<Vector3>(x.d)));
       }},
      {"matrixAffineTransformation",
       [](auto &t, auto &x, auto &o) {
         Matrix r;
         append(o, *t.matrixAffineTransformation(&r, x.s, as<Vector3>(x.a), &x.q1, as<Vector3>(x.b)));
       }},
      {"matrixTransformation2D",
       [](auto &t, auto &x, auto &o) {
         Matrix r;
         append(o, *t.matrixTransformation2D(&r, as<Vector2>(x.a), x.s, as<Vector2>(x.b), as<Vector2>(x.c), x.t,
                                             as<Vector2>(x.d)));
         append(o, *t.matrixAffineTransformation2D(&r, x.s, as<Vector2>(x.a), x.t, as<Vector2>(x.b)));
       }},
      {"matrixDecompose",
       [](auto &t, auto &x, auto &o) {
         Matrix m = x.rotation;
         for (int c = 0; c < 3; ++c) m.m[0][c] *= 1.5f, m.m[1][c] *= 0.5f, m.m[3][c] = x.a.x + c;
         Vector3 scale, translation;
         Quaternion rotation;
         o.push_back(float(t.matrixDecompose(&scale, &rotation, &translation, &m)));
         if (rotation.w < 0) rotation = {-rotation.x, -rotation.y, -rotation.z, -rotation.w};
         append(o, scale);
         append(o, rotation);
         append(o, translation);
       }},
      {"quaternionSlerp",
       [](auto &t, auto &x, auto &o) { Quaternion r; append(o, *t.quaternionSlerp(&r, &x.q1, &x.q2, x.s)); }},
      {"quaternionBarycentric",
       [](auto &t, auto &x, auto &o) {
         const Quaternion q3 = Sample::unit(x.c);
         Quaternion r;
         append(o, *t.quaternionBarycentric(&r, &x.q1, &x.q2, &q3, x.s, x.t));
       }},
      {"quaternionSquadAndSetup",
       [](auto &t, auto &x, auto &o) {
         const Quaternion q3 = Sample::unit(x.c), q4 = Sample::unit(x.d);
         Quaternion a, b, c, r;
         t.quaternionSquadSetup(&a, &b, &c, &x.q1, &x.q2, &q3, &q4);
         append(o, a);
         append(o, b);
         append(o, c);
         append(o, *t.quaternionSquad(&r, &x.q1, &x.q2, &q3, &q4, x.s));
       }},
      {"quaternionLnExp",
       [](auto &t, auto &x, auto &o) {
         Quaternion r;
         append(o, *t.quaternionLn(&r, &x.q1));
         const Quaternion pure{x.a.x, x.a.y, x.a.z, 0.0f};
         append(o, *t.quaternionExp(&r, &pure));
       }},
      {"quaternionToAxisAngle",
       [](auto &t, auto &x, auto &o) {
         Vector3 axis;
         float angle;
         t.quaternionToAxisAngle(&x.q1, &axis, &angle);
         append(o, axis);
         o.push_back(angle);
       }},
      {"planeFromPointNormal",
       [](auto &t, auto &x, auto &o) {
         Plane r;
         append(o, *t.planeFromPointNormal(&r, as<Vector3>(x.a), as<Vector3>(x.b)));
       }},
      {"vec2Normalize", [](auto &t, auto &x, auto &o) { Vector2 r; append(o, *t.vec2Normalize(&r, as<Vector2>(x.a))); }},
      {"vec3ProjectUnproject",
       [](auto &t, auto &x, auto &o) {
         const kv::Viewport viewport{10, 20, 640, 480, 0.25f, 0.75f};
         Matrix projection{};
         projection.m[0][0] = 1.5f, projection.m[1][1] = 2.0f, projection.m[2][2] = 1.01f;
         projection.m[2][3] = 1.0f, projection.m[3][2] = -0.1f;
         const Matrix view = x.rotation;
         Matrix world = x.rotation;
         world.m[3][2] = 8.0f;
         Vector3 r;
         append(o, *t.vec3Project(&r, as<Vector3>(x.a), &viewport, &projection, &view, &world));
         const Vector3 screen{x.a.x * 100 + 300, x.a.y * 100 + 250, 0.5f};
         append(o, *t.vec3Unproject(&r, &screen, &viewport, &projection, &view, &world));
         Vector3 pair[2];
         const Vector3 in[2] = {*as<Vector3>(x.b), *as<Vector3>(x.c)};
         t.vec3ProjectArray(pair, sizeof(Vector3), in, sizeof(Vector3), &viewport, &projection, &view, &world, 2);
         append(o, pair[0]);
         append(o, pair[1]);
         t.vec3UnprojectArray(pair, sizeof(Vector3), &screen, 0, &viewport, &projection, &view, &world, 2);
         append(o, pair[0]);
         append(o, pair[1]);
       }},
      {"halfFloatArrays",
       [](auto &t, auto &x, auto &o) {
         const float in[4] = {x.a.x, x.a.y * 1000, x.a.z / 1000, x.a.w};
         uint16_t half[4];
         t.float32To16Array(half, in, 4);
         for (uint16_t h : half) o.push_back(float(h));
         float back[4];
         append(o, *reinterpret_cast<Vector4 *>(t.float16To32Array(back, half, 4)));
       }},
      {"transformArrays",
       [](auto &t, auto &x, auto &o) {
         // Two elements a stride apart, the second 4 bytes past the end of the first.
         const Vector4 in[2] = {x.a, x.b};
         Vector4 r4[2];
         Vector3 r3[2];
         Vector2 r2[2];
         Plane rp[2];
         append(o, *t.vec2TransformArray(r4, sizeof(Vector4), as<Vector2>(in[0]), sizeof(Vector4), &x.m, 2));
         append(o, r4[1]);
         append(o, *t.vec2TransformPointArray(r2, sizeof(Vector2), as<Vector2>(in[0]), sizeof(Vector4), &x.m, 2));
         append(o, r2[1]);
         append(o, *t.vec2TransformDirectionArray(r2, sizeof(Vector2), as<Vector2>(in[0]), sizeof(Vector4), &x.m, 2));
         append(o, r2[1]);
         append(o, *t.vec3TransformArray(r4, sizeof(Vector4), as<Vector3>(in[0]), sizeof(Vector4), &x.m, 2));
         append(o, r4[1]);
         append(o, *t.vec3TransformPointArray(r3, sizeof(Vector3), as<Vector3>(in[0]), sizeof(Vector4), &x.m, 2));
         append(o, r3[1]);
         append(o, *t.vec3TransformDirectionArray(r3, sizeof(Vector3), as<Vector3>(in[0]), sizeof(Vector4), &x.m, 2));
         append(o, r3[1]);
         append(o, *t.vec4TransformArray(r4, sizeof(Vector4), in, sizeof(Vector4), &x.m, 2));
         append(o, r4[1]);
         const Plane planes[2] = {x.plane, *as<Plane>(x.d)};
         append(o, *t.planeTransformArray(rp, sizeof(Plane), planes, sizeof(Plane), &x.m, 2));
         append(o, rp[1]);
       }},
      {"blendVertices",
       [](auto &t, auto &x, auto &o) {
         struct Vertex {
           float x, y, z, weight;
           float nx, ny, nz;
         };
         const Matrix palette[2] = {x.m, x.rotation};
         const Vertex in[2] = {{x.a.x, x.a.y, x.a.z, x.s, x.b.x, x.b.y, x.b.z},
                               {x.c.x, x.c.y, x.c.z, x.t, x.d.x, x.d.y, x.d.z}};
         Vertex out[2];
         const kv::VertexElement position{0, 4}, normal{16, 3};
         t.blendVertices(palette, nullptr, in, out, 2, sizeof(Vertex), &position, &normal, nullptr);
         for (const Vertex &v : out) append(o, v);
       }},
      {"evaluateTrianglePatch",
       [](auto &t, auto &x, auto &o) {
         const Vector3 corners[3] = {*as<Vector3>(x.a), *as<Vector3>(x.b), *as<Vector3>(x.c)};
         Vector3 normals[3] = {*as<Vector3>(x.d), *as<Vector3>(x.b), *as<Vector3>(x.a)};
         for (Vector3 &n : normals) kv::portableRoutineList().vec3Normalize(&n, &n);
         const Vector2 uv[2] = {{x.s, x.t}, {x.t, x.s}};
         Vector3 r[2];
         t.evaluateTrianglePatch(corners, normals, uv, 2, r);
         append(o, r[0]);
         append(o, r[1]);
       }},
  };
}

class RoutineSetAgreement : public EachSetsEntries {};

TEST_P(RoutineSetAgreement, EveryRoutineMatchesTheBaselineToFloatRounding) {
  const MathDispatchTable &table = kv::g_mathDispatchTable;
  const MathDispatchTable baseline = kv::portableRoutineList();
  for (const NamedProbe &probe : probes()) {
    for (unsigned seed = 1; seed <= 64; ++seed) {
      const Sample sample(seed);
      std::vector<float> expected, actual;
      probe.probe(baseline, sample, expected);
      probe.probe(table, sample, actual);
      ASSERT_EQ(actual.size(), expected.size()) << probe.name << " seed " << seed;
      for (size_t i = 0; i < expected.size(); ++i) {
        const float scale = std::max(1.0f, std::fabs(expected[i]));
        ASSERT_NEAR(actual[i], expected[i], 2e-5f * scale) << probe.name << " seed " << seed << " value " << i;
      }
    }
  }
}

// The baseline set is the reference here; it is pinned by the formula tests instead.
INSTANTIATE_TEST_SUITE_P(Sets, RoutineSetAgreement,
                         ::testing::Values(RoutineSet::Sse, RoutineSet::Sse2, RoutineSet::ThreeDNow),
                         [](const auto &info) { return std::string(nameOf(info.param)); });

// The public operations in a table of their own, so that the probes can run through them.
MathDispatchTable publicOperations() {
  MathDispatchTable t{};
  t.vec2Transform = &kv::vec2Transform;
  t.vec3Transform = &kv::vec3Transform;
  t.vec4Transform = &kv::vec4Transform;
  t.matrixMultiply = &kv::matrixMultiply;
  t.matrixMultiplyTranspose = &kv::matrixMultiplyTranspose;
  t.vec2TransformDirection = &kv::vec2TransformDirection;
  t.vec3TransformDirection = &kv::vec3TransformDirection;
  t.vec3Normalize = &kv::vec3Normalize;
  t.vec4Normalize = &kv::vec4Normalize;
  t.vec2TransformPoint = &kv::vec2TransformPoint;
  t.vec3TransformPoint = &kv::vec3TransformPoint;
  t.matrixDeterminant = &kv::matrixDeterminant;
  t.matrixDecompose = &kv::matrixDecompose;
  t.planeFromPointNormal = &kv::planeFromPointNormal;
  t.planeFromPoints = &kv::planeFromPoints;
  t.vec3Project = &kv::vec3Project;
  t.vec3Unproject = &kv::vec3Unproject;
  t.vec4Cross = &kv::vec4Cross;
  t.vec2Hermite = &kv::vec2Hermite;
  t.matrixInverse = &kv::matrixInverse;
  t.quaternionMultiply = &kv::quaternionMultiply;
  t.quaternionNormalize = &kv::quaternionNormalize;
  t.planeNormalize = &kv::planeNormalize;
  t.planeIntersectLine = &kv::planeIntersectLine;
  t.quaternionToAxisAngle = &kv::quaternionToAxisAngle;
  t.quaternionFromMatrix = &kv::quaternionFromMatrix;
  t.quaternionFromYawPitchRoll = &kv::quaternionFromYawPitchRoll;
  t.matrixTranslation = &kv::matrixTranslation;
  t.matrixShadow = &kv::matrixShadow;
  t.matrixReflect = &kv::matrixReflect;
  t.quaternionFromAxisAngle = &kv::quaternionFromAxisAngle;
  t.matrixRotationX = &kv::matrixRotationX;
  t.matrixRotationY = &kv::matrixRotationY;
  t.matrixRotationZ = &kv::matrixRotationZ;
  t.matrixScaling = &kv::matrixScaling;
  t.planeTransform = &kv::planeTransform;
  t.quaternionSlerp = &kv::quaternionSlerp;
  t.quaternionBarycentric = &kv::quaternionBarycentric;
  t.matrixTranspose = &kv::matrixTranspose;
  t.matrixRotationQuaternion = &kv::matrixRotationQuaternion;
  t.matrixTransformation = &kv::matrixTransformation;
  t.matrixRotationYawPitchRoll = &kv::matrixRotationYawPitchRoll;
  t.matrixAffineTransformation = &kv::matrixAffineTransformation;
  t.matrixRotationAxis = &kv::matrixRotationAxis;
  t.quaternionSquad = &kv::quaternionSquad;
  t.quaternionInverse = &kv::quaternionInverse;
  t.quaternionSquadSetup = &kv::quaternionSquadSetup;
  t.vec2Normalize = &kv::vec2Normalize;
  t.vec2CatmullRom = &kv::vec2CatmullRom;
  t.vec2Barycentric = &kv::vec2Barycentric;
  t.vec3Hermite = &kv::vec3Hermite;
  t.vec3CatmullRom = &kv::vec3CatmullRom;
  t.vec3Barycentric = &kv::vec3Barycentric;
  t.vec4Hermite = &kv::vec4Hermite;
  t.vec4CatmullRom = &kv::vec4CatmullRom;
  t.vec4Barycentric = &kv::vec4Barycentric;
  t.quaternionLn = &kv::quaternionLn;
  t.quaternionExp = &kv::quaternionExp;
  t.float32To16Array = &kv::float32To16Array;
  t.float16To32Array = &kv::float16To32Array;
  t.vec2TransformArray = &kv::vec2TransformArray;
  t.vec2TransformPointArray = &kv::vec2TransformPointArray;
  t.vec2TransformDirectionArray = &kv::vec2TransformDirectionArray;
  t.vec3TransformArray = &kv::vec3TransformArray;
  t.vec3TransformPointArray = &kv::vec3TransformPointArray;
  t.vec3TransformDirectionArray = &kv::vec3TransformDirectionArray;
  t.vec4TransformArray = &kv::vec4TransformArray;
  t.vec3ProjectArray = &kv::vec3ProjectArray;
  t.vec3UnprojectArray = &kv::vec3UnprojectArray;
  t.planeTransformArray = &kv::planeTransformArray;
  t.blendVertices = &kv::blendVertices;
  t.evaluateTrianglePatch = &kv::evaluateTrianglePatch;
  t.matrixTransformation2D = &kv::matrixTransformation2D;
  t.matrixAffineTransformation2D = &kv::matrixAffineTransformation2D;
  return t;
}

// Each public operation calls its own entry of the table in force: with a table whose
// every entry is a different routine, each probe through the operations must give
// exactly what the same probe gives through that table.
TEST_P(RoutineSetAgreement, EveryOperationCallsItsOwnEntryOfTheTable) {
  const MathDispatchTable &table = kv::g_mathDispatchTable;
  const MathDispatchTable operations = publicOperations();
  for (const NamedProbe &probe : probes()) {
    const Sample sample(7);
    std::vector<float> expected, actual;
    probe.probe(table, sample, expected);
    probe.probe(operations, sample, actual);
    ASSERT_EQ(actual.size(), expected.size()) << probe.name;
    for (size_t i = 0; i < expected.size(); ++i)
      EXPECT_TRUE(actual[i] == expected[i] || (std::isnan(actual[i]) && std::isnan(expected[i])))
          << probe.name << " value " << i << ": " << actual[i] << " vs " << expected[i];
  }
}

}  // namespace
}  // namespace kvmathtest
