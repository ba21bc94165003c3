#pragma once

// Files a command writes its result to: an export, a screenshot.

#include <QByteArray>
#include <QString>

namespace veltrane::host {

class SqlStore;

// What a result may be written over.
struct OutputRules
{
    // Its files are never written: the database, its write-ahead log and the log's index, its journal,
    // whatever links or spellings of the path lead there.
    const SqlStore *store = nullptr;
    // A file that holds a database (perhaps another store, or a log of one) is written over only when
    // asked; replaceHint says how a user asks, for the message ("give --replace to write over it").
    bool replaceDatabase = false;
    QString replaceHint;
    // How long a pipe's reader may take to come (the reader started just after the writer, say).
    int pipeReaderWaitMs = 10000;
};

// Writes bytes to path: a regular file is replaced as a whole (never left half written), a device,
// a pipe or a socket is written to as a stream, and a pipe that nobody comes to read from is refused
// rather than waited on for ever. Throws kStoreCannotOpen from source, naming the file and why.
void writeOutputFile(const QString &path, const QByteArray &bytes, const OutputRules &rules, const QString &source);

} // namespace veltrane::host
