// The steps of projection to a viewport and back, shared by the routine sets (each
// brings its own product, inverse and point transform).
#pragma once

#include "math/table/dispatch_table.h"

namespace kv {

// world x view x projection of the matrices present (null ones are skipped); the
// identity when none is.
Matrix combinedTransform(const Matrix *projection, const Matrix *view, const Matrix *world,
                         MatrixProductFn multiply);

// From the [-1, 1] cube to viewport coordinates (unchanged without a viewport).
Vector3 toViewport(const Vector3 &p, const Viewport *viewport);

// A viewport with no width, no height or no depth range cannot be mapped back.
bool canMapBack(const Viewport *viewport);
Vector3 fromViewport(const Vector3 &v, const Viewport *viewport);

// The inverse of the combined matrices (the identity when none is present); false when
// they cannot be inverted.
bool unprojectionMatrix(Matrix *inverse, const Matrix *projection, const Matrix *view, const Matrix *world,
                        MatrixProductFn multiply, MatrixInverseFn invert);

}  // namespace kv
