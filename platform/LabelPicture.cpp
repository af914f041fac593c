#include "platform/LabelPicture.h"

#include "platform/internal/ImageStorage.h"
#include "platform/internal/LabelPictureDrawing.h"
#include "platform/internal/PangoText.h"

void drawLabelPicture(cairo_t* cr, const LabelPicture& label, const Color& textColor) {
    const double iconWidth = label.icon ? static_cast<int>(label.icon->size().width) : 0;
    if (!label.text.empty()) {
        cairo_save(cr);
        // Measured as drawn on this context, so that the right edge holds
        // whatever the context's scale does to the glyphs.
        PangoLayout* layout = createTextLayout(label.text, cr);
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        const double textWidth = static_cast<double>(logical.width) / PANGO_SCALE;
        const double textHeight = static_cast<double>(logical.height) / PANGO_SCALE;
        cairo_set_source_rgba(cr, textColor.red, textColor.green, textColor.blue, textColor.alpha);
        cairo_move_to(cr, label.size.width - (label.gap + textWidth + iconWidth), label.size.height - textHeight);
        pango_cairo_show_layout(cr, layout);
        g_object_unref(layout);
        cairo_restore(cr);
    }
    if (label.icon && label.icon->pixelsWide() > 0 && label.icon->pixelsHigh() > 0) {
        const Image& icon = *label.icon;
        cairo_surface_t* pixels = icon.storage().surface;
        cairo_surface_flush(pixels);
        cairo_save(cr);
        cairo_translate(cr, label.size.width - iconWidth, label.size.height - icon.size().height);
        cairo_scale(cr, icon.size().width / icon.pixelsWide(), icon.size().height / icon.pixelsHigh());
        cairo_set_source_surface(cr, pixels, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    }
}

ImageRef LabelPicture::render() const {
    ImageRef picture = Image::create(size);
    if (!picture) return picture;
    cairo_surface_t* pixels = picture->storage().surface;
    cairo_t* cr = cairo_create(pixels);
    drawLabelPicture(cr, *this, text.attributes().color);
    cairo_destroy(cr);
    cairo_surface_flush(pixels);
    return picture;
}
