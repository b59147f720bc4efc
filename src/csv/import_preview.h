// What an import would do, as lines of text: shown by the window's preview
// before anything is written, and printable as they stand.
#pragma once

#include "csv/import_plan.h"

#include <QStringList>

namespace sb::csv {

struct ImportPreview
{
    // The figures, one a line: rows read, sites and accounts to add,
    // accounts there already, rows that cannot be imported.
    QStringList figures;
    // The rows that add nothing, by reason, each reason under a heading
    // line; accounts there already with their password are counted only.
    QStringList listing;
};

ImportPreview previewImport(const CsvFile& file, const ImportPlan& plan);

} // namespace sb::csv
