#pragma once
// Drawing a label picture with Cairo, for the image of the model and for
// presenters that draw it themselves (in their text colour, at their scale).

#include <cairo.h>

#include "platform/Color.h"
#include "platform/LabelPicture.h"

// Draws the label with the picture's top-left corner at the origin of `cr`,
// whose units are points; the text in `textColor`.
void drawLabelPicture(cairo_t* cr, const LabelPicture& label, const Color& textColor);
