#pragma once

#include <QFont>

// Arial at a height in pixels, the font the window's pixel geometry was drawn for. Where Arial
// itself is not installed, its metric twins (Liberation Sans, Arimo) take its place with the same
// widths, so that every caption keeps to its control. A size in pixels, not points, keeps the
// text in proportion to the controls whatever the screen's dots per inch.
QFont arialFont(int pixelSize, bool bold = false);
