// The site side of the main window: the alphabetical list of site names and
// the caption above it that counts them.
#pragma once

#include "browse/site_list.h"

#include <QObject>

#include <optional>

class QPushButton;

namespace sb::browse {

class SelectionList;

class SiteListPart final : public QObject
{
    Q_OBJECT

public:
    SiteListPart(SelectionList* list, QPushButton* caption, QObject* parent);

    // Shows what a reload read. When the sites file was not found the old
    // rows stay on show, unselected, while the caption counts none.
    void show(const SiteListing& listing);

    int count() const;
    QStringList names() const;
    int selectedRow() const;
    QString selectedName() const;
    // Selects `row`; -1 selects none.
    void selectRow(int row);
    // Selects the first row whose name equals `name` ignoring letter case;
    // false (and nothing selected) when there is none.
    bool selectName(const QString& name);

    // The number of account records at the last reload.
    qint32 accountCount() const { return accountCount_; }

    // The view of the site `name` as the last reload read it ahead, once,
    // when neither file has changed since; false when it must be read.
    bool takeReadAhead(const QString& name, const store::RecordFile& sites,
                       const store::RecordFile& accounts, AccountView& out);

private:
    SelectionList* list_;
    QPushButton* caption_;
    qint32 accountCount_ = 0;
    std::optional<ReadAhead> readAhead_;
};

} // namespace sb::browse
