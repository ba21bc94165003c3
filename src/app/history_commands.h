#pragma once

#include "app/commands.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace veltrane::app {

// The commands that look back on parameter sets (history, show --revision, diff, deleted) and govern
// their life cycle (restore, rename, delete, undelete, lock, unlock, hide, unhide). Each writes its
// result to io.out and raises an Error when the store refuses; nothing is changed then.

struct HistoryOptions
{
    std::optional<qint32> revision;  // --revision N
    std::optional<qint32> against;   // --against M
    std::optional<qint32> setNumber; // --id N: a set by its number (a deleted set whose name others had)
    QString reason;                  // --reason TEXT
    QString newName;                 // --as NEW
    bool json = false;               // --json
    bool all = false;                // --all: every row of a comparison, not only the differences
};

// Whether the command is one of these (show only with --revision or --json).
bool isHistoryCommand(const QString &command, const HistoryOptions &options);
// What is wrong with the arguments of such a command, for a usage error; empty when nothing is.
QString historyUsageError(const QString &command, const QStringList &args, const HistoryOptions &options);
void runHistoryCommand(CommandIO io, host::SqlStore &store, const QString &command, const QStringList &args,
                       const HistoryOptions &options);

// The version of the --json documents these commands write (docs/store-format.md).
constexpr int kHistoryJsonVersion = 1;

} // namespace veltrane::app
