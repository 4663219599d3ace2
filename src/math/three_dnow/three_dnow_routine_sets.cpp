// Which slots the 3DNow! set and its extension replace. The set covers every slot but
// the decomposition (12) and slots 60 to 73; where its routine computes the baseline's
// formula with no visible difference (products, transforms, the splines, the
// quaternion algebra, the translation and scaling builders, the half-to-float
// conversion) the baseline routine serves. Its own routines are those with the set's
// normalisation rule or its single-precision sine and cosine.
#include "math/table/routine_sets.h"
#include "math/three_dnow/three_dnow_routines.h"

namespace kv {

void install3DNowRoutines(MathDispatchTable &table) {
  table.vec3Normalize = &threeDNowVec3Normalize;
  table.matrixRotationX = &threeDNowMatrixRotationX;
  table.matrixRotationY = &threeDNowMatrixRotationY;
  table.matrixRotationZ = &threeDNowMatrixRotationZ;
  table.float32To16Array = &threeDNowFloat32To16Array;
  table.quaternionFromYawPitchRoll = &threeDNowQuaternionFromYawPitchRoll;
  table.quaternionFromAxisAngle = &threeDNowQuaternionFromAxisAngle;
  table.matrixRotationYawPitchRoll = &threeDNowMatrixRotationYawPitchRoll;
  table.matrixRotationAxis = &threeDNowMatrixRotationAxis;
}

// The extended 3DNow! routines for slots 16, 19, 25, 39 and 40 (unprojection, inverse,
// quaternion from matrix, matrix from quaternion, composite transformation) differ from
// the baseline only in speed, so the baseline routines stay in those slots.
void installExtended3DNowRoutines(MathDispatchTable &table) { (void)table; }

}  // namespace kv
