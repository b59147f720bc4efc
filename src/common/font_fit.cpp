#include "common/font_fit.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <vector>

namespace sb::common {

namespace {

// The width `w` needs to show `text` whole in `font`.
int widthNeeded(const QWidget* w, const QString& text, const QFont& font)
{
    const QSize textSize = QFontMetrics(font).size(Qt::TextShowMnemonic, text);
    const auto* button = qobject_cast<const QPushButton*>(w);
    if (!button)
        return textSize.width();
    // The option carries no text: a style's least width for a labelled
    // button is no need of its label.
    QStyleOptionButton option;
    option.initFrom(button);
    if (button->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    return button->style()
        ->sizeFromContents(QStyle::CT_PushButton, &option, textSize, button)
        .width();
}

} // namespace

void fitFont(QWidget* w)
{
    const auto* button = qobject_cast<const QPushButton*>(w);
    const auto* label = qobject_cast<const QLabel*>(w);
    if ((!button && !label) || !w->parentWidget())
        return;
    const QString text = button ? button->text() : label->text();
    const QFont base = w->parentWidget()->font();
    const int room = w->contentsRect().width();
    const auto sized = [&base](int tenths) {
        QFont f = base;
        f.setPointSizeF(tenths / 10.0);
        return f;
    };
    const auto fits = [&](int tenths) { return widthNeeded(w, text, sized(tenths)) <= room; };

    // Sizes in tenths of a point.
    const int largest = qRound(base.pointSizeF() * 10);
    if (largest <= 0 || fits(largest)) {
        w->setFont(base);
        return;
    }
    const int smallest = qMin(kSmallestFontPoints * 10, largest);
    // A font is drawn at a whole number of pixels, and each size tried
    // loads one: of the sizes drawn at one number of pixels, which take the
    // same room, only the largest is tried (none at the largest size's).
    // The tries go by halving, as a smaller size never needs more room.
    const auto pixels = [dpi = w->logicalDpiY()](int tenths) {
        return qRound(tenths * dpi / 720.0);
    };
    std::vector<int> candidates; // from the largest down
    for (int size = largest - 1, last = pixels(largest); size >= smallest; --size) {
        if (pixels(size) != last)
            candidates.push_back(size);
        last = pixels(size);
    }
    const auto first = std::partition_point(candidates.begin(), candidates.end(),
                                            [&](int size) { return !fits(size); });
    const int size = first == candidates.end() ? smallest : *first;
    w->setFont(sized(size));
}

} // namespace sb::common
