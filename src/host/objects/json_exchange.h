#pragma once

#include "host/objects/output_file.h"
#include "host/objects/sql_store.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QString>
#include <QStringList>

namespace veltrane::host {

// The exchange format: a JSON document that carries parameter sets with every object they refer
// to, by name, so it can be read into any store. docs/store-format.md describes it.
inline const QString kExchangeFormatName = QStringLiteral("veltrane-parameter-sets");
constexpr int kExchangeFormatVersion = 1;

// The largest exchange file an import reads (128 MiB, some 40,000 parameter sets): reading holds the
// document and its parsed form in memory, so a larger file is refused before it is read.
constexpr qint64 kMaxExchangeFileBytes = 128 * 1024 * 1024;

enum class ExportScope {
    ReferencedObjects, // the chosen sets and what they refer to
    AllObjects,        // the chosen sets, and every stored definition and tag besides (a full copy)
};

// Exports the named sets (every set, hidden ones too, when setNames is empty) in the store's order.
// A name that is not stored raises kStoreNotFound.
QJsonDocument exportStore(SqlStore &store, const QStringList &setNames = {},
                          ExportScope scope = ExportScope::ReferencedObjects);
// The same, written to a file as writeOutputFile() writes (kStoreCannotOpen when it cannot be
// written): never over the store's own files, and over a database only when the rules allow it.
void exportStoreToFile(SqlStore &store, const QString &path, const QStringList &setNames = {},
                       ExportScope scope = ExportScope::ReferencedObjects, OutputRules rules = {});

struct ImportOptions
{
    // Write over stored sets of the same names (never over read-only ones).
    bool replaceExisting = false;
    // Give the sets the attributes the file says (read-only, hidden), as when restoring a whole store.
    // Otherwise a new set is imported as an ordinary one and a replaced set keeps the stored set's
    // attributes, so a file cannot lock or hide sets nobody asked it to.
    bool keepAttributes = false;
    // Why the sets are imported: kept with the revision ("imported") each set gets.
    QString reason;
};

struct ImportReport
{
    QStringList sets;     // imported, in file order
    QStringList replaced; // of those, the ones written over stored sets
    QStringList created;  // definitions and tags that were new to the store ("size standard \"X\"")
    QStringList reused;   // definitions and tags the store already had, by name
    QStringList notes;    // reused ones whose stored definition differs from the file's, and sets whose
                          // attributes in the file were not kept
};

// Reads an exchange document into the store in one transaction: everything or nothing. Malformed or
// inconsistent input raises kStoreImportInvalid naming the source and the JSON path ("sets[2].
// sizeStandard"); sets that are stored already raise kStoreImportRefused unless options allow
// replacing them. Objects the sets refer to that the store has by name are reused as stored.
ImportReport importStore(SqlStore &store, const QByteArray &json, const QString &sourceName,
                         const ImportOptions &options = {});
ImportReport importStore(SqlStore &store, const QJsonDocument &document, const QString &sourceName,
                         const ImportOptions &options = {});
// Reads a regular file of at most kMaxExchangeFileBytes; anything else is refused before it is read.
ImportReport importStoreFromFile(SqlStore &store, const QString &path, const ImportOptions &options = {});

} // namespace veltrane::host
