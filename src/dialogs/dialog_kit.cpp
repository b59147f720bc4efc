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

#include <algorithm>
#include <limits>

namespace sb::dialogs {

using common::placeInTwips;
using common::twipsToPixels;

TextBox::TextBox(QWidget* parent) : QLineEdit(parent)
{
    // The default maximum, 32767 characters, would cut a longer value
    // without a word, and an unchanged OK would then shorten the record.
    setMaxLength(std::numeric_limits<int>::max());

    // No key types a line break: one comes in only with a pasted or dropped
    // text. So each edit is looked at as the part of the text it replaced and
    // the part it put in, and the latter is cut at its first line end. The
    // text and the insertion point from before the edit are noted here; they
    // still hold when textEdited is raised, before the text, selection and
    // cursor signals of the same edit.
    connect(this, &QLineEdit::textEdited, this, &TextBox::keepFirstLineOfInsert);
    connect(this, &QLineEdit::textChanged, this, [this] { before_ = text(); });
    const auto noteAnchor = [this] {
        anchor_ = hasSelectedText() ? selectionStart() : cursorPosition();
    };
    connect(this, &QLineEdit::selectionChanged, this, noteAnchor);
    connect(this, &QLineEdit::cursorPositionChanged, this, noteAnchor);
}

void TextBox::keepFirstLineOfInsert()
{
    // An undo (the only edit after which there is something to redo) brings
    // back an earlier text of the box: one set by the program, or edited in
    // ways this check let through (a cut insertion clears the history).
    if (isRedoAvailable())
        return;
    const QString now = text();
    const QStringView was(before_), is(now);
    // The edit put is[start, end) where the text had was[start, was.size() - tail).
    qsizetype start = anchor_;
    qsizetype end = cursorPosition();
    qsizetype tail = is.size() - end;
    const bool atAnchor = start <= end && start + tail <= was.size() &&
                          was.left(start) == is.left(start) && was.right(tail) == is.right(tail);
    if (!atAnchor) {
        // Not an insertion at the cursor (an undo, an input method): what
        // the two texts do not share at their start and end.
        const qsizetype shorter = std::min(was.size(), is.size());
        for (start = 0; start < shorter && was[start] == is[start];)
            ++start;
        for (tail = 0;
             tail < shorter - start && was[was.size() - 1 - tail] == is[is.size() - 1 - tail];)
            ++tail;
        end = is.size() - tail;
    }
    const auto lineEnd = std::find_if(is.begin() + start, is.begin() + end,
                                      [](QChar c) { return c == u'\r' || c == u'\n'; });
    if (lineEnd == is.begin() + end)
        return;
    const qsizetype cut = lineEnd - is.begin();
    setText(now.left(cut) + now.mid(end));
    setCursorPosition(int(cut));
}

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
        // Enter presses the button that has the focus, Cancel included;
        // in a text box it presses OK, the default button.
        b->setAutoDefault(true);
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

void finishOk(QDialog& dialog, rules::Outcome outcome, const QList<QLineEdit*>& boxes)
{
    using rules::Outcome;
    if (outcome == Outcome::Done || outcome == Outcome::Stopped) {
        dialog.done(outcome == Outcome::Done ? QDialog::Accepted : QDialog::Rejected);
        return;
    }
    const int at = outcome == Outcome::UrlBox || outcome == Outcome::PasswordBox ? 1
                   : outcome == Outcome::ExtraInfoBox                            ? 2
                                                                                 : 0;
    QLineEdit* box = boxes.value(at, boxes.first());
    // The box may have the focus already (no message box took it away), and
    // then gets no focus event to select its text.
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
}

} // namespace sb::dialogs
