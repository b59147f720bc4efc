#include "browse/site_list_part.h"

#include "browse/selection_list.h"

#include <QPushButton>

namespace sb::browse {

SiteListPart::SiteListPart(SelectionList* list, QPushButton* caption, QObject* parent)
    : QObject(parent), list_(list), caption_(caption)
{}

void SiteListPart::show(const SiteListing& listing)
{
    if (listing.sitesFound)
        list_->setRows(listing.names);
    else
        list_->clearSelection();
    if (listing.accountsFound)
        accountCount_ = listing.accountCount;
    caption_->setText(QStringLiteral("[SITES]:  ") + QString::number(listing.names.size()));
    readAhead_ = listing.chosen;
}

bool SiteListPart::takeReadAhead(const QString& name, const store::RecordFile& sites,
                                 const store::RecordFile& accounts, AccountView& out)
{
    return readAhead_ && readAhead_->take(name, sites, accounts, out);
}

int SiteListPart::count() const
{
    return list_->count();
}

QStringList SiteListPart::names() const
{
    return list_->rows();
}

int SiteListPart::selectedRow() const
{
    return list_->selectedRow();
}

QString SiteListPart::selectedName() const
{
    return list_->selectedText();
}

void SiteListPart::selectRow(int row)
{
    list_->selectRow(row);
}

bool SiteListPart::selectName(const QString& name)
{
    const int row = list_->rowNamed(name);
    list_->selectRow(row);
    return row >= 0;
}

} // namespace sb::browse
