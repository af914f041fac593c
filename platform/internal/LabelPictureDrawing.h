#pragma once
// Drawing a label picture, for the image of the model and for presenters
// that draw it themselves (in their text colour, at their scale).

#include "platform/Color.h"
#include "platform/ImageCanvas.h"
#include "platform/LabelPicture.h"

// Draws the label with the picture's bottom-left corner at the canvas's
// origin; the text in `textColor`.
void drawLabelPicture(ImageCanvas& canvas, const LabelPicture& label, const Color& textColor);
