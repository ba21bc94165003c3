#include "app/history_commands.h"

#include "host/compare/set_comparison.h"
#include "host/objects/set_history.h"
#include "veltrane/contracts/display_formats.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/stored_rules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace veltrane::app {

namespace {

using host::Revision;
using host::RevisionAction;

const QString kSource = QStringLiteral("veltrane");

// The commands that change a set, each with the words its report uses.
struct LifeCycle
{
    const char *command;
    const char *done; // "Locked"
};
const LifeCycle kLifeCycle[] = {
    {"restore", "Restored"}, {"rename", "Renamed"},  {"delete", "Deleted"}, {"undelete", "Brought back"},
    {"lock", "Locked"},      {"unlock", "Unlocked"}, {"hide", "Hid"},       {"unhide", "Showed"}};

const LifeCycle *lifeCycle(const QString &command)
{
    for (const LifeCycle &c : kLifeCycle)
        if (command == QLatin1String(c.command))
            return &c;
    return nullptr;
}

QString localTime(const QDateTime &utc)
{
    return generalDate(utc.toLocalTime());
}

QJsonObject revisionJson(const Revision &r)
{
    return QJsonObject{{QStringLiteral("set"), r.setId},
                       {QStringLiteral("revision"), r.number},
                       {QStringLiteral("name"), r.name},
                       {QStringLiteral("project"), r.projectName},
                       {QStringLiteral("readOnly"), r.readOnly()},
                       {QStringLiteral("hidden"), r.hidden()},
                       {QStringLiteral("time"), r.time.toString(Qt::ISODate)},
                       {QStringLiteral("who"), r.who},
                       {QStringLiteral("action"), host::actionName(r.action)},
                       {QStringLiteral("reason"), r.reason},
                       {QStringLiteral("summary"), r.summary}};
}

void writeJson(CommandIO io, const QString &format, QJsonObject body)
{
    body.insert(QStringLiteral("format"), format);
    body.insert(QStringLiteral("version"), kHistoryJsonVersion);
    io.out << QString::fromUtf8(QJsonDocument(body).toJson(QJsonDocument::Indented));
}

// The set a name means for a command that looks back: the stored set, else the deleted one that had it
// (or the one --id names).
qint32 setNumberOf(host::SqlStore &store, const QString &name, const HistoryOptions &o)
{
    return o.setNumber ? *o.setNumber : host::setIdByName(store, name, true);
}

// ---- history ------------------------------------------------------------------------------------

QString padded(const QString &text, qsizetype width)
{
    return text + QString(std::max<qsizetype>(0, width - text.size()), QLatin1Char(' '));
}

void printHistory(CommandIO io, host::SqlStore &store, const QString &name, const HistoryOptions &o)
{
    const QList<Revision> revisions = host::setHistory(store, setNumberOf(store, name, o));
    const Revision &last = revisions.first();
    const bool deleted = last.action == RevisionAction::Deleted;
    if (o.json) {
        QJsonArray list;
        for (const Revision &r : revisions)
            list.append(revisionJson(r));
        writeJson(io, QStringLiteral("veltrane-history"),
                  {{QStringLiteral("set"), QJsonObject{{QStringLiteral("number"), last.setId},
                                                       {QStringLiteral("name"), last.name},
                                                       {QStringLiteral("deleted"), deleted}}},
                   {QStringLiteral("revisions"), list}});
        return;
    }
    io.out << "Parameter set \"" << printable(last.name) << "\" (number " << last.setId << ")"
           << (deleted ? ", deleted" : "") << ", newest first:\n";
    qsizetype numberWidth = 0, timeWidth = 0, whoWidth = 0, actionWidth = 0;
    for (const Revision &r : revisions) {
        numberWidth = std::max(numberWidth, QString::number(r.number).size());
        timeWidth = std::max(timeWidth, localTime(r.time).size());
        whoWidth = std::max(whoWidth, printable(r.who).size());
        actionWidth = std::max(actionWidth, host::actionName(r.action).size());
    }
    for (const Revision &r : revisions) {
        const QString number = QString::number(r.number);
        io.out << QString(numberWidth - number.size() + 2, QLatin1Char(' ')) << number << "  "
               << padded(localTime(r.time), timeWidth) << "  " << padded(printable(r.who), whoWidth) << "  "
               << padded(host::actionName(r.action), actionWidth);
        if (!r.summary.isEmpty())
            io.out << "  " << printable(r.summary);
        io.out << '\n';
        if (!r.reason.isEmpty())
            io.out << QString(numberWidth + 4, QLatin1Char(' ')) << "reason: " << printable(r.reason) << '\n';
    }
}

// ---- one revision -------------------------------------------------------------------------------

QString absent(host::ComparedField::Group group)
{
    switch (group) {
    case host::ComparedField::Group::StrTag:
    case host::ComparedField::Group::SnpTag:
        return QStringLiteral("(not listed)");
    case host::ComparedField::Group::Peak:
        return QStringLiteral("(no such peak)");
    case host::ComparedField::Group::Field:
        break;
    }
    return QStringLiteral("(no such entry)");
}

QString shown(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("(empty)") : printable(value);
}

void printRevision(CommandIO io, host::SqlStore &store, const QString &name, const HistoryOptions &o)
{
    const qint32 setId = setNumberOf(store, name, o);
    const qint32 number = o.revision.value_or(0);
    if (o.json) {
        const host::SetSnapshot snapshot = host::setRevision(store, setId, number);
        writeJson(
            io, QStringLiteral("veltrane-set-revision"),
            {{QStringLiteral("revision"), revisionJson(snapshot.revision)},
             {QStringLiteral("snapshot"), host::revisionDocument(store, setId, snapshot.revision.number).object()}});
        return;
    }
    const host::SetSnapshot snapshot = host::setRevision(store, setId, number);
    const Revision &r = snapshot.revision;
    const qint32 count = host::setHistory(store, setId).first().number;
    io.out << "Parameter set \"" << printable(r.name) << "\" (number " << r.setId << "), revision " << r.number
           << " of " << count << '\n';
    io.out << "Action: " << host::actionName(r.action) << ", " << localTime(r.time) << " by " << printable(r.who)
           << '\n';
    if (!r.reason.isEmpty())
        io.out << "Reason: " << printable(r.reason) << '\n';
    if (!r.summary.isEmpty())
        io.out << "Changed: " << printable(r.summary) << '\n';
    for (const host::ComparedField &f : host::describeSet(*snapshot.settings).rows)
        io.out << printable(f.place()) << ": " << shown(f.left) << '\n';
}

// ---- comparisons --------------------------------------------------------------------------------

struct Side
{
    FragAnalysisParamPtr settings;
    QString label;
    QJsonObject json;
};

Side storedSide(host::SqlStore &store, const QString &name)
{
    const AnalysisParameterPtr set = store.parameterSet(0, name);
    if (!set)
        throw Error(kStoreNotFound, kSource, QStringLiteral("No parameter set is named \"%1\".").arg(printable(name)));
    return Side{set->FragAnalysisParam(), QStringLiteral("\"%1\"").arg(printable(set->Name())),
                QJsonObject{{QStringLiteral("set"), set->ID()},
                            {QStringLiteral("name"), set->Name()},
                            {QStringLiteral("revision"), QJsonValue(QJsonValue::Null)}}};
}

Side revisionSide(host::SqlStore &store, qint32 setId, qint32 number)
{
    const host::SetSnapshot snapshot = host::setRevision(store, setId, number);
    const Revision &r = snapshot.revision;
    return Side{snapshot.settings, QStringLiteral("\"%1\" revision %2").arg(printable(r.name)).arg(r.number),
                QJsonObject{{QStringLiteral("set"), r.setId},
                            {QStringLiteral("name"), r.name},
                            {QStringLiteral("revision"), r.number}}};
}

QString groupName(host::ComparedField::Group group)
{
    switch (group) {
    case host::ComparedField::Group::Peak:
        return QStringLiteral("peak");
    case host::ComparedField::Group::StrTag:
        return QStringLiteral("strLocusTag");
    case host::ComparedField::Group::SnpTag:
        return QStringLiteral("snpLocusTag");
    case host::ComparedField::Group::Field:
        break;
    }
    return QStringLiteral("field");
}

void printDiff(CommandIO io, host::SqlStore &store, const QStringList &args, const HistoryOptions &o)
{
    Side left, right;
    if (o.revision) {
        const qint32 setId = setNumberOf(store, args.first(), o);
        left = revisionSide(store, setId, *o.revision);
        // Against the set as it is now: its stored form, or the last revision of a deleted set.
        if (o.against) {
            right = revisionSide(store, setId, *o.against);
        } else {
            const Revision last = host::setHistory(store, setId).first();
            right =
                last.action == RevisionAction::Deleted ? revisionSide(store, setId, 0) : storedSide(store, last.name);
        }
    } else {
        left = storedSide(store, args.at(0));
        right = storedSide(store, args.at(1));
    }
    const host::SetComparison comparison = host::compareSets(*left.settings, *right.settings);
    const QList<host::ComparedField> rows = o.all ? comparison.rows : comparison.differences();
    if (o.json) {
        QJsonArray list;
        for (const host::ComparedField &f : rows)
            list.append(QJsonObject{{QStringLiteral("group"), groupName(f.group)},
                                    {QStringLiteral("tab"), f.tab},
                                    {QStringLiteral("caption"), f.caption},
                                    {QStringLiteral("left"), f.inLeft ? QJsonValue(f.left) : QJsonValue()},
                                    {QStringLiteral("right"), f.inRight ? QJsonValue(f.right) : QJsonValue()},
                                    {QStringLiteral("changed"), f.changed}});
        writeJson(io, QStringLiteral("veltrane-diff"),
                  {{QStringLiteral("left"), left.json},
                   {QStringLiteral("right"), right.json},
                   {QStringLiteral("differences"), comparison.changedCount()},
                   {QStringLiteral("summary"), comparison.summary()},
                   {QStringLiteral("rows"), list}});
        return;
    }
    const qsizetype n = comparison.changedCount();
    io.out << left.label << " and " << right.label << ": "
           << (n == 0 ? QStringLiteral("no differences")
                      : QStringLiteral("%1 difference%2").arg(n).arg(n == 1 ? "" : "s"))
           << '\n';
    for (const host::ComparedField &f : rows) {
        io.out << (o.all ? (f.changed ? "* " : "  ") : "") << printable(f.place()) << ": "
               << (f.inLeft ? shown(f.left) : absent(f.group));
        if (f.changed)
            io.out << " → " << (f.inRight ? shown(f.right) : absent(f.group));
        io.out << '\n';
    }
}

// ---- deleted sets and actions -------------------------------------------------------------------

void printDeleted(CommandIO io, host::SqlStore &store)
{
    const QList<host::SetOverview> deleted = host::deletedSets(store);
    if (deleted.isEmpty())
        io.err << "No parameter set has been deleted.\n";
    for (const host::SetOverview &d : deleted)
        io.out << printable(d.name) << "\tnumber " << d.setId << "\tdeleted " << localTime(d.lastChanged) << " by "
               << printable(d.lastChangedBy) << '\n';
}

void runLifeCycle(CommandIO io, host::SqlStore &store, const QString &command, const QStringList &args,
                  const HistoryOptions &o)
{
    const QString name = args.value(0);
    Revision r;
    if (command == QLatin1String("restore"))
        r = host::restoreSet(store, name, *o.revision, o.reason);
    else if (command == QLatin1String("rename"))
        r = host::renameSet(store, name, args.at(1), o.reason);
    else if (command == QLatin1String("delete"))
        r = host::deleteSet(store, name, o.reason);
    else if (command == QLatin1String("undelete"))
        r = host::undeleteSet(store, o.setNumber ? *o.setNumber : host::setIdByName(store, name, true), o.newName,
                              o.reason);
    else if (command == QLatin1String("lock"))
        r = host::lockSet(store, name, o.reason);
    else if (command == QLatin1String("unlock"))
        r = host::unlockSet(store, name, o.reason);
    else if (command == QLatin1String("hide"))
        r = host::hideSet(store, name, o.reason);
    else if (command == QLatin1String("unhide"))
        r = host::showSet(store, name, o.reason);
    io.out << lifeCycle(command)->done << " \"" << printable(command == QLatin1String("rename") ? name : r.name) << '"';
    if (command == QLatin1String("rename"))
        io.out << " to \"" << printable(r.name) << '"';
    if (command == QLatin1String("restore"))
        io.out << " to revision " << *o.revision;
    io.out << ": revision " << r.number << " of parameter set number " << r.setId << '\n';
}

} // namespace

