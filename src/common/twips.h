// Window geometry is designed in twips (1/1440 inch) so that it scales with
// the screen's logical resolution.
#pragma once

#include <QRect>
#include <QWidget>

namespace sb::common {

constexpr int twipsToPixels(int twips, int logicalDpi)
{
    return twips * logicalDpi / 1440;
}

// Places `w` at a rectangle given in twips, relative to its parent.
inline void placeInTwips(QWidget* w, int left, int top, int width, int height)
{
    const int dx = w->logicalDpiX();
    const int dy = w->logicalDpiY();
    w->setGeometry(twipsToPixels(left, dx), twipsToPixels(top, dy), twipsToPixels(width, dx),
                   twipsToPixels(height, dy));
}

} // namespace sb::common
