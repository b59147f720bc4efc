// What the edit dialogs have in common: a small tool window centred on the
// screen, laid out in twips, whose text boxes select their whole text when
// they get the focus, and one OK/Cancel pair handled by one handler that is
// told which of the two was pressed.
#pragma once

#include "rules/outcome.h"

#include <QLineEdit>

#include <functional>

class QDialog;
class QLabel;
class QPushButton;

namespace sb::dialogs {

// A text box that selects its whole text whenever it receives the focus,
// so that typing replaces it. It holds a value of any length. It holds one
// line: of a text pasted or dropped into it, only the first line is kept,
// without its line end (a tab stays); a value set by the program is kept
// whole, line breaks and all, also while the user edits other parts of it.
class TextBox : public QLineEdit
{
    Q_OBJECT

public:
    explicit TextBox(QWidget* parent = nullptr);

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    void keepFirstLineOfInsert();

    QString before_; // the text before the edit under way
    int anchor_ = 0; // where an insertion goes: the selection's start, or the cursor
};

// Turns `dialog` into the program's small tool window: a thin title bar
// with a close box only, `caption`, a client area of the given size in
// twips (fixed unless `resizable`; resizing moves no control), centred on
// the screen. A close box or Esc cancels, as the Cancel button does.
void setUpDialog(QDialog* dialog, const QString& caption, int widthTwips, int heightTwips,
                 bool resizable);

// An editable text box, or (`oldValue`) one that shows a stored value for
// reference: disabled, out of the tab chain, drawn on the window's
// background so that it looks different from the editable ones.
TextBox* makeTextBox(QWidget* parent, const char* name, const QString& accessibleName, int left,
                     int top, int width, int height, bool oldValue = false);

// A caption beneath a text box, centred.
QLabel* makeLabel(QWidget* parent, const QString& text, int left, int top, int width, int height);

// The OK (index 0) and Cancel (index 1) pair, both named `arrayName` and
// told apart by index; a click calls `onClick` with the index. Enter or
// Space presses the button that has the focus; Enter in a text box presses
// OK, the default button. Rectangles are in twips.
struct OkCancel
{
    QPushButton* ok;
    QPushButton* cancel;
};
OkCancel makeOkCancel(QDialog* dialog, const char* arrayName, QRect okTwips, QRect cancelTwips,
                      const std::function<void(int index)>& onClick);

// The button of `arrayName` with `index`, as makeOkCancel made it.
QPushButton* okCancelButton(const QDialog* dialog, const char* arrayName, int index);

// Acts on how OK ended: the dialog closes (accepted when written), or stays
// open with the focus, and the whole text selected, on the box at fault,
// `boxes` being the name box, then the address or password box, then the
// extra info box; after a file error, on the name box, to try again.
void finishOk(QDialog& dialog, rules::Outcome outcome, const QList<QLineEdit*>& boxes);

} // namespace sb::dialogs
