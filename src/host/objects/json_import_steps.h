#pragma once

// The steps of an import, in the order it takes them: the file read for form (parse), its values
// judged by the editor's rules, the definitions it brings stored or reused, and its sets given this
// store's projects. json_import.cpp runs them in one transaction; nothing outside the import uses them.

#include "host/objects/exchange_kinds.h"
#include "host/objects/json_exchange.h"
#include "host/objects/json_scan.h"
#include "host/objects/store_io.h"
#include "veltrane/contracts/stored_rules.h"

#include <QHash>
#include <QSharedPointer>
#include <optional>

namespace veltrane::host::importing {

using exchange::child;
using exchange::item;
using exchange::Reader;
using exchange::ReferenceAt;

template <typename T> struct Defined
{
    QString path;
    QSharedPointer<T> object;
};

struct ParsedSet
{
    QString path;
    exchange::FileSet file;
};

// The definitions and tags of a file, checked for form before anything is written. Sets are read a
// batch at a time later, from where the scan found them, so that a large file's sets are never all
// held at once, neither as text nor as objects.
struct Parsed
{
    const exchange::ByteSource *source = nullptr;
    QList<exchange::ScannedItem> sets;
    QList<Defined<Project>> projects;
    QList<Defined<SizeStandardSettings>> sizeStandards;
    QList<Defined<MobilityCalibrationSettings>> calibrations;
    QList<Defined<SizeCalibration>> references;
    QList<Defined<STRLocusTag>> strTags;
    QList<Defined<SNPLocusTagSettings>> snpTags;
    QStringList setNames; // in file order
};

// Reads the document's top level as the scan found it: its format and version, every definition
// (each checked for form, each name once per kind), and the sets' names; the sets are read later.
Parsed parse(const Reader &r, const exchange::ByteSource &source, const QList<exchange::ScannedMember> &scanned);
// A value of the document, parsed.
QJsonValue valueOf(const Reader &r, const exchange::ByteSource &source, const exchange::Span &span);

// Definitions take values the pages can work with (see ruleBreaks()), each refused at its place.
void judgeDefinitions(const Reader &r, const Parsed &parsed);

// Adds the file's definitions of every kind the store lacks by name; the others are reused as stored.
void importDefinitions(const io::Context &ctx, const Parsed &parsed, io::ReferenceResolver &resolver,
                       ImportReport &report);

// A set's project is the one it names: its project name is that project's, and a file's project
// identifier (another store's) never reaches this store.
class Projects
{
public:
    explicit Projects(const io::Context &ctx)
        : m_ctx(ctx)
    {}

    // Gives the set the project the file names (by this store's identifier, and by its name as stored),
    // and answers a note when the file's project name said otherwise. A set that names no project keeps
    // the project name it has (of a project gone, say) but no identifier: that was another store's.
    std::optional<QString> assign(FragAnalysisParam &s, const std::optional<QString> &project,
                                  io::ReferenceResolver &resolver);

private:
    QString storedNameOf(const QString &project);

    const io::Context &m_ctx;
    QHash<QString, QString> m_names; // by nameKey()
};

// Every set is judged by the editor's rules before it is written, with the size standards its entries
// name (the file's, else the store's), and the first value out of rule refuses the file.
class Judge
{
public:
    Judge(const Reader &r, const io::Context &ctx, const Parsed &parsed);

    void judge(const ParsedSet &set);

private:
    SizeStandardSettingsPtr standardNamed(const QString &name);

    const Reader &m_reader;
    const io::Context &m_ctx;
    QHash<QString, SizeStandardSettingsPtr> m_standards;
};

} // namespace veltrane::host::importing
