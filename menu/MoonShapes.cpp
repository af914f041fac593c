#include "menu/MoonShapes.h"

#include <cmath>
#include <numbers>

BezierPath ellipseWithLeftWidth(float left, float right) {
    // Steps of 12 degrees: 14 points on the right half from -78 to +78
    // degrees, 14 on the left from 90 to 246 degrees, then back to the start.
    const double step = std::numbers::pi / 15.0;
    BezierPath path;
    path.moveTo({0, -1});
    for (int i = 0; i < 14; ++i) {
        const double a = -std::numbers::pi / 2 + step * (i + 1);
        path.lineTo({std::cos(a) * right, std::sin(a)});
    }
    for (int i = 0; i < 14; ++i) {
        const double a = std::numbers::pi / 2 + step * i;
        path.lineTo({std::cos(a) * left, std::sin(a)});
    }
    path.closePath();
    return path;
}

namespace {

template <class Draw>
void drawAtPoint(Point at, ImageCanvas& canvas, Draw draw) {
    canvas.save();
    AffineTransform move;
    move.translate(at.x, at.y);
    canvas.concat(move);
    draw();
    canvas.restore();
}

}  // namespace

void fillAtPoint(const BezierPath& path, Point at, ImageCanvas& canvas, const Color& color) {
    drawAtPoint(at, canvas, [&] { canvas.fill(path, color); });
}

void strokeAtPoint(const BezierPath& path, Point at, ImageCanvas& canvas, const Color& color) {
    drawAtPoint(at, canvas, [&] { canvas.stroke(path, color); });
}
