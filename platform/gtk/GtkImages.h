#pragma once
// Images of the model as GDK pixbufs.

#include <gtk/gtk.h>

#include "platform/AttributedString.h"
#include "platform/Image.h"

// A new pixbuf of the image (the caller unrefs it); null for a null image.
GdkPixbuf* pixbufFromImage(const Image* image);

// What a status item shows: its image scaled to the bar's thickness and its
// title after it, as one image. Null when it has neither.
ImageRef statusItemPicture(const Image* image, const AttributedString& title, double thickness, bool menuDown);
