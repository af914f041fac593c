#include "platform/LabelPicture.h"

#include "platform/internal/LabelPictureDrawing.h"

void drawLabelPicture(ImageCanvas& canvas, const LabelPicture& label, const Color& textColor) {
    const double iconWidth = label.icon ? static_cast<int>(label.icon->size().width) : 0;
    // Right-aligned by the layout on the canvas itself, so that the right
    // edge holds whatever the canvas's scale does to the glyphs.
    AttributedString text = label.text;
    TextAttributes attributes = text.attributes();
    attributes.color = textColor;
    attributes.alignment = TextAlignment::Right;
    text.setAttributes(attributes);
    canvas.drawText(text, Rect{0, 0, label.size.width - (label.gap + iconWidth), text.size().height});
    if (label.icon) canvas.drawImage(*label.icon, Point{label.size.width - iconWidth, 0});
}

ImageRef LabelPicture::render() const {
    ImageRef picture = Image::create(size);
    if (!picture) return picture;
    ImageCanvas canvas(*picture);
    drawLabelPicture(canvas, *this, text.attributes().color);
    return picture;
}
