#pragma once
// Reading image files for Image::load, bounded by the size their headers declare.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <memory>
#include <string>

struct PixbufUnref {
    void operator()(GdkPixbuf* pixbuf) const { g_object_unref(pixbuf); }
};
using PixbufRef = std::unique_ptr<GdkPixbuf, PixbufUnref>;

// The decoded file, or null when it is unreadable or declares more than
// maxSide pixels on either side (then refused before any pixel is decoded).
PixbufRef loadPixbufWithin(const std::string& path, int maxSide);
