// The cofactor expansion shared by the baseline determinant and inverse.
#pragma once

#include "math/scene_math.h"

namespace kv {

// The determinant, expanded along row 0 with the 2x2 minors of rows 2 and 3; when
// adjugate is not null it also receives the adjugate (the inverse times the determinant).
float adjugateAndDeterminant(const Matrix &matrix, Matrix *adjugate);

}  // namespace kv
