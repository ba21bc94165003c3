#pragma once

#include "host/objects/json_exchange.h"
#include "host/objects/output_file.h"
#include "host/objects/sql_store.h"

#include <QStringList>
#include <QTextStream>

namespace veltrane::app {

// The commands for scripts and for people without a display. Each writes its result to out and
// raises an Error on failure.
struct CommandIO
{
    QTextStream &out;
    QTextStream &err;
};

// The sets users see, one name per line.
void listSets(CommandIO io);
// The summary the selection page shows of one set.
void showSet(CommandIO io, const QString &name);
// The store's JSON exchange document of the named sets (all sets when none), to a file (written as the
// rules allow) or to out.
void exportSets(CommandIO io, host::SqlStore &store, const QStringList &names, const QString &file,
                const host::OutputRules &rules);
// Reads an exchange document into the store (one transaction).
void importSets(CommandIO io, host::SqlStore &store, const QString &file, const host::ImportOptions &options);
// What a screenshot shows: the set handed to the editor under "AnalysisParameter" (none when empty),
// or a new set made from the default set as the selection page's New makes it; and the tab to show
// (its number from 1, or its caption). The SNP locus tag editor is shown with a new tag.
struct ScreenshotOptions
{
    QString setName;
    bool newSet = false;
    QString tab;
};

// Renders the first page of a flow offscreen into a PNG file (written as the rules allow), started with
// the options the library starts that flow with. Nothing is written when the flow reports an error.
void screenshot(CommandIO io, const QString &flow, const QString &file, const ScreenshotOptions &options,
                const host::OutputRules &rules);
// The library's type library: classes, interfaces, members and dispatch ids; or, fromRegistry, every
// type library the component registry holds, as registered (a library that registered no types is
// named with its file only).
void printTypeLibrary(CommandIO io, bool fromRegistry = false);

} // namespace veltrane::app
