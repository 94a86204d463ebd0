#pragma once

// The in-between values of a transform animation, as Core Animation shows them: each end is
// taken apart into a translation, a scale per axis and a rotation (a unit quaternion); the
// translation and scale go evenly from one end to the other and the rotation turns at an even
// rate about a fixed axis (spherical linear interpolation). From the identity to a half turn
// about an axis, the angle thus grows evenly from 0 to π about that axis.
//
// Shear and perspective (m14, m24, m34) are not kept: the layer transforms of the platform layer
// are rotations, scales and translations.

#include "platform/graphics/CGGeometry.h"

// The transform a `fraction` of the way from `from` to `to` (0 gives `from`, 1 gives `to`).
CATransform3D CATransform3DInterpolate(const CATransform3D& from, const CATransform3D& to, double fraction);
