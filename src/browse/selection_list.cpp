#include "browse/selection_list.h"

#include "common/name_match.h"
#include "common/shown_text.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace sb::browse {

SelectionList::SelectionList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

int SelectionList::selectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QString SelectionList::selectedText() const
{
    const int row = selectedRow();
    return row < 0 ? QString() : value(row);
}

void SelectionList::selectRow(int row)
{
    if (row < 0 || row >= count())
        clearSelection();
    else
        setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void SelectionList::setRows(const QStringList& rows)
{
    clear();
    // All rows at once, which is much quicker than one by one; the few that
    // show only the start of their value keep the whole of it beside.
    QStringList shown = rows;
    QList<int> cut;
    for (int row = 0; row < rows.size(); ++row) {
        if (rows[row].size() > common::kShownLength) {
            shown[row] = common::shownValue(rows[row]);
            cut.append(row);
        }
    }
    addItems(shown);
    for (const int row : std::as_const(cut))
        item(row)->setData(Qt::UserRole, rows[row]);
}

QStringList SelectionList::rows() const
{
    QStringList out;
    out.reserve(count());
    for (int i = 0; i < count(); ++i)
        out << value(i);
    return out;
}

QString SelectionList::value(int row) const
{
    const QVariant whole = item(row)->data(Qt::UserRole);
    return whole.isValid() ? whole.toString() : item(row)->text();
}

int SelectionList::rowNamed(const QString& name) const
{
    const common::NameMatcher matcher(name);
    for (int row = 0; row < count(); ++row) {
        if (matcher.matches(value(row)))
            return row;
    }
    return -1;
}

QItemSelectionModel::SelectionFlags SelectionList::selectionCommand(const QModelIndex& index,
                                                                    const QEvent* event) const
{
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    // Nothing selects "no row", and nothing takes the selected row back.
    if (!index.isValid() ||
        command.testAnyFlags(QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::NoUpdate;
    return command;
}

void SelectionList::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        emit menuRequested(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    if (!indexAt(event->position().toPoint()).isValid()) {
        // The blank space below the rows: the list takes the focus, and
        // the selection stays as it is.
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
}

void SelectionList::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QListWidget::mouseReleaseEvent(event);
}

void SelectionList::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A right double-click is two menu requests, not a double-click.
    if (event->button() == Qt::RightButton) {
        mousePressEvent(event);
        return;
    }
    QListWidget::mouseDoubleClickEvent(event);
}

void SelectionList::keyPressEvent(QKeyEvent* event)
{
    if (count() > 0 && selectedRow() < 0 && event->modifiers() == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_Home:
        case Qt::Key_PageDown:
        case Qt::Key_PageUp:
            selectRow(0);
            event->accept();
            return;
        case Qt::Key_End:
            selectRow(count() - 1);
            event->accept();
            return;
        default:
            break;
        }
    }
    QListWidget::keyPressEvent(event);
}

void SelectionList::contextMenuEvent(QContextMenuEvent* event)
{
    // The mouse asked already, when its button went down.
    if (event->reason() == QContextMenuEvent::Mouse) {
        event->accept();
        return;
    }
    const int row = selectedRow();
    const QRect at = row < 0 ? QRect() : visualItemRect(item(row));
    emit menuRequested(viewport()->mapToGlobal(row < 0 ? QPoint(0, 0) : at.center()));
    event->accept();
}

} // namespace sb::browse
