// Moving records in and out through CSV files, without any widget: reading
// an export and working out what importing it would do, the one commit of an
// import, and writing every account out. The window shows the preview in a
// dialog; the command line prints it.
#pragma once

#include "common/ports.h"
#include "csv/import_preview.h"
#include "rules/outcome.h"

namespace sb::rules {

// What importing one file would do.
struct ImportJob
{
    csv::CsvFile file;
    csv::ImportPlan plan;
    // The file's name, then the preview's figures, one a line.
    QStringList figures;
    // The rows that add nothing, by reason (csv::ImportPreview::listing).
    QStringList listing;
};

// Reads the export at `path` and sets its rows against the record files.
// Failed when a file could not be read (reported, the export's trouble in a
// box of its own).
Outcome planImport(common::Records& records, common::Prompter& prompter, const QString& path,
                   ImportJob& job);

// Adds the sites and accounts of `job` (and replaces the passwords of the
// accounts there already with another one, if asked) in one commit of both
// files. Done when the files changed, `firstSite` then naming the first site
// imported; Stopped when there was nothing to write. The plan's records are
// used up.
Outcome commitImport(common::Records& records, const common::Prompter& prompter, ImportJob& job,
                     bool replacePasswords, QString& firstSite);

// Writes every account (of every site, and of sites that are gone) to `path`
// in Chrome's layout, for the owner alone; `count`, when given, receives the
// number written. Failed after an error (reported).
Outcome exportAccounts(common::Records& records, common::Prompter& prompter, const QString& path,
                       int* count = nullptr);

} // namespace sb::rules
