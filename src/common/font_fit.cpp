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
    int largest = qRound(base.pointSizeF() * 10);
    if (largest <= 0 || fits(largest)) {
        w->setFont(base);
        return;
    }
    int smallest = qMin(kSmallestFontPoints * 10, largest);
    if (fits(smallest)) {
        // Halve the range between a size that fits (smallest) and one that
        // does not (largest).
        while (largest - smallest > 1) {
            const int middle = (smallest + largest) / 2;
            (fits(middle) ? smallest : largest) = middle;
        }
    }
    w->setFont(sized(smallest));
}

} // namespace sb::common
