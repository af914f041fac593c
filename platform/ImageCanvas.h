#pragma once
// Drawing into an Image (or onto a window's Cairo context), in points with
// the origin at the bottom-left.
// Transforms added with concat() hold until the matching restore() or the
// end of the canvas.

#include "platform/AffineTransform.h"
#include "platform/AttributedString.h"
#include "platform/BezierPath.h"
#include "platform/Color.h"
#include "platform/Geometry.h"

class Image;
struct _cairo;

class ImageCanvas {
public:
    explicit ImageCanvas(Image& target);
    // Draws on a context of someone else's (a window's), whose units are
    // points with the origin at the top-left, `height` points high; the
    // context is left as it was found.
    ImageCanvas(_cairo* context, double height);
    ~ImageCanvas();
    ImageCanvas(const ImageCanvas&) = delete;
    ImageCanvas& operator=(const ImageCanvas&) = delete;

    void save();
    void restore();
    void concat(const AffineTransform& t);

    void fill(const BezierPath& path, const Color& color);
    void stroke(const BezierPath& path, const Color& color);
    void fillRect(const Rect& rect, const Color& color);
    // Clears the whole image to transparent.
    void clear();

    // Source-over at a point (the source's bottom-left corner) or scaled into
    // a rectangle; the source's opacity is multiplied by fraction.
    void drawImage(const Image& source, Point at, double fraction = 1.0);
    void drawImage(const Image& source, const Rect& into, double fraction = 1.0);
    // The text with the bottom-left corner of its box at `at`.
    void drawText(const AttributedString& text, Point at);
    // The text laid out in the rectangle's width by its alignment, from the top.
    void drawText(const AttributedString& text, const Rect& into);

private:
    void addPath(const BezierPath& path);
    void setColor(const Color& c);

    _cairo* cr_;
    Image* target_;  // null on a context of someone else's
};
