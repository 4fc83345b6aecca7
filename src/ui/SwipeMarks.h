#pragma once

#include "swipe/DecodedSwipe.h"
#include "swipe/SwipeText.h"

#include <QString>

// How the card swipe test marks the parts of a swipe, and the legend that names the marks. Every
// mark brings its own background and text colour, so that it reads the same on a plain row and on
// the selected one; the card data itself takes the row's colours.
class SwipeMarks {
public:
    // The prefixes and suffixes the reader sends.
    static bool isList(SwipePart part);
    // One part as rich text. Between its codes lie break chances of no width, so that a long swipe
    // wraps inside its column rather than run off the edge.
    static QString html(const SwipeText::Piece& piece);
    // The legend as rich text, and as plain words for a screen reader.
    static QString legendHtml();
    static QString legendText();
};
