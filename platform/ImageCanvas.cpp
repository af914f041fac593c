#include "platform/ImageCanvas.h"

#include <algorithm>

#include "platform/Image.h"
#include "platform/internal/ImageStorage.h"
#include "platform/internal/PangoText.h"

ImageCanvas::ImageCanvas(Image& target) : cr_(cairo_create(target.storage().surface)), target_(&target) {
    // Cairo's y runs downwards: flip it so the origin is bottom-left.
    cairo_translate(cr_, 0, target.pixelsHigh());
    cairo_scale(cr_, 1, -1);
}

ImageCanvas::ImageCanvas(cairo_t* context, double height) : cr_(cairo_reference(context)), target_(nullptr) {
    cairo_save(cr_);
    cairo_translate(cr_, 0, height);
    cairo_scale(cr_, 1, -1);
}

ImageCanvas::~ImageCanvas() {
    if (!target_) cairo_restore(cr_);
    cairo_destroy(cr_);
    if (target_) cairo_surface_flush(target_->storage().surface);
}

void ImageCanvas::save() { cairo_save(cr_); }

void ImageCanvas::restore() { cairo_restore(cr_); }

void ImageCanvas::concat(const AffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_transform(cr_, &m);
}

void ImageCanvas::setColor(const Color& c) {
    cairo_set_source_rgba(cr_, c.red, c.green, c.blue, c.alpha);
}

void ImageCanvas::addPath(const BezierPath& path) {
    cairo_new_path(cr_);
    for (const auto& e : path.elements()) {
        switch (e.kind) {
            case BezierPath::Kind::MoveTo: cairo_move_to(cr_, e.points[0].x, e.points[0].y); break;
            case BezierPath::Kind::LineTo: cairo_line_to(cr_, e.points[0].x, e.points[0].y); break;
            case BezierPath::Kind::CurveTo:
                cairo_curve_to(cr_, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y,
                               e.points[2].x, e.points[2].y);
                break;
            case BezierPath::Kind::ClosePath: cairo_close_path(cr_); break;
        }
    }
}

void ImageCanvas::fill(const BezierPath& path, const Color& color) {
    addPath(path);
    setColor(color);
    cairo_fill(cr_);
}

void ImageCanvas::stroke(const BezierPath& path, const Color& color) {
    addPath(path);
    setColor(color);
    cairo_set_line_width(cr_, path.lineWidth());
    cairo_stroke(cr_);
}

void ImageCanvas::fillRect(const Rect& rect, const Color& color) { fill(BezierPath::rect(rect), color); }

void ImageCanvas::clear() {
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

void ImageCanvas::drawImage(const Image& source, Point at, double fraction) {
    drawImage(source, Rect(at, source.size()), fraction);
}

void ImageCanvas::drawImage(const Image& source, const Rect& into, double fraction) {
    const int pw = source.pixelsWide(), ph = source.pixelsHigh();
    if (pw <= 0 || ph <= 0 || !(into.width() > 0) || !(into.height() > 0)) return;
    cairo_surface_t* src = source.storage().surface;
    cairo_surface_flush(src);
    cairo_save(cr_);
    // The source's rows run downwards from its top edge.
    cairo_translate(cr_, into.x(), into.maxY());
    cairo_scale(cr_, into.width() / pw, -into.height() / ph);
    cairo_rectangle(cr_, 0, 0, pw, ph);
    cairo_clip(cr_);
    cairo_set_source_surface(cr_, src, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr_), CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(cr_, std::clamp(fraction, 0.0, 1.0));
    cairo_restore(cr_);
}

void ImageCanvas::drawText(const AttributedString& text, Point at) {
    if (text.empty()) return;
    const Size size = text.size();
    cairo_save(cr_);
    cairo_translate(cr_, at.x, at.y + size.height);
    cairo_scale(cr_, 1, -1);
    PangoLayout* layout = createTextLayout(text, cr_);
    setColor(text.attributes().color);
    cairo_move_to(cr_, 0, 0);
    pango_cairo_show_layout(cr_, layout);
    g_object_unref(layout);
    cairo_restore(cr_);
}

void ImageCanvas::drawText(const AttributedString& text, const Rect& into) {
    if (text.empty()) return;
    cairo_save(cr_);
    cairo_translate(cr_, into.x(), into.maxY());
    cairo_scale(cr_, 1, -1);
    PangoLayout* layout = createTextLayout(text, cr_);
    pango_layout_set_width(layout, static_cast<int>(into.width() * PANGO_SCALE));
    setColor(text.attributes().color);
    cairo_move_to(cr_, 0, 0);
    pango_cairo_show_layout(cr_, layout);
    g_object_unref(layout);
    cairo_restore(cr_);
}
