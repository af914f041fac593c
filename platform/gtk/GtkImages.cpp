#include "platform/gtk/GtkImages.h"

#include <algorithm>

#include "platform/ImageCanvas.h"
#include "platform/internal/ImageStorage.h"

GdkPixbuf* pixbufFromImage(const Image* image) {
    if (!image) return nullptr;
    cairo_surface_t* s = image->storage().surface;
    cairo_surface_flush(s);
    return gdk_pixbuf_get_from_surface(s, 0, 0, image->pixelsWide(), image->pixelsHigh());
}

ImageRef statusItemPicture(const Image* image, const AttributedString& title, double thickness, bool menuDown) {
    const bool hasTitle = !title.empty();
    if (!image && !hasTitle) return nullptr;
    double width = 0, imageWidth = 0;
    if (image && image->size().height > 0) {
        imageWidth = (thickness - 3) * image->size().width / image->size().height;
        width = imageWidth;
    }
    AttributedString text = title;
    // The title is white on the open menu's highlight, black otherwise.
    text.setColor(menuDown ? Color::white() : Color::black());
    const Size textSize = hasTitle ? text.size() : Size{};
    if (hasTitle) width += 2 + textSize.width;
    ImageRef picture = Image::create({std::max(width, 1.0), thickness});
    if (!picture) return nullptr;
    ImageCanvas canvas(*picture);
    if (menuDown) canvas.fillRect({0, 0, std::max(width, 1.0), thickness}, Color::calibratedRGB(0.2, 0.4, 0.85));
    if (image) canvas.drawImage(*image, Rect{0, 2, imageWidth, thickness - 3}, 1.0);
    if (hasTitle) canvas.drawText(text, {imageWidth + 2, 1 + thickness / 2 - textSize.height / 2});
    return picture;
}