bool isHistoryCommand(const QString &command, const HistoryOptions &options)
{
    if (command == QLatin1String("show"))
        return options.revision || options.json || options.setNumber;
    return lifeCycle(command) || command == QLatin1String("history") || command == QLatin1String("diff") ||
           command == QLatin1String("deleted");
}

QString historyUsageError(const QString &command, const QStringList &args, const HistoryOptions &o)
{
    const auto takes = [&](qsizetype n, const char *what) -> QString {
        return args.size() == n ? QString() : QStringLiteral("%1 takes %2").arg(command, QLatin1String(what));
    };
    if (command == QLatin1String("deleted"))
        return takes(0, "no arguments");
    if (command == QLatin1String("diff")) {
        if (o.revision)
            return args.size() == 1 ? QString() : QStringLiteral("diff NAME --revision N takes one parameter set name");
        if (o.against)
            return QStringLiteral("--against needs --revision");
        return takes(2, "two parameter set names, or one with --revision N");
    }
    if (command == QLatin1String("rename"))
        return takes(2, "the name of a parameter set and its new name");
    if (command == QLatin1String("restore") && !o.revision)
        return QStringLiteral("restore needs --revision N");
    // A set named by its number needs no name.
    if (o.setNumber && args.isEmpty() &&
        (command == QLatin1String("history") || command == QLatin1String("show") ||
         command == QLatin1String("undelete")))
        return QString();
    return takes(1, "one parameter set name");
}

void runHistoryCommand(CommandIO io, host::SqlStore &store, const QString &command, const QStringList &args,
                       const HistoryOptions &options)
{
    if (command == QLatin1String("history"))
        printHistory(io, store, args.value(0), options);
    else if (command == QLatin1String("show"))
        printRevision(io, store, args.value(0), options);
    else if (command == QLatin1String("diff"))
        printDiff(io, store, args, options);
    else if (command == QLatin1String("deleted"))
        printDeleted(io, store);
    else
        runLifeCycle(io, store, command, args, options);
}

} // namespace veltrane::app
