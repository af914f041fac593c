#pragma once
// A path of straight and cubic segments, filled or stroked into an image
// through an ImageCanvas.

#include <cstddef>
#include <vector>

#include "platform/AffineTransform.h"
#include "platform/Geometry.h"

class BezierPath {
public:
    enum class Kind { MoveTo, LineTo, CurveTo, ClosePath };
    struct Element {
        Kind kind;
        Point points[3];  // MoveTo/LineTo use [0]; CurveTo: control 1, control 2, end
    };

    static BezierPath rect(const Rect& r);
    static BezierPath ovalInRect(const Rect& r);

    void moveTo(Point p);
    void lineTo(Point p);
    void curveTo(Point end, Point control1, Point control2);
    void closePath();
    void appendRect(const Rect& r);
    void appendOvalInRect(const Rect& r);

    void transform(const AffineTransform& t);
    bool isEmpty() const { return elements_.empty(); }
    size_t elementCount() const { return elements_.size(); }
    const Element& element(size_t i) const { return elements_[i]; }
    const std::vector<Element>& elements() const { return elements_; }
    // The smallest rectangle holding every point of the path (control points included).
    Rect bounds() const;

    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double w) { lineWidth_ = w; }

private:
    std::vector<Element> elements_;
    double lineWidth_ = 1.0;
};
