#pragma once

#include "support/floor_connection.h"
#include "veltrane/contracts/business_objects.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QtEndian>

#include <functional>

namespace veltrane::bench {

inline QString floorStamp(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate);
}

// A set's settings as a floor writes them into a revision, from the object in hand: the set's values,
// the names of the definitions it refers to, and the size standards it names with their fragments.
inline QJsonObject floorSettings(const FragAnalysisParam &s)
{
    QJsonArray standards;
    QSet<QString> named;
    const auto standard = [&](const SizeStandardSettingsPtr &standard) -> QJsonValue {
        if (!standard)
            return QJsonValue();
        if (!named.contains(standard->Name())) {
            named.insert(standard->Name());
            QJsonArray fragments;
            for (float size : standard->FragmentSizes())
                fragments.append(size);
            standards.append(
                QJsonObject{{QStringLiteral("name"), standard->Name()}, {QStringLiteral("fragments"), fragments}});
        }
        return standard->Name();
    };
    const auto name = [](const auto &definition) -> QJsonValue {
        return definition ? QJsonValue(definition->Name()) : QJsonValue();
    };
    QJsonArray entries;
    for (qint32 e = 0; e < s.EntryCount(); ++e) {
        QJsonValue calibration;
        if (const SizeCalibrationPtr c = s.SizeCalibration(e)) {
            QJsonArray peaks;
            for (qint16 p : c->SelectedPeaks())
                peaks.append(p);
            calibration = QJsonObject{{QStringLiteral("sizeStandard"), standard(c->SizeStandard())},
                                      {QStringLiteral("modelIndex"), c->ModelIndex()},
                                      {QStringLiteral("migrationVariable"), c->MigrationVariable()},
                                      {QStringLiteral("selectedPeaks"), peaks}};
        }
        entries.append(QJsonObject{{QStringLiteral("identifyAlleles"), s.IdentifyAlleles(e)},
                                   {QStringLiteral("calibration"), calibration}});
    }
    const QJsonObject set{{QStringLiteral("projectName"), s.ProjectName()},
                          {QStringLiteral("typeCode"), s.TypeCode()},
                          {QStringLiteral("slopeThreshold"), s.SlopeThreshold()},
                          {QStringLiteral("dateModified"), floorStamp(s.DateModified())},
                          {QStringLiteral("sizeStandard"), standard(s.SizeStandard())},
                          {QStringLiteral("mobilityCalibration"), name(s.DyeMobilityCalibration())},
                          {QStringLiteral("mobilityReference"), name(s.StandardMobilityReference())},
                          {QStringLiteral("entries"), entries}};
    return QJsonObject{{QStringLiteral("set"), set}, {QStringLiteral("sizeStandards"), standards}};
}

inline QJsonObject floorTag(const SNPLocusTagSettings &t)
{
    return QJsonObject{{QStringLiteral("name"), t.Name()},
                       {QStringLiteral("tagNumber"), t.TagNumber()},
                       {QStringLiteral("texts"), QJsonArray{t.TagText1(), t.TagText2(), t.TagText3(), t.TagText4()}},
                       {QStringLiteral("dateModified"), floorStamp(t.DateModified())}};
}

inline QJsonObject floorTag(const STRLocusTag &t)
{
    return QJsonObject{{QStringLiteral("name"), t.Name()},
                       {QStringLiteral("dye"), t.Dye()},
                       {QStringLiteral("minSize"), t.MinSize()},
                       {QStringLiteral("maxSize"), t.MaxSize()},
                       {QStringLiteral("dateModified"), floorStamp(t.DateModified())}};
}

// The revision the store keeps of every change of a set, written the plain way for the floors whose
// case records one, inside the floor's transaction: the snapshot's two parts made as compact JSON,
// hashed and compressed, each stored unless a revision holds it already; the tags part taken over from
// the set's revision before when it lists the same tags, or for a new set from any revision listing
// them; the summary of a save over a set from its settings before, read back when they differ. Its
// statements are prepared once.
class FloorRevisions
{
public:
    struct Change
    {
        qint32 setId = 0;
        QString name, projectName;
        QJsonObject settings;           // floorSettings() of the set
        QList<qint32> strTags, snpTags; // the IDs the set lists, in order
        // The tags part, {"entries": [{"snpLocusTags": [...], "strLocusTags": [...]}]}; asked for only
        // when no revision holds these tags.
        std::function<QJsonObject()> tags;
        QString newSetSummary; // the summary of a set's first revision
    };

    explicit FloorRevisions(const QSqlDatabase &db)
        : m_sqlite(db.driverName() == QLatin1String("QSQLITE"))
        , m_last(db)
        , m_previous(db)
        , m_sameTags(db)
        , m_partData(db)
        , m_known(db)
        , m_part(db)
        , m_revision(db)
    {
        prepare(m_last, "SELECT MAX(m) FROM (SELECT MAX(id) AS m FROM parameter_sets UNION ALL SELECT MAX(set_id) "
                        "FROM set_revisions) numbers");
        prepare(m_previous, "SELECT revision, settings_part, tags_part, tag_links FROM set_revisions WHERE set_id = ? "
                            "ORDER BY revision DESC LIMIT 1");
        prepare(m_sameTags, "SELECT tags_part FROM set_revisions WHERE tag_links = ? LIMIT 1");
        prepare(m_partData, "SELECT data FROM revision_parts WHERE hash = ?");
        prepare(m_known, "SELECT hash FROM revision_parts WHERE hash IN (?, ?)");
        prepare(m_part, "INSERT INTO revision_parts (hash, encoding, size, data) VALUES (?, 1, ?, ?) "
                        "ON CONFLICT (hash) DO NOTHING");
        prepare(m_revision, "INSERT INTO set_revisions (set_id, revision, name, project_name, attributes, changed_at, "
                            "changed_by, action, reason, summary, settings_part, tags_part, tag_links) "
                            "VALUES (?, ?, ?, ?, 0, ?, 'floor', ?, '', ?, ?, ?, ?)");
    }

