// The list of the main window: one row selected at most, and once the user
// has selected a row the list never loses its selection through the mouse or
// the keyboard (only the program clears it, on a reload or a new site).
//
// Qt's list differs in three ways that this class mends:
//  - A list that gets the focus makes its first row current but not
//    selected, so the first Down would select the second row (and a list of
//    one row could not be chosen by keyboard at all). Here the first Down,
//    Up, Home, PageUp or PageDown selects the first row, End the last.
//  - A click on the blank space below the rows, a Ctrl+click on the selected
//    row, or Ctrl+Space clear the selection. Here they keep it.
//  - The right button selects the row under the pointer. Here it selects
//    nothing: it asks for the list's menu (menuRequested), when the button
//    goes down, and the menu's commands act on the row selected before.
//
// A row shows at most the start of a long value (common/shown_text.h); its
// whole value is kept with it, and everything but painting uses that.
#pragma once

#include <QListWidget>

namespace sb::browse {

class SelectionList : public QListWidget
{
    Q_OBJECT

public:
    explicit SelectionList(QWidget* parent = nullptr);

    // The selected row, or -1.
    int selectedRow() const;
    // The whole value of the selected row; empty when none is selected.
    QString selectedText() const;
    // Selects `row` (and makes it current); -1 clears the selection.
    void selectRow(int row);
    // Replaces every row; nothing is selected afterwards.
    void setRows(const QStringList& rows);
    // The whole values of the rows, in order.
    QStringList rows() const;
    // The whole value of `row`, however little of it the row shows.
    QString value(int row) const;
    // The first row whose value names the same thing as `name` (equal
    // ignoring letter case), or -1.
    int rowNamed(const QString& name) const;

signals:
    // The right button went down over the list, at `globalPos`; or the
    // keyboard's menu key was pressed (at the selected row).
    void menuRequested(const QPoint& globalPos);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

} // namespace sb::browse
