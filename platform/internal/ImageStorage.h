#pragma once
// The Cairo surface behind an Image, for the drawing code inside platform/.

#include <cairo.h>

struct ImageStorage {
    cairo_surface_t* surface = nullptr;  // CAIRO_FORMAT_ARGB32, premultiplied
    ~ImageStorage() {
        if (surface) cairo_surface_destroy(surface);
    }
};
