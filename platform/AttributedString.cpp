#include "platform/AttributedString.h"

#include "util/DisplayText.h"
#include "platform/internal/PangoText.h"

AttributedString::AttributedString(const std::string& text, TextAttributes attributes)
    : text_(toDisplayText(text)), attributes_(attributes) {}

void AttributedString::setString(const std::string& text) { text_ = toDisplayText(text); }

PangoFontDescription* createFontDescription(const Font& font) {
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, "Sans");
    pango_font_description_set_weight(desc, font.isBold() ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    // Absolute size: one point of the program is one device unit.
    pango_font_description_set_absolute_size(desc, font.pointSize() * PANGO_SCALE);
    return desc;
}

PangoLayout* createTextLayout(const AttributedString& text, cairo_t* cr) {
    PangoLayout* layout;
    if (cr) {
        layout = pango_cairo_create_layout(cr);
    } else {
        PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
        layout = pango_layout_new(context);
        g_object_unref(context);
    }
    PangoFontDescription* desc = createFontDescription(text.attributes().font);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    switch (text.attributes().alignment) {
        case TextAlignment::Left: pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT); break;
        case TextAlignment::Center: pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER); break;
        case TextAlignment::Right: pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT); break;
    }
    pango_layout_set_text(layout, text.string().c_str(), static_cast<int>(text.string().size()));
    return layout;
}

Size AttributedString::size() const {
    if (text_.empty()) return {0, 0};
    PangoLayout* layout = createTextLayout(*this, nullptr);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return {static_cast<double>(logical.width) / PANGO_SCALE,
            static_cast<double>(logical.height) / PANGO_SCALE};
}
