#include "dialogs/dialog_kit.h"

#include "common/font_fit.h"
#include "common/twips.h"

#include <QDialog>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace sb::dialogs {

using common::placeInTwips;
using common::twipsToPixels;

void TextBox::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // A click that gave the focus would place the cursor right after this;
    // select once it is done.
    if (event->reason() == Qt::MouseFocusReason)
        QTimer::singleShot(0, this, &QLineEdit::selectAll);
    else
        selectAll();
}

void setUpDialog(QDialog* dialog, const QString& caption, int widthTwips, int heightTwips,
                 bool resizable)
{
    dialog->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    dialog->setWindowTitle(caption);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    // The layout is in twips for a small dialog font, like the main window's.
    QFont small = dialog->font();
    if (small.pointSizeF() > 8)
        small.setPointSizeF(8);
    dialog->setFont(small);
    const QSize client(twipsToPixels(widthTwips, dialog->logicalDpiX()),
                       twipsToPixels(heightTwips, dialog->logicalDpiY()));
    if (resizable)
        dialog->resize(client);
    else
        dialog->setFixedSize(client);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), client);
        r.moveCenter(screen->availableGeometry().center());
        dialog->move(r.topLeft());
    }
}

TextBox* makeTextBox(QWidget* parent, const char* name, const QString& accessibleName, int left,
                     int top, int width, int height, bool oldValue)
{
    auto* box = new TextBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(accessibleName);
    placeInTwips(box, left, top, width, height);
    if (oldValue) {
        box->setEnabled(false);
        box->setFocusPolicy(Qt::NoFocus);
        QPalette p = box->palette();
        p.setColor(QPalette::Disabled, QPalette::Base, p.color(QPalette::Window));
        box->setPalette(p);
    }
    return box;
}

QLabel* makeLabel(QWidget* parent, const QString& text, int left, int top, int width, int height)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    placeInTwips(label, left, top, width, height);
    common::fitFont(label);
    return label;
}

OkCancel makeOkCancel(QDialog* dialog, const char* arrayName, QRect okTwips, QRect cancelTwips,
                      const std::function<void(int index)>& onClick)
{
    OkCancel pair{new QPushButton(QStringLiteral("&OK"), dialog),
                  new QPushButton(QStringLiteral("&Cancel"), dialog)};
    int index = 0;
    for (QPushButton* b : {pair.ok, pair.cancel}) {
        b->setObjectName(QLatin1String(arrayName));
        b->setProperty("index", index);
        b->setAutoDefault(false);
        const QRect r = index == 0 ? okTwips : cancelTwips;
        placeInTwips(b, r.x(), r.y(), r.width(), r.height());
        common::fitFont(b);
        QObject::connect(b, &QPushButton::clicked, dialog, [onClick, index] { onClick(index); });
        ++index;
    }
    pair.ok->setDefault(true);
    return pair;
}

QPushButton* okCancelButton(const QDialog* dialog, const char* arrayName, int index)
{
    for (QPushButton* b : dialog->findChildren<QPushButton*>(QLatin1String(arrayName))) {
        if (b->property("index").toInt() == index)
            return b;
    }
    return nullptr;
}

} // namespace sb::dialogs
