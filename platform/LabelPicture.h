#pragma once
// A label picture, as menu lines show their headings: one text right-aligned
// in a picture of a fixed size, with an optional icon at the right edge. It
// is kept as its parts so that a presenter can draw it again itself, in the
// text colour of its theme and at its display's scale.

#include "platform/AttributedString.h"
#include "platform/Geometry.h"
#include "platform/Image.h"

struct LabelPicture {
    Size size;              // in points
    AttributedString text;  // on the bottom edge, `gap` points short of the icon (or of the right edge)
    double gap = 0;
    ImageRef icon;          // on the bottom edge at the right, or null; its width counts in whole points

    // The picture at one pixel per point, the text in its own colour.
    ImageRef render() const;
};
