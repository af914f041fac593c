#pragma once
// Pango layouts for AttributedString, for the drawing code inside platform/.

#include <pango/pangocairo.h>

#include "platform/AttributedString.h"

// A layout of the string on the Cairo context (or a measuring context when
// cr is null). The caller unrefs it.
PangoLayout* createTextLayout(const AttributedString& text, cairo_t* cr);
PangoFontDescription* createFontDescription(const Font& font);
