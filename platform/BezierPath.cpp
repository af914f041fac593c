#include "platform/BezierPath.h"

#include <algorithm>

BezierPath BezierPath::rect(const Rect& r) {
    BezierPath p;
    p.appendRect(r);
    return p;
}

BezierPath BezierPath::ovalInRect(const Rect& r) {
    BezierPath p;
    p.appendOvalInRect(r);
    return p;
}

void BezierPath::moveTo(Point p) { elements_.push_back({Kind::MoveTo, {p, {}, {}}}); }

void BezierPath::lineTo(Point p) { elements_.push_back({Kind::LineTo, {p, {}, {}}}); }

void BezierPath::curveTo(Point end, Point control1, Point control2) {
    elements_.push_back({Kind::CurveTo, {control1, control2, end}});
}

void BezierPath::closePath() { elements_.push_back({Kind::ClosePath, {}}); }

void BezierPath::appendRect(const Rect& r) {
    moveTo(r.origin);
    lineTo({r.maxX(), r.y()});
    lineTo({r.maxX(), r.maxY()});
    lineTo({r.x(), r.maxY()});
    closePath();
}

void BezierPath::appendOvalInRect(const Rect& r) {
    // Four cubic quarter arcs; kappa places the control points of a circle.
    constexpr double kappa = 0.5522847498;
    const double cx = r.x() + r.width() / 2, cy = r.y() + r.height() / 2;
    const double rx = r.width() / 2, ry = r.height() / 2;
    const double kx = rx * kappa, ky = ry * kappa;
    moveTo({cx + rx, cy});
    curveTo({cx, cy + ry}, {cx + rx, cy + ky}, {cx + kx, cy + ry});
    curveTo({cx - rx, cy}, {cx - kx, cy + ry}, {cx - rx, cy + ky});
    curveTo({cx, cy - ry}, {cx - rx, cy - ky}, {cx - kx, cy - ry});
    curveTo({cx + rx, cy}, {cx + kx, cy - ry}, {cx + rx, cy - ky});
    closePath();
}

void BezierPath::transform(const AffineTransform& t) {
    for (auto& e : elements_) {
        const int n = e.kind == Kind::CurveTo ? 3 : e.kind == Kind::ClosePath ? 0 : 1;
        for (int i = 0; i < n; ++i) e.points[i] = t.transformPoint(e.points[i]);
    }
}

Rect BezierPath::bounds() const {
    bool any = false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (const auto& e : elements_) {
        const int n = e.kind == Kind::CurveTo ? 3 : e.kind == Kind::ClosePath ? 0 : 1;
        for (int i = 0; i < n; ++i) {
            const Point p = e.points[i];
            if (!any) {
                x0 = x1 = p.x, y0 = y1 = p.y, any = true;
            } else {
                x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
                y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
            }
        }
    }
    return {x0, y0, x1 - x0, y1 - y0};
}
