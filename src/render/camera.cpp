#include "render/camera.h"

namespace kv {

namespace {
constexpr Vector3 kEye = {0.0f, 0.0f, -580.0f};
constexpr Vector3 kTarget = {0.0f, 0.0f, 0.0f};
constexpr Vector3 kUp = {0.0f, 1.0f, 0.0f};
constexpr float kFieldOfView = 0.7853982f;  // pi/4
constexpr float kNearPlane = 0.1f;
constexpr float kFarPlane = 100000.0f;
}  // namespace

Matrix cameraView() {
  Matrix view;
  matrixLookAtLH(&view, &kEye, &kTarget, &kUp);
  return view;
}

Matrix cameraProjection(unsigned viewportWidth, unsigned viewportHeight) {
  Matrix projection;
  const float aspect = static_cast<float>(viewportWidth) / static_cast<float>(viewportHeight);
  matrixPerspectiveFovLH(&projection, kFieldOfView, aspect, kNearPlane, kFarPlane);
  return projection;
}

}  // namespace kv
