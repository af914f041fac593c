#pragma once
// Images of the model as GDK pixbufs, PNG bytes and the pixmaps of the
// StatusNotifierItem protocol.

#include <gtk/gtk.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Image.h"

// A new pixbuf of the image (the caller unrefs it); null for a null image.
GdkPixbuf* pixbufFromImage(const Image* image);

// A new pixbuf of the image scaled, keeping its proportions, to fill a
// square slot of `size` pixels as far as it can; null for a null image.
GdkPixbuf* pixbufFittingSlot(const Image* image, int size);

// The image as a PNG file's bytes; empty for a null image.
std::string pngBytes(const Image* image);

// The image at `scale` times its pixel size as the protocol's pixmap:
// width, height and 32-bit ARGB pixels in network byte order.
struct ArgbPixmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> argb;
};
ArgbPixmap argbPixmap(const Image& image, int scale);
