#pragma once
// Images of the model as GDK pixbufs, PNG bytes and the pixmaps of the
// StatusNotifierItem protocol. Panels show item and menu icons in square
// slots and stretch whatever they are given to fill one, so the pictures
// sent to them are centred on a transparent square of their own.

#include <gtk/gtk.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Image.h"

// A new pixbuf of the image (the caller unrefs it); null for a null image.
GdkPixbuf* pixbufFromImage(const Image* image);

// A new pixbuf, as wide as it is high, with the picture centred on a
// transparent background; takes over the caller's reference to `picture`.
// Null for null.
GdkPixbuf* paddedToSquare(GdkPixbuf* picture);

// A new square pixbuf of `size` pixels with the image scaled into it,
// keeping its proportions, as large as it fits, centred on transparency;
// null for a null image.
GdkPixbuf* pixbufFittingSlot(const Image* image, int size);

// The image centred on a transparent square, as a PNG file's bytes; empty
// for a null image.
std::string squarePngBytes(const Image* image);

// The image at `scale` times its pixel size, centred on a transparent square,
// as the protocol's pixmap: width, height and 32-bit ARGB pixels in network
// byte order.
struct ArgbPixmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> argb;
};
ArgbPixmap argbPixmap(const Image& image, int scale);
