#pragma once
// Drawing helpers for moon shapes: the half-ellipse outline the moon's shadow
// is cut from, and filling or stroking a path moved to a point.

#include "platform/BezierPath.h"
#include "platform/Color.h"
#include "platform/ImageCanvas.h"

// A closed polygon approximating an ellipse of height 2 centred at the
// origin whose right half has the horizontal radius `right` and left half
// `left`. A negative width puts that half on the other side of the vertical
// axis, which is how a crescent is formed.
BezierPath ellipseWithLeftWidth(float left, float right);

// Fill or stroke the path with the canvas's origin moved to `at`; the
// canvas's coordinates are as before afterwards.
void fillAtPoint(const BezierPath& path, Point at, ImageCanvas& canvas, const Color& color);
void strokeAtPoint(const BezierPath& path, Point at, ImageCanvas& canvas, const Color& color);
