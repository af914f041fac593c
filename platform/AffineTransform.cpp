#include "platform/AffineTransform.h"

#include <cmath>
#include <numbers>

namespace {

// The transform that applies `first` and then `second`.
AffineTransform compose(const AffineTransform& first, const AffineTransform& second) {
    AffineTransform r;
    r.a = second.a * first.a + second.c * first.b;
    r.b = second.b * first.a + second.d * first.b;
    r.c = second.a * first.c + second.c * first.d;
    r.d = second.b * first.c + second.d * first.d;
    r.tx = second.a * first.tx + second.c * first.ty + second.tx;
    r.ty = second.b * first.tx + second.d * first.ty + second.ty;
    return r;
}

}  // namespace

void AffineTransform::prepend(const AffineTransform& other) { *this = compose(other, *this); }

void AffineTransform::append(const AffineTransform& other) { *this = compose(*this, other); }

void AffineTransform::translate(double x, double y) {
    AffineTransform t;
    t.tx = x;
    t.ty = y;
    prepend(t);
}

void AffineTransform::scale(double sx, double sy) {
    AffineTransform t;
    t.a = sx;
    t.d = sy;
    prepend(t);
}

void AffineTransform::rotateByRadians(double radians) {
    AffineTransform t;
    t.a = std::cos(radians);
    t.b = std::sin(radians);
    t.c = -t.b;
    t.d = t.a;
    prepend(t);
}

void AffineTransform::rotateByDegrees(double degrees) {
    rotateByRadians(degrees * std::numbers::pi / 180.0);
}

Point AffineTransform::transformPoint(Point p) const {
    return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty};
}
