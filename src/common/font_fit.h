// The controls are laid out in twips for one small font; the desktop's font
// can be wider. A button or label whose text does not fit its width gets a
// smaller font, just small enough, but never below a size that stays legible.
#pragma once

class QWidget;

namespace sb::common {

// The smallest size a control's font is shrunk to, in points.
constexpr int kSmallestFontPoints = 7;

// Gives the button or label `w` the largest font, from its parent's size down
// to kSmallestFontPoints in tenths of a point, in which its whole text fits
// its width together with the margins its style keeps around a button's
// label. A text too long even then stays cut. Call it again whenever the text
// changes.
void fitFont(QWidget* w);

} // namespace sb::common
