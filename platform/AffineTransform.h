#pragma once
// A 2-D affine transform. Each operation applies to the coordinate system,
// so the last one added is the first applied to a point: translate, then
// scale, then rotate maps a point by rotating, scaling and translating it.

#include "platform/Geometry.h"

class AffineTransform {
public:
    AffineTransform() = default;

    void translate(double tx, double ty);
    void scale(double sx, double sy);
    void rotateByDegrees(double degrees);
    void rotateByRadians(double radians);
    // Applies `other` to points first, then this transform.
    void prepend(const AffineTransform& other);
    // Applies this transform first, then `other`.
    void append(const AffineTransform& other);

    Point transformPoint(Point p) const;

    // The matrix: x' = a x + c y + tx, y' = b x + d y + ty.
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};
