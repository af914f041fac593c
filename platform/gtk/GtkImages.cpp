#include "platform/gtk/GtkImages.h"

#include <algorithm>
#include <cmath>

#include "platform/internal/ImageStorage.h"

GdkPixbuf* pixbufFromImage(const Image* image) {
    if (!image) return nullptr;
    cairo_surface_t* s = image->storage().surface;
    cairo_surface_flush(s);
    return gdk_pixbuf_get_from_surface(s, 0, 0, image->pixelsWide(), image->pixelsHigh());
}

GdkPixbuf* paddedToSquare(GdkPixbuf* picture) {
    if (!picture) return nullptr;
    const int w = gdk_pixbuf_get_width(picture);
    const int h = gdk_pixbuf_get_height(picture);
    if (w == h && gdk_pixbuf_get_has_alpha(picture)) return picture;
    const int side = std::max(w, h);
    GdkPixbuf* square = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, side, side);
    if (!square) return picture;
    gdk_pixbuf_fill(square, 0x00000000);
    gdk_pixbuf_copy_area(picture, 0, 0, w, h, square, (side - w) / 2, (side - h) / 2);
    g_object_unref(picture);
    return square;
}

GdkPixbuf* pixbufFittingSlot(const Image* image, int size) {
    GdkPixbuf* whole = pixbufFromImage(image);
    if (!whole || size <= 0) return whole;
    const int w = gdk_pixbuf_get_width(whole);
    const int h = gdk_pixbuf_get_height(whole);
    const double scale = static_cast<double>(size) / std::max(w, h);
    const int sw = std::clamp(static_cast<int>(std::lround(w * scale)), 1, size);
    const int sh = std::clamp(static_cast<int>(std::lround(h * scale)), 1, size);
    if (sw != w || sh != h) {
        GdkPixbuf* scaled = gdk_pixbuf_scale_simple(whole, sw, sh, GDK_INTERP_BILINEAR);
        g_object_unref(whole);
        whole = scaled;
    }
    return paddedToSquare(whole);
}

std::string squarePngBytes(const Image* image) {
    GdkPixbuf* pb = paddedToSquare(pixbufFromImage(image));
    if (!pb) return {};
    gchar* buffer = nullptr;
    gsize length = 0;
    std::string bytes;
    if (gdk_pixbuf_save_to_buffer(pb, &buffer, &length, "png", nullptr, nullptr)) bytes.assign(buffer, length);
    g_free(buffer);
    g_object_unref(pb);
    return bytes;
}

ArgbPixmap argbPixmap(const Image& image, int scale) {
    ArgbPixmap out;
    GdkPixbuf* pb = pixbufFromImage(&image);
    if (!pb) return out;
    if (scale > 1) {
        GdkPixbuf* big = gdk_pixbuf_scale_simple(pb, gdk_pixbuf_get_width(pb) * scale,
                                                 gdk_pixbuf_get_height(pb) * scale, GDK_INTERP_BILINEAR);
        g_object_unref(pb);
        pb = big;
        if (!pb) return out;
    }
    pb = paddedToSquare(pb);
    out.width = gdk_pixbuf_get_width(pb);
    out.height = gdk_pixbuf_get_height(pb);
    const int channels = gdk_pixbuf_get_n_channels(pb);
    const bool alpha = gdk_pixbuf_get_has_alpha(pb);
    const int stride = gdk_pixbuf_get_rowstride(pb);
    const guchar* pixels = gdk_pixbuf_read_pixels(pb);
    out.argb.reserve(static_cast<size_t>(out.width) * out.height * 4);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const guchar* p = pixels + y * stride + x * channels;
            out.argb.push_back(alpha ? p[3] : 255);
            out.argb.push_back(p[0]);
            out.argb.push_back(p[1]);
            out.argb.push_back(p[2]);
        }
    g_object_unref(pb);
    return out;
}
