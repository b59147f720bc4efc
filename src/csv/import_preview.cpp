#include "csv/import_preview.h"

#include "common/name_match.h"
#include "common/shown_text.h"

namespace sb::csv {

namespace {

// A value as the listing quotes it: on one line, so that a row's line stays
// one line.
QString quoted(const std::string& value)
{
    QString text = common::quotedName(common::fromUtf8(value));
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return u'"' + text + u'"';
}

} // namespace

ImportPreview previewImport(const CsvFile& file, const ImportPlan& plan)
{
    const int cannot = int(plan.listed.size()) - plan.count(Reason::SamePassword) -
                       plan.count(Reason::OtherPassword);
    ImportPreview preview;
    preview.figures = {
        QStringLiteral("Rows read: %1, in the layout of %2")
            .arg(file.rows.size())
            .arg(layoutName(file.layout)),
        QStringLiteral("Sites to add: %1").arg(plan.sites.size()),
        QStringLiteral("Accounts to add: %1").arg(plan.accounts.size()),
        QStringLiteral("Accounts there already, same password (skipped): %1")
            .arg(plan.count(Reason::SamePassword)),
        QStringLiteral("Accounts there already, another password (listed): %1")
            .arg(plan.count(Reason::OtherPassword)),
        QStringLiteral("Rows that cannot be imported (listed): %1").arg(cannot),
    };

    // The headings in the order shown.
    const std::pair<Reason, const char*> sections[] = {
        {Reason::OtherPassword, "There already with another password (kept unless replaced):"},
        {Reason::DoubleQuote, "A value holds a double quote, which cannot be stored:"},
        {Reason::Empty, "Empty rows:"},
        {Reason::NoLogin, "No user name and no password:"},
        {Reason::NoSite, "No name and no web address:"},
        {Reason::NotALogin, "Not logins (notes, cards and the like):"},
        {Reason::Repeated, "Site and user name of an earlier row, which is imported:"},
        {Reason::FieldCount, "Damaged: not as many values as the first row names:"},
    };
    for (const auto& [reason, heading] : sections) {
        if (plan.count(reason) == 0)
            continue;
        if (!preview.listing.isEmpty())
            preview.listing << QString();
        preview.listing << QString::fromUtf8(heading);
        for (const ListedRow& row : plan.listed) {
            if (row.reason != reason)
                continue;
            QString line = QStringLiteral("    Row %1").arg(row.number);
            if (!row.site.empty())
                line += QStringLiteral(": site ") + quoted(row.site);
            if (!row.username.empty())
                line += (row.site.empty() ? QStringLiteral(": ") : QStringLiteral(", ")) +
                        QStringLiteral("user name ") + quoted(row.username);
            preview.listing << line;
        }
    }
    return preview;
}

} // namespace sb::csv
