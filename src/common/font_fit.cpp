#include "common/font_fit.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

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
    // A text's width grows nearly in proportion to its size: start from the
    // size at which it would just fit, then step to the largest that does.
    // Each size tried loads a font, so few are tried.
    const int textWidth = QFontMetrics(base).size(Qt::TextShowMnemonic, text).width();
    const int margins = widthNeeded(w, text, base) - textWidth;
    int size = textWidth > 0 ? int(qint64(largest) * (room - margins) / textWidth) : smallest;
    size = qBound(smallest, size, largest - 1);
    if (fits(size)) {
        while (size + 1 < largest && fits(size + 1))
            ++size;
    } else {
        while (size > smallest) {
            --size;
            if (fits(size))
                break;
        }
    }
    w->setFont(sized(size));
}

} // namespace sb::common
