// The vector and plane operations of the table, in every routine set, from their
// formulas: transforms single and strided, normalisations, the cross product, splines,
// projection through a viewport and back, and the plane builders.
#include <cmath>
#include <limits>
#include <vector>

#include "math/matrix_math.h"
#include "math/quaternion_math.h"
#include "math/scene_math.h"
#include "math/vector_math.h"
#include "table_test_support.h"

namespace kvmathtest {
namespace {

using kv::Matrix;
using kv::Plane;
using kv::Vector2;
using kv::Vector3;
using kv::Vector4;

class VectorOperations : public EachSetsEntries {};

TEST_P(VectorOperations, TransformsMultiplyTheRowVectorWithTheRightWeight) {
  const Matrix m = sampleMatrix(0.4f);
  const Vector2 v2{1.5f, -2.0f};
  const Vector3 v3{0.5f, 3.0f, -1.25f};
  const Vector4 v4{0.5f, 3.0f, -1.25f, 2.0f};
  Vector4 out4;
  EXPECT_EQ(kv::vec2Transform(&out4, &v2, &m), &out4);
  EXPECT_TRUE(near(out4, referenceTimes(v2.x, v2.y, 0, 1, m), 1e-5f));
  kv::vec3Transform(&out4, &v3, &m);
  EXPECT_TRUE(near(out4, referenceTimes(v3.x, v3.y, v3.z, 1, m), 1e-5f));
  kv::vec4Transform(&out4, &v4, &m);
  EXPECT_TRUE(near(out4, referenceTimes(v4.x, v4.y, v4.z, v4.w, m), 1e-5f));

  const Vector4 d2 = referenceTimes(v2.x, v2.y, 0, 0, m), d3 = referenceTimes(v3.x, v3.y, v3.z, 0, m);
  Vector2 out2;
  Vector3 out3;
  EXPECT_EQ(kv::vec2TransformDirection(&out2, &v2, &m), &out2);
  EXPECT_TRUE(near(out2, Vector2{d2.x, d2.y}, 1e-5f));
  kv::vec3TransformDirection(&out3, &v3, &m);
  EXPECT_TRUE(near(out3, Vector3{d3.x, d3.y, d3.z}, 1e-5f));

  // Points are divided by their w.
  const Vector4 p2 = referenceTimes(v2.x, v2.y, 0, 1, m), p3 = referenceTimes(v3.x, v3.y, v3.z, 1, m);
  kv::vec2TransformPoint(&out2, &v2, &m);
  EXPECT_TRUE(near(out2, Vector2{p2.x / p2.w, p2.y / p2.w}, 1e-4f));
  kv::vec3TransformPoint(&out3, &v3, &m);
  EXPECT_TRUE(near(out3, Vector3{p3.x / p3.w, p3.y / p3.w, p3.z / p3.w}, 1e-4f));

  // A plane transforms as a 4-vector; in place the input is read before it is written.
  Plane plane{0.5f, 3.0f, -1.25f, 2.0f};
  EXPECT_EQ(kv::planeTransform(&plane, &plane, &m), &plane);
  EXPECT_TRUE(near(plane, Plane{out4.x, out4.y, out4.z, out4.w}, 1e-5f));
  Vector4 inPlace = v4;
  kv::vec4Transform(&inPlace, &inPlace, &m);
  EXPECT_TRUE(near(inPlace, out4, 0.0f));
}

TEST_P(VectorOperations, PointTransformDividesOnlyWhenWIsNotNearlyOne) {
  Matrix m = kv::identityMatrix();
  const Vector3 v{2.0f, 4.0f, 6.0f};
  Vector3 out;
  m.m[3][3] = 1.0f + kNearly;  // the bound itself: stored undivided
  kv::vec3TransformPoint(&out, &v, &m);
  EXPECT_TRUE(near(out, v, 0.0f));
  m.m[3][3] = 2.0f;
  kv::vec3TransformPoint(&out, &v, &m);
  EXPECT_TRUE(near(out, Vector3{1.0f, 2.0f, 3.0f}, 0.0f));
  const Vector2 v2{2.0f, 4.0f};
  Vector2 out2;
  kv::vec2TransformPoint(&out2, &v2, &m);
  EXPECT_TRUE(near(out2, Vector2{1.0f, 2.0f}, 0.0f));
}

// Each array operation against its single-vector operation, with a stride-0 input, an
// output stride larger than the element, and the output in place over the input.
template <typename Out, typename In, typename Single, typename Array>
void checkArray(Single single, Array array) {
  const Matrix m = sampleMatrix(1.1f);
  constexpr UINT kCount = 5;
  std::vector<unsigned char> input(64 * kCount), output(64 * kCount, 0xAB);
  for (UINT i = 0; i < input.size() / 4; ++i) {
    const float f = 0.25f * static_cast<float>(i % 13) - 1.0f;
    std::memcpy(&input[i * 4], &f, 4);
  }
  const auto element = [](std::vector<unsigned char> &bytes, UINT offset) {
    return reinterpret_cast<void *>(&bytes[offset]);
  };
  // Input stride 28 (odd multiple of 4, wider than any element), output stride 36.
  EXPECT_EQ(array(static_cast<Out *>(element(output, 0)), 36, static_cast<const In *>(element(input, 0)), 28, &m,
                  kCount),
            element(output, 0));
  for (UINT i = 0; i < kCount; ++i) {
    In in;
    std::memcpy(&in, &input[28 * i], sizeof in);
    Out expected, actual;
    single(&expected, &in, &m);
    std::memcpy(&actual, &output[36 * i], sizeof actual);
    EXPECT_TRUE(near(actual, expected, 0.0f)) << "element " << i;
    EXPECT_EQ(output[36 * i + sizeof(Out)], 0xAB) << "nothing written between elements";
  }
  // Stride 0 on input: every output from the first element.
  array(static_cast<Out *>(element(output, 0)), sizeof(Out), static_cast<const In *>(element(input, 0)), 0, &m,
        kCount);
  In first;
  std::memcpy(&first, &input[0], sizeof first);
  Out expected;
  single(&expected, &first, &m);
  for (UINT i = 0; i < kCount; ++i) {
    Out actual;
    std::memcpy(&actual, &output[sizeof(Out) * i], sizeof actual);
    EXPECT_TRUE(near(actual, expected, 0.0f));
  }
  // Stride 0 on output: every element goes to the same place, the last one stays.
  Out last;
  array(&last, 0, static_cast<const In *>(element(input, 0)), 28, &m, kCount);
  In lastIn;
  std::memcpy(&lastIn, &input[28 * (kCount - 1)], sizeof lastIn);
  single(&expected, &lastIn, &m);
  EXPECT_TRUE(near(last, expected, 0.0f));
  // In place, with the same stride for both.
  std::vector<unsigned char> inPlace = input;
  const UINT stride = 20 > sizeof(Out) ? 20 : static_cast<UINT>(sizeof(Out));
  array(static_cast<Out *>(element(inPlace, 0)), stride, static_cast<const In *>(element(inPlace, 0)), stride, &m,
        kCount);
  for (UINT i = 0; i < kCount; ++i) {
    In in;
    std::memcpy(&in, &input[stride * i], sizeof in);
    Out single1, actual;
    single(&single1, &in, &m);
    std::memcpy(&actual, &inPlace[stride * i], sizeof actual);
    EXPECT_TRUE(near(actual, single1, 0.0f)) << "in place, element " << i;
  }
  // Count 0 writes nothing.
  std::vector<unsigned char> untouched(output.size(), 0x5A);
  array(static_cast<Out *>(element(untouched, 0)), 16, static_cast<const In *>(element(input, 0)), 16, &m, 0);
  EXPECT_EQ(untouched[0], 0x5A);
}

TEST_P(VectorOperations, StridedArraysMatchTheSingleOperationsWhateverTheStrides) {
  checkArray<Vector4, Vector2>(&kv::vec2Transform, &kv::vec2TransformArray);
  checkArray<Vector2, Vector2>(&kv::vec2TransformPoint, &kv::vec2TransformPointArray);
  checkArray<Vector2, Vector2>(&kv::vec2TransformDirection, &kv::vec2TransformDirectionArray);
  checkArray<Vector4, Vector3>(&kv::vec3Transform, &kv::vec3TransformArray);
  checkArray<Vector3, Vector3>(&kv::vec3TransformPoint, &kv::vec3TransformPointArray);
  checkArray<Vector3, Vector3>(&kv::vec3TransformDirection, &kv::vec3TransformDirectionArray);
  checkArray<Vector4, Vector4>(&kv::vec4Transform, &kv::vec4TransformArray);
  checkArray<Plane, Plane>(&kv::planeTransform, &kv::planeTransformArray);
}

TEST_P(VectorOperations, NormalisationsGiveUnitLengthAndZerosForZeroLength) {
  Vector4 v4{0.0f, 0.0f, 0.0f, 2.0f};
  EXPECT_EQ(kv::vec4Normalize(&v4, &v4), &v4);
  EXPECT_TRUE(near(v4, Vector4{0, 0, 0, 1}, 2e-7f));
  const Vector4 general{1.0f, -2.0f, 2.0f, 4.0f};  // length 5
  kv::vec4Normalize(&v4, &general);
  EXPECT_TRUE(near(v4, Vector4{0.2f, -0.4f, 0.4f, 0.8f}, 3e-7f));
  const Vector2 v2in{3.0f, 4.0f};
  Vector2 v2;
  EXPECT_EQ(kv::vec2Normalize(&v2, &v2in), &v2);
  EXPECT_TRUE(near(v2, Vector2{0.6f, 0.8f}, 3e-7f));

  // Zero length: zeros in every set, never not-a-numbers.
  const Vector4 zero4{0, 0, 0, 0};
  v4 = {9, 9, 9, 9};
  kv::vec4Normalize(&v4, &zero4);
  EXPECT_TRUE(near(v4, zero4, 0.0f));
  const Vector2 zero2{0, 0};
  kv::vec2Normalize(&v2, &zero2);
  EXPECT_TRUE(near(v2, zero2, 0.0f));
  const Vector4 tiny{1e-20f, 0, 0, 0};
  kv::vec4Normalize(&v4, &tiny);
  EXPECT_FALSE(std::isnan(v4.x));
  // A vector of nearly unit length is left as it is by the baseline only.
  const Vector4 nearlyUnit{1.0f + 5e-8f, 0, 0, 0};
  kv::vec4Normalize(&v4, &nearlyUnit);
  if (set_ == RoutineSet::Baseline) {
    EXPECT_EQ(v4.x, nearlyUnit.x);
  }
}

// The sets differ in their 4-vector and quaternion normalisations only in rounding (and in
// the baseline's unit-length shortcut): a short vector is as long as any other once
// normalised, and zeros come only where the sum of squares is at or below 2^-126 or is
// not a number. Expected values worked by hand.
TEST_P(VectorOperations, ShortFourVectorsAndQuaternionsNormaliseInEverySet) {
  struct Case {
    Vector4 in, expected;
  };
  const Case unitCases[] = {
      {{1e-10f, 0, 0, 0}, {1, 0, 0, 0}},            // q = 1e-20, below 2^-46
      {{0, 3e-15f, 0, -4e-15f}, {0, 0.6f, 0, -0.8f}},  // q = 2.5e-29
      {{0, 0, 0x1p-62f, 0}, {0, 0, 1, 0}},          // q = 2^-124
      {{0x1p-63f, 0x1p-63f, 0x1p-63f, 0x1p-63f}, {0.5f, 0.5f, 0.5f, 0.5f}},  // q = 2^-124
  };
  for (const Case &c : unitCases) {
    Vector4 out{9, 9, 9, 9};
    EXPECT_EQ(kv::vec4Normalize(&out, &c.in), &out);
    EXPECT_TRUE(near(out, c.expected, 1e-6f)) << c.in.x << " " << c.in.y << " " << c.in.z << " " << c.in.w;
    kv::Quaternion q{9, 9, 9, 9};
    const kv::Quaternion qin{c.in.x, c.in.y, c.in.z, c.in.w};
    EXPECT_EQ(kv::quaternionNormalize(&q, &qin), &q);
    EXPECT_TRUE(near(q, kv::Quaternion{c.expected.x, c.expected.y, c.expected.z, c.expected.w}, 1e-6f))
        << c.in.x << " " << c.in.y << " " << c.in.z << " " << c.in.w;
  }
  // q = 2^-126 exactly, q = 2^-128 (a denormal), and a not-a-number: zeros in every set.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const Vector4 &in : {Vector4{0x1p-63f, 0, 0, 0}, Vector4{0, 0x1p-64f, 0, 0}, Vector4{nan, 1, 0, 0}}) {
    Vector4 out{9, 9, 9, 9};
    kv::vec4Normalize(&out, &in);
    EXPECT_TRUE(near(out, Vector4{0, 0, 0, 0}, 0.0f)) << in.x << " " << in.y;
    kv::Quaternion q{9, 9, 9, 9};
    const kv::Quaternion qin{in.x, in.y, in.z, in.w};
    kv::quaternionNormalize(&q, &qin);
    EXPECT_TRUE(near(q, kv::Quaternion{0, 0, 0, 0}, 0.0f)) << in.x << " " << in.y;
  }
}

TEST_P(VectorOperations, FourDimensionalCrossProductIsOrthogonalAndOriented) {
  const Vector4 e1{1, 0, 0, 0}, e2{0, 1, 0, 0}, e3{0, 0, 1, 0};
  Vector4 out;
  EXPECT_EQ(kv::vec4Cross(&out, &e1, &e2, &e3), &out);
  EXPECT_TRUE(near(out, Vector4{0, 0, 0, -1}, 0.0f));
  const Vector4 u{1, 2, 3, 4}, v{-2, 1, 0.5f, 3}, w{0.25f, -1, 2, 1};
  kv::vec4Cross(&out, &u, &v, &w);
  for (const Vector4 &a : {u, v, w}) EXPECT_NEAR(out.x * a.x + out.y * a.y + out.z * a.z + out.w * a.w, 0.0f, 1e-4f);
  // Swapping two inputs turns the result round.
  Vector4 swapped;
  kv::vec4Cross(&swapped, &v, &u, &w);
  EXPECT_TRUE(near(swapped, Vector4{-out.x, -out.y, -out.z, -out.w}, 1e-5f));
}

TEST_P(VectorOperations, SplinesPassThroughTheirEndsAndFollowTheirWeights) {
  const Vector4 p0{0, 0, 0, 0}, p1{1, 2, 3, 4}, p2{5, -1, 2, 0}, p3{7, 7, 7, 7};
  const Vector4 t1{1, 0, 0, 0}, t2{0, 1, 0, 0};
  Vector4 out4;
  for (float s : {0.0f, 1.0f}) {
    const Vector4 &end = s == 0.0f ? p1 : p2;
    kv::vec4CatmullRom(&out4, &p0, &p1, &p2, &p3, s);
    EXPECT_TRUE(near(out4, end, 1e-6f));
    kv::vec4Hermite(&out4, &p1, &t1, &p2, &t2, s);
    EXPECT_TRUE(near(out4, end, 1e-6f));
  }
  // At s = 1/2: Hermite weights 1/2, 1/8, 1/2, -1/8; Catmull-Rom -1/16, 9/16, 9/16, -1/16.
  kv::vec4Hermite(&out4, &p1, &t1, &p2, &t2, 0.5f);
  EXPECT_TRUE(near(out4, Vector4{3.0f + 0.125f, 0.5f - 0.125f, 2.5f, 2.0f}, 1e-6f));
  kv::vec4CatmullRom(&out4, &p0, &p1, &p2, &p3, 0.5f);
  EXPECT_TRUE(near(out4, Vector4{(9 * 6 - 7) / 16.0f, (9 * 1 - 7) / 16.0f, (9 * 5 - 7) / 16.0f,
                                 (9 * 4 - 7) / 16.0f},
                   1e-6f));

  const Vector2 a{0, 0}, b{1, 2}, c{5, -1}, d{7, 7};
  Vector2 out2;
  kv::vec2CatmullRom(&out2, &a, &b, &c, &d, 0.0f);
  EXPECT_TRUE(near(out2, b, 1e-6f));
  kv::vec2CatmullRom(&out2, &a, &b, &c, &d, 1.0f);
  EXPECT_TRUE(near(out2, c, 1e-6f));
  kv::vec2Hermite(&out2, &b, &a, &c, &d, 0.0f);
  EXPECT_TRUE(near(out2, b, 0.0f));
  const Vector3 a3{0, 0, 0}, b3{1, 2, 3}, c3{5, -1, 2}, d3{7, 7, 7};
  Vector3 out3;
  kv::vec3CatmullRom(&out3, &a3, &b3, &c3, &d3, 1.0f);
  EXPECT_TRUE(near(out3, c3, 1e-6f));
  kv::vec3Hermite(&out3, &b3, &a3, &c3, &a3, 0.5f);
  EXPECT_TRUE(near(out3, Vector3{3.0f, 0.5f, 2.5f}, 1e-6f));
}

TEST_P(VectorOperations, BarycentricCombinationsReachEachCorner) {
  const Vector4 p1{1, 2, 3, 4}, p2{5, -1, 2, 0}, p3{-3, 3, 0, 1};
  Vector4 out;
  kv::vec4Barycentric(&out, &p1, &p2, &p3, 0.0f, 0.0f);
  EXPECT_TRUE(near(out, p1, 0.0f));
  kv::vec4Barycentric(&out, &p1, &p2, &p3, 1.0f, 0.0f);
  EXPECT_TRUE(near(out, p2, 0.0f));
  kv::vec4Barycentric(&out, &p1, &p2, &p3, 0.25f, 0.5f);
  EXPECT_TRUE(near(out, Vector4{1 + 1 - 2, 2 - 0.75f + 0.5f, 3 - 0.25f - 1.5f, 4 - 1 - 1.5f}, 1e-6f));
  const Vector3 a{1, 2, 3}, b{5, -1, 2}, c{-3, 3, 0};
  Vector3 out3;
  kv::vec3Barycentric(&out3, &a, &b, &c, 0.0f, 1.0f);
  EXPECT_TRUE(near(out3, c, 0.0f));
  const Vector2 a2{1, 2}, b2{5, -1}, c2{-3, 3};
  Vector2 out2;
  kv::vec2Barycentric(&out2, &a2, &b2, &c2, 0.5f, 0.5f);
  EXPECT_TRUE(near(out2, Vector2{1.0f, 1.0f}, 1e-6f));
}

TEST_P(VectorOperations, ProjectionAndUnprojectionRoundTripThroughAViewport) {
  const Matrix identity = kv::identityMatrix();
  const kv::Viewport viewport{0, 0, 640, 480, 0.0f, 1.0f};
  const Vector3 origin{0, 0, 0};
  Vector3 out;
  EXPECT_EQ(kv::vec3Project(&out, &origin, &viewport, &identity, &identity, &identity), &out);
  EXPECT_TRUE(near(out, Vector3{320, 240, 0}, 0.0f));
  Vector3 back;
  EXPECT_EQ(kv::vec3Unproject(&back, &out, &viewport, &identity, &identity, &identity), &back);
  EXPECT_TRUE(near(back, origin, 0.0f));

  // A real camera, a world matrix and a viewport that does not start at the corner.
  const Vector3 eye{3, 4, -20}, at{0, 0, 0}, up{0, 1, 0};
  Matrix view, projection, world;
  kv::matrixLookAtLH(&view, &eye, &at, &up);
  kv::matrixPerspectiveFovLH(&projection, 0.785398f, 4.0f / 3.0f, 0.5f, 100.0f);
  kv::matrixRotationY(&world, 0.3f);
  const kv::Viewport offset{20, 10, 300, 200, 0.25f, 0.75f};
  const Vector3 points[3] = {{1, 2, 3}, {-2, 0.5f, 1}, {0, -1, -2}};
  Vector3 projected[3], unprojected[3];
  EXPECT_EQ(kv::vec3ProjectArray(projected, sizeof(Vector3), points, sizeof(Vector3), &offset, &projection, &view,
                                 &world, 3),
            projected);
  for (int i = 0; i < 3; ++i) {
    kv::vec3Project(&out, &points[i], &offset, &projection, &view, &world);
    EXPECT_TRUE(near(projected[i], out, 0.0f));
    EXPECT_GT(out.x, 20.0f);
    EXPECT_LT(out.x, 320.0f);
    EXPECT_GT(out.z, 0.25f);
  }
  EXPECT_EQ(kv::vec3UnprojectArray(unprojected, sizeof(Vector3), projected, sizeof(Vector3), &offset, &projection,
                                   &view, &world, 3),
            unprojected);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(near(unprojected[i], points[i], 2e-3f)) << i;

  // Absent matrices are skipped; without a viewport the cube coordinates come back.
  kv::vec3Project(&out, &points[0], nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(near(out, points[0], 0.0f));
}

TEST_P(VectorOperations, UnprojectionThroughASingularMatrixWritesNothingAndReturnsNull) {
  Matrix singular = kv::identityMatrix();
  singular.m[2][2] = 0.0f;
  const kv::Viewport viewport{0, 0, 640, 480, 0.0f, 1.0f};
  const Vector3 v{10, 10, 0.5f};
  Vector3 out{7, 7, 7};
  EXPECT_EQ(kv::vec3Unproject(&out, &v, &viewport, &singular, nullptr, nullptr), nullptr);
  EXPECT_TRUE(near(out, Vector3{7, 7, 7}, 0.0f));
  EXPECT_EQ(kv::vec3UnprojectArray(&out, 12, &v, 12, &viewport, nullptr, &singular, nullptr, 1), nullptr);
  EXPECT_TRUE(near(out, Vector3{7, 7, 7}, 0.0f));
}

// A viewport without width, height or depth range divides by zero: the point in the cube
// gets an infinity (or 0/0) in that coordinate, and through the matrix every component,
// w included, picks up infinity times a weight or infinity times 0, so the result is not
// a number throughout; it is still written and returned.
TEST_P(VectorOperations, UnprojectionThroughAnEmptyViewportGivesTheIeeeResult) {
  const Matrix identity = kv::identityMatrix();
  const Matrix view = sampleMatrix(0.9f);
  const Vector3 v{10, 10, 0.25f};
  const kv::Viewport flat{0, 0, 0, 480, 0.0f, 1.0f}, low{0, 0, 640, 0, 0.0f, 1.0f},
      noDepth{0, 0, 640, 480, 0.5f, 0.5f}, noDepthAtV{0, 0, 640, 480, 0.25f, 0.25f};
  for (const kv::Viewport &viewport : {flat, low, noDepth, noDepthAtV}) {
    for (const Matrix *m : {static_cast<const Matrix *>(nullptr), &identity, &view}) {
      Vector3 out{7, 7, 7};
      EXPECT_EQ(kv::vec3Unproject(&out, &v, &viewport, m, nullptr, nullptr), &out);
      EXPECT_TRUE(std::isnan(out.x) && std::isnan(out.y) && std::isnan(out.z))
          << viewport.Width << "x" << viewport.Height << " z " << viewport.MinZ << " " << out.x << " " << out.y
          << " " << out.z;
      Vector3 many[2] = {{7, 7, 7}, {7, 7, 7}};
      const Vector3 in[2] = {v, v};
      EXPECT_EQ(kv::vec3UnprojectArray(many, sizeof(Vector3), in, sizeof(Vector3), &viewport, nullptr, m, nullptr, 2),
                many);
      for (const Vector3 &o : many) EXPECT_TRUE(std::isnan(o.x) && std::isnan(o.y) && std::isnan(o.z));
    }
  }
}

class PlaneOperations : public EachSetsEntries {};

TEST_P(PlaneOperations, PlanesFromPointsAndNormals) {
  const Vector3 a{0, 0, 0}, b{1, 0, 0}, c{0, 1, 0};
  Plane plane;
  EXPECT_EQ(kv::planeFromPoints(&plane, &a, &b, &c), &plane);
  EXPECT_TRUE(near(plane, Plane{0, 0, 1, 0}, 1e-6f));
  // Raised by 2 along z: d = -2.
  const Vector3 a2{0, 0, 2}, b2{1, 0, 2}, c2{0, 1, 2};
  kv::planeFromPoints(&plane, &a2, &b2, &c2);
  EXPECT_TRUE(near(plane, Plane{0, 0, 1, -2}, 1e-6f));
  // Three collinear points give the zero plane, not not-a-numbers.
  const Vector3 d{2, 0, 0};
  kv::planeFromPoints(&plane, &a, &b, &d);
  EXPECT_TRUE(near(plane, Plane{0, 0, 0, 0}, 0.0f));

  const Vector3 point{1, 2, 3}, normal{0, 2, 0};
  EXPECT_EQ(kv::planeFromPointNormal(&plane, &point, &normal), &plane);
  EXPECT_TRUE(near(plane, Plane{0, 2, 0, -4}, 0.0f));
}

TEST_P(PlaneOperations, NormalisationScalesAllFourAndKeepsItsSetsThreshold) {
  const Plane p{0, 3, 4, 10};
  Plane out;
  EXPECT_EQ(kv::planeNormalize(&out, &p), &out);
  EXPECT_TRUE(near(out, Plane{0, 0.6f, 0.8f, 2.0f}, 1e-6f));
  const Plane zero{0, 0, 0, 5};
  kv::planeNormalize(&out, &zero);
  EXPECT_TRUE(near(out, Plane{0, 0, 0, 0}, 0.0f));
  // q = 1e-16 lies below the SSE sets' 2^-46 but above the baseline's 2^-126.
  const Plane tiny{1e-8f, 0, 0, 1e-8f};
  kv::planeNormalize(&out, &tiny);
  if (simd())
    EXPECT_TRUE(near(out, Plane{0, 0, 0, 0}, 0.0f));
  else
    EXPECT_TRUE(near(out, Plane{1, 0, 0, 1}, 1e-6f));
  const Plane nan{std::numeric_limits<float>::quiet_NaN(), 0, 0, 1};
  kv::planeNormalize(&out, &nan);
  EXPECT_TRUE(near(out, Plane{0, 0, 0, 0}, 0.0f));
}

TEST_P(PlaneOperations, LineIntersectionOrNullForAParallelLine) {
  const Plane ground{0, 1, 0, -1};  // y = 1
  const Vector3 p1{1, 3, 2}, p2{1, -1, 4};
  Vector3 out{9, 9, 9};
  EXPECT_EQ(kv::planeIntersectLine(&out, &ground, &p1, &p2), &out);
  EXPECT_TRUE(near(out, Vector3{1, 1, 3}, 1e-6f));
  const Vector3 q1{0, 2, 0}, q2{5, 2, 5};
  out = {9, 9, 9};
  EXPECT_EQ(kv::planeIntersectLine(&out, &ground, &q1, &q2), nullptr);
  EXPECT_TRUE(near(out, Vector3{9, 9, 9}, 0.0f));
}

KV_INSTANTIATE_FOR_EVERY_SET(VectorOperations);
KV_INSTANTIATE_FOR_EVERY_SET(PlaneOperations);

}  // namespace
}  // namespace kvmathtest
