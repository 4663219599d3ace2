// Every routine a set carries of its own agrees with the baseline routine of its slot on
// many ordinary inputs, to float rounding: a swapped sign or operand order in one set
// shows up here even where the formula tests happen to use symmetric values.
#include <functional>
#include <random>
#include <vector>

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

KV_INSTANTIATE_FOR_EVERY_SET(RoutineSetAgreement);

}  // namespace
}  // namespace kvmathtest