    // The ID a new set takes on SQLite: past every set and every revision, since a deleted set keeps
    // its number in the history. (PostgreSQL's identity never hands one out twice: 0, its default.)
    qint32 nextSetId()
    {
        if (!m_sqlite)
            return 0;
        execOrDie(m_last);
        const qint32 id = m_last.next() ? m_last.value(0).toInt() + 1 : 1;
        m_last.finish();
        return id;
    }

    void record(const Change &c)
    {
        QCryptographicHash hash(QCryptographicHash::Blake2b_256);
        for (const auto &[marker, ids] : {std::pair{'s', &c.strTags}, std::pair{'p', &c.snpTags}}) {
            hash.addData(QByteArrayView(&marker, 1));
            for (qint32 id : *ids) {
                const quint32 le = qToLittleEndian(quint32(id));
                hash.addData(QByteArrayView(reinterpret_cast<const char *>(&le), sizeof le));
            }
        }
        const QByteArray links = hash.result();

        m_previous.addBindValue(c.setId);
        execOrDie(m_previous);
        const bool saved = m_previous.next();
        const int number = saved ? m_previous.value(0).toInt() + 1 : 1;
        const QByteArray settingsBefore = saved ? m_previous.value(1).toByteArray() : QByteArray();
        QByteArray tagsHash =
            saved && m_previous.value(3).toByteArray() == links ? m_previous.value(2).toByteArray() : QByteArray();
        m_previous.finish();
        if (!saved) {
            m_sameTags.addBindValue(links);
            execOrDie(m_sameTags);
            if (m_sameTags.next())
                tagsHash = m_sameTags.value(0).toByteArray();
            m_sameTags.finish();
        }
        QByteArray texts[2] = {QJsonDocument(c.settings).toJson(QJsonDocument::Compact), QByteArray()};
        if (tagsHash.isEmpty()) {
            texts[1] = QJsonDocument(c.tags()).toJson(QJsonDocument::Compact);
            tagsHash = QCryptographicHash::hash(texts[1], QCryptographicHash::Blake2b_256);
        }
        const QByteArray hashes[2] = {QCryptographicHash::hash(texts[0], QCryptographicHash::Blake2b_256), tagsHash};
        const QString summary = !saved ? c.newSetSummary : summaryOver(settingsBefore, hashes[0], c);

        m_known.addBindValue(hashes[0]);
        m_known.addBindValue(hashes[1]);
        execOrDie(m_known);
        QSet<QByteArray> stored;
        while (m_known.next())
            stored.insert(m_known.value(0).toByteArray());
        m_known.finish();
        for (int k = 0; k < 2; ++k)
            if (!texts[k].isEmpty() && !stored.contains(hashes[k])) {
                m_part.addBindValue(hashes[k]);
                m_part.addBindValue(int(texts[k].size()));
                m_part.addBindValue(qCompress(texts[k]));
                execOrDie(m_part);
            }
        for (const QVariant &value : {QVariant(c.setId), QVariant(number), QVariant(c.name), QVariant(c.projectName),
                                      QVariant(QDateTime::currentSecsSinceEpoch()),
                                      QVariant(saved ? QStringLiteral("saved") : QStringLiteral("created")),
                                      QVariant(summary), QVariant(hashes[0]), QVariant(hashes[1]), QVariant(links)})
            m_revision.addBindValue(value);
        execOrDie(m_revision);
    }

private:
    static void prepare(QSqlQuery &q, const char *sql)
    {
        if (!q.prepare(QString::fromLatin1(sql)))
            qFatal("%s: %s", sql, qPrintable(q.lastError().text()));
    }

    // The set's values that changed since the settings before, by name; an empty text (the column takes
    // no NULL) when they are the same.
    QString summaryOver(const QByteArray &before, const QByteArray &now, const Change &c)
    {
        if (before == now)
            return QString(QLatin1String(""));
        m_partData.addBindValue(before);
        execOrDie(m_partData);
        const QJsonObject old = m_partData.next()
                                    ? QJsonDocument::fromJson(qUncompress(m_partData.value(0).toByteArray())).object()
                                    : QJsonObject();
        m_partData.finish();
        const QJsonObject was = old.value(QStringLiteral("set")).toObject();
        const QJsonObject is = c.settings.value(QStringLiteral("set")).toObject();
        QStringList changed;
        for (auto it = is.begin(); it != is.end(); ++it)
            if (it.key() != QLatin1String("dateModified") && was.value(it.key()) != it.value())
                changed << it.key();
        return changed.isEmpty() ? QString(QLatin1String("")) : changed.join(QStringLiteral("; "));
    }

    bool m_sqlite;
    QSqlQuery m_last, m_previous, m_sameTags, m_partData, m_known, m_part, m_revision;
};

} // namespace veltrane::bench
