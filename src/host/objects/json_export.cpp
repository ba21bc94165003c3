#include "host/objects/connection.h"
#include "host/objects/exchange_kinds.h"
#include "host/objects/json_exchange.h"
#include "host/objects/output_file.h"
#include "host/objects/store_io.h"

#include <QDateTime>
#include <QSet>

namespace veltrane::host {

namespace {

const QString kExportSource = QStringLiteral("Export");

} // namespace

QJsonDocument exportStore(SqlStore &store, const QStringList &setNames, ExportScope scope)
{
    io::Context ctx = store.context();
    Transaction transaction(store.pool(), Transaction::Read);

    QStringList names = setNames;
    if (names.isEmpty())
        for (const auto &set : io::parameterSets(ctx, true))
            names.append(set->Name());

    QHash<qint32, QString> projectNames;
    const QList<ProjectPtr> projects = io::projects(ctx);
    for (const auto &p : projects)
        projectNames.insert(p->ID(), p->Name());

    const bool all = scope == ExportScope::AllObjects;
    QHash<Kind, QSet<QString>> used;
    QSet<QString> exported;
    QJsonArray sets;
    for (const QString &name : std::as_const(names)) {
        FragAnalysisParam s;
        if (!io::readSettings(ctx, io::Filter::byName(name), s))
            throw Error(kStoreNotFound, kExportSource,
                        QStringLiteral("No parameter set named \"%1\" is stored.").arg(name));
        if (exported.contains(nameKey(s.Name())))
            continue;
        exported.insert(nameKey(s.Name()));
        auto use = [&](Kind kind, const BusinessObject *object) {
            if (object)
                used[kind].insert(nameKey(object->Name()));
        };
        bool ok = false;
        const qint32 projectId = s.ProjectID().toInt(&ok);
        if (ok && projectNames.contains(projectId))
            used[Kind::Project].insert(nameKey(projectNames.value(projectId)));
        for (const auto &r : kinds::sets().references)
            use(r.target, r.get(s));
        for (qint32 e = 0; e < s.EntryCount(); ++e) {
            if (const auto c = s.SizeCalibration(e))
                for (const auto &r : kinds::entryCalibrations().references)
                    use(r.target, r.get(*c));
            for (const auto &tag : s.STRLocusTagsOf(e)->objects<STRLocusTag>())
                use(Kind::StrTag, tag.data());
            for (const auto &tag : s.SNPLocusTagsOf(e)->objects<SNPLocusTagSettings>())
                use(Kind::SnpTag, tag.data());
        }
        sets.append(exchange::toJson(s, projectNames));
    }
    auto wanted = [&](Kind kind, const QString &name) { return all || used.value(kind).contains(nameKey(name)); };

    QJsonArray projectList, standards, calibrations, references, strTags, snpTags;
    for (const auto &p : projects)
        if (wanted(Kind::Project, p->Name()))
            projectList.append(exchange::toJson(*p));
    for (const auto &s : io::sizeStandards(ctx))
        if (wanted(Kind::SizeStandard, s->Name()))
            standards.append(exchange::toJson(*s->Data()));
    for (const auto &c : io::mobilityCalibrations(ctx))
        if (wanted(Kind::MobilityCalibration, c->Name()))
            calibrations.append(exchange::toJson(*c->Data()));
    for (const auto &r : io::mobilityReferences(ctx))
        if (wanted(Kind::MobilityReference, r->Name()))
            references.append(exchange::toJson(*r));
    for (const auto &t : io::strLocusTags(ctx))
        if (wanted(Kind::StrTag, t->Name()))
            strTags.append(exchange::toJson(*t));
    for (const auto &t : io::snpLocusTags(ctx))
        if (wanted(Kind::SnpTag, t->Name()))
            snpTags.append(exchange::toJson(*t->TagData()));
    transaction.commit();

    QJsonObject root;
    root[QStringLiteral("format")] = kExchangeFormatName;
    root[QStringLiteral("version")] = kExchangeFormatVersion;
    root[QStringLiteral("exportedAt")] = exchange::fromDate(QDateTime::currentSecsSinceEpoch());
    root[kinds::projects().list] = projectList;
    root[kinds::sizeStandards().list] = standards;
    root[kinds::mobilityCalibrations().list] = calibrations;
    root[kinds::mobilityReferences().list] = references;
    root[kinds::strTags().list] = strTags;
    root[kinds::snpTags().list] = snpTags;
    root[kinds::sets().list] = sets;
    return QJsonDocument(root);
}

void exportStoreToFile(SqlStore &store, const QString &path, const QStringList &setNames, ExportScope scope,
                       OutputRules rules)
{
    const QByteArray bytes = exportStore(store, setNames, scope).toJson(QJsonDocument::Indented);
    if (!rules.store)
        rules.store = &store;
    writeOutputFile(path, bytes, rules, kExportSource);
}

} // namespace veltrane::host
