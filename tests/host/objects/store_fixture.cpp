#include "store_fixture.h"

#include "support/recording_utilities.h"
#include "veltrane/contracts/error.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>
#include <atomic>

namespace veltrane::test {

namespace {

QString pgUrl()
{
    return qEnvironmentVariable("VELTRANE_TEST_PG_URL");
}

std::atomic<int> g_counter{0};

// Runs sql on a connection of its own, outside every store.
void runOn(const QString &url, const QString &schema, const QString &sql)
{
    const QString name = QStringLiteral("veltrane-test-admin-%1").arg(++g_counter);
    {
        const QUrl u(url);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(u.host());
        db.setPort(u.port(5432));
        db.setUserName(u.userName());
        db.setPassword(u.password());
        db.setDatabaseName(u.path().mid(1));
        if (!db.open())
            qFatal("cannot reach the test server: %s", qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        q.exec(QStringLiteral("SET client_min_messages TO warning"));
        if (!schema.isEmpty()) {
            // The raw statement may come before any store made the schema (another program's tables).
            q.exec(QStringLiteral("CREATE SCHEMA IF NOT EXISTS \"%1\"").arg(schema));
            q.exec(QStringLiteral("SET search_path TO \"%1\"").arg(schema));
        }
        if (!q.exec(sql))
            qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(name);
}

// The steps of a path: names of members, and "[i]" for items of lists.
QStringList stepsOf(const QString &path)
{
    static const QRegularExpression token(QStringLiteral("[^.\\[\\]]+|\\[\\d+\\]"));
    QStringList steps;
    for (auto it = token.globalMatch(path); it.hasNext();)
        steps << it.next().captured();
    return steps;
}

QJsonValue edited(const QJsonValue &node, QStringList steps, const std::optional<QJsonValue> &value)
{
    if (steps.isEmpty())
        return *value;
    const QString step = steps.takeFirst();
    if (step.startsWith(QLatin1Char('['))) {
        QJsonArray array = node.toArray();
        const int i = step.mid(1, step.size() - 2).toInt();
        if (i >= array.size())
            qFatal("the test file has no item %d there", i);
        if (steps.isEmpty() && !value)
            array.removeAt(i);
        else
            array[i] = edited(array.at(i), steps, value);
        return array;
    }
    QJsonObject object = node.toObject();
    if (steps.isEmpty() && !value)
        object.remove(step);
    else
        object[step] = edited(object.value(step), steps, value);
    return object;
}

} // namespace

QStringList storeEngines()
{
    QStringList engines{QStringLiteral("sqlite")};
    if (!pgUrl().isEmpty())
        engines << QStringLiteral("postgresql");
    return engines;
}

StoreLocation::StoreLocation(const QString &engine)
    : m_engine(engine)
{
    if (engine == QLatin1String("sqlite")) {
        m_dir = std::make_unique<QTemporaryDir>();
        m_location = m_dir->filePath(QStringLiteral("store.sqlite"));
        return;
    }
    m_schema = QStringLiteral("vt_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++g_counter);
    QUrl url(pgUrl());
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("schema"), m_schema);
    url.setQuery(query);
    m_location = url.toString();
}

StoreLocation::~StoreLocation()
{
    if (!m_schema.isEmpty())
        runOn(pgUrl(), {}, QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(m_schema));
}

host::SqlStorePtr StoreLocation::open(bool seed) const
{
    return host::SqlStore::open(m_location, host::StoreOptions{seed});
}

void StoreLocation::executeRaw(const QString &sql) const
{
    if (m_engine == QLatin1String("sqlite")) {
        const QString name = QStringLiteral("veltrane-test-raw-%1").arg(++g_counter);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_location);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
            if (!db.open())
                qFatal("cannot open %s", qPrintable(m_location));
            QSqlQuery q(db);
            if (!q.exec(sql))
                qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        }
        QSqlDatabase::removeDatabase(name);
        return;
    }
    runOn(pgUrl(), m_schema, sql);
}

static QString number(float f)
{
    return QString::number(double(f), 'g', 9);
}

QString describe(const FragAnalysisParam &s)
{
    QStringList lines;
    auto add = [&](const QString &field, const QString &value) { lines << field + QStringLiteral(" = ") + value; };
    auto name = [](const BusinessObject *o) {
        return o ? QLatin1Char('"') + o->Name() + QLatin1Char('"') : QStringLiteral("nothing");
    };
    add(QStringLiteral("Name"), s.Name());
    add(QStringLiteral("ProjectName"), s.ProjectName());
    add(QStringLiteral("TypeCode"), QString::number(s.TypeCode()));
    add(QStringLiteral("Attributes"), QString::number(s.Attributes()));
    add(QStringLiteral("DateCreated"), QString::number(s.DateCreated()));
    add(QStringLiteral("DateModified"), QString::number(s.DateModified()));
    add(QStringLiteral("SlopeThreshold"), number(s.SlopeThreshold()));
    add(QStringLiteral("SNPAnalysis"), QString::number(s.SNPAnalysis()));
    add(QStringLiteral("SizeStandard"), name(s.SizeStandard().data()));
    if (const auto standard = s.SizeStandard()) {
        QStringList sizes;
        for (float f : standard->FragmentSizes())
            sizes << number(f);
        add(QStringLiteral("SizeStandard.Fragments"), sizes.join(u' '));
        add(QStringLiteral("SizeStandard.Dye/Fit/Attributes"), QStringLiteral("%1 %2 %3")
                                                                   .arg(standard->DyeIndex())
                                                                   .arg(number(standard->FitCoefficient()))
                                                                   .arg(standard->Attributes()));
    }
    add(QStringLiteral("DyeMobilityCalibration"), name(s.DyeMobilityCalibration().data()));
    if (const auto c = s.DyeMobilityCalibration()) {
        QStringList values;
        for (qint16 r = 0; r < 4; ++r)
            for (qint16 col = 0; col < 4; ++col)
                values << number(c->Coefficient(r, col));
        add(QStringLiteral("DyeMobilityCalibration.Coefficients"), values.join(u' '));
    }
    add(QStringLiteral("StandardMobilityReference"), name(s.StandardMobilityReference().data()));
    if (const auto r = s.StandardMobilityReference())
        add(QStringLiteral("StandardMobilityReference.Kind/EnumTypeID"),
            QStringLiteral("%1 %2").arg(r->Kind()).arg(r->EnumTypeID()));
    add(QStringLiteral("UseCalculatedDyeSpectra"), QString::number(s.UseCalculatedDyeSpectra()));
    add(QStringLiteral("IDStandardBySize"), QString::number(s.IDStandardBySize()));
    add(QStringLiteral("QuantityByHeight"), QString::number(s.QuantityByHeight()));
    for (int i = 0; i < FragAnalysisParam::kRows; ++i)
        add(QStringLiteral("Row %1").arg(i),
            QStringLiteral("spectra %1 sizeTime %2 window %3 amount %4 unit %5")
                .arg(s.DyeSpectra(i))
                .arg(number(s.QuantSizeTime(i)), number(s.QuantWindow(i)), number(s.QuantAmount(i)))
                .arg(s.QuantUnit(i)));
    add(QStringLiteral("EntryCount"), QString::number(s.EntryCount()));
    for (qint32 e = 0; e < s.EntryCount(); ++e) {
        const QString entry = QStringLiteral("Entry %1 ").arg(e);
        add(entry + QStringLiteral("IdentifyAlleles/RelativePeakHeight/Confidence"),
            QStringLiteral("%1 %2 %3")
                .arg(s.IdentifyAlleles(e))
                .arg(number(s.RelativePeakHeightThreshold(e)), number(s.ConfidenceLevel(e))));
        if (const auto c = s.SizeCalibration(e)) {
            QStringList peaks;
            for (qint16 p : c->SelectedPeaks())
                peaks << QString::number(p);
            add(entry + QStringLiteral("SizeCalibration"),
                QStringLiteral("\"%1\" kind %2 model %3 migration %4 enum %5 peaks [%6] standard %7")
                    .arg(c->Name())
                    .arg(c->Kind())
                    .arg(c->ModelIndex())
                    .arg(c->MigrationVariable())
                    .arg(c->EnumTypeID())
                    .arg(peaks.join(u','), name(c->SizeStandard().data())));
        } else {
            add(entry + QStringLiteral("SizeCalibration"), QStringLiteral("nothing"));
        }
        QStringList str;
        for (const auto &t : s.STRLocusTagsOf(e)->objects<STRLocusTag>())
            str << QStringLiteral("%1(dye %2, %3-%4, %5)")
                       .arg(t->Name())
                       .arg(t->Dye())
                       .arg(number(t->MinSize()), number(t->MaxSize()))
                       .arg(t->DateModified());
        add(entry + QStringLiteral("STR"), str.join(QStringLiteral("; ")));
        QStringList snp;
        for (const auto &t : s.SNPLocusTagsOf(e)->objects<SNPLocusTagSettings>())
            snp << QStringLiteral("%1(%2, %3|%4|%5|%6, %7)")
                       .arg(t->Name(), number(t->TagNumber()), t->TagText1(), t->TagText2(), t->TagText3(),
                            t->TagText4())
                       .arg(t->DateModified());
        add(entry + QStringLiteral("SNP"), snp.join(QStringLiteral("; ")));
    }
    return lines.join(u'\n');
}

QString heldSets(host::SqlStore &store)
{
    QHash<qint32, QString> projects;
    for (const auto &p : store.projects())
        projects.insert(p->ID(), p->Name());
    QString text;
    for (const auto &set : store.parameterSets(true)) {
        const auto s = set->FragAnalysisParam();
        text += describe(*s) + QStringLiteral("\nProject = ") + projects.value(s->ProjectID().toInt()) +
                QStringLiteral("\n\n");
    }
    return text;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

FragAnalysisParamPtr richSet(host::SqlStore &store, const QString &name)
{
    auto s = FragAnalysisParamPtr::create();
    s->setName(name);
    const auto projects = store.projects();
    s->setProjectID(QString::number(projects.last()->ProjectID()));
    s->setProjectName(projects.last()->Name());
    s->setTypeCode(1011);
    s->setSlopeThreshold(1.1f);
    s->setSNPAnalysis(true); // which STR allele identification in entry 0 may not be beside
    s->setIdentifyAlleles(0, false);
    s->setRelativePeakHeightThreshold(0, 33.333332f);
    s->setConfidenceLevel(0, 97.5f);
    const auto standards = store.sizeStandards();
    s->setSizeStandard(standards.at(1)->Data());
    auto entry = SizeCalibrationPtr::create();
    entry->setName(QStringLiteral("entry calibration"));
    entry->setModelIndex(4);
    entry->setMigrationVariable(1);
    entry->setEnumTypeID(7);
    entry->setSelectedPeaks({0, 2, 3, 7, 11});
    entry->setSizeStandard(standards.at(1)->Data());
    s->setSizeCalibration(0, entry);
    // A second entry without a calibration.
    s->setIdentifyAlleles(1, true);
    s->setRelativePeakHeightThreshold(1, 1.0e-7f);
    s->setConfidenceLevel(1, 75.25f);
    s->setDyeMobilityCalibration(store.mobilityCalibrations().last()->Data());
    s->setStandardMobilityReference(store.mobilityReferences().at(1));
    s->setUseCalculatedDyeSpectra(true);
    s->setIDStandardBySize(1);
    s->setQuantityByHeight(0);
    const float amounts[] = {1.5e-4f, 2500.0f, 9.999e25f, 1.0e-25f};
    for (int i = 0; i < FragAnalysisParam::kRows; ++i) {
        s->setDyeSpectra(i, i % 2 == 0);
        s->setQuantSizeTime(i, 123.456f * float(i + 1));
        s->setQuantWindow(i, 0.3f + float(i));
        s->setQuantAmount(i, amounts[i]);
        s->setQuantUnit(i, 3 - i);
    }
    const auto str = store.strLocusTags();
    for (int i : {5, 0, 9})
        s->STRLocusTagsOf(0)->Add(str.at(i));
    s->STRLocusTagsOf(1)->Add(str.at(2));
    const auto snp = store.snpLocusTags();
    for (int i : {3, 1})
        s->SNPLocusTagsOf(0)->Add(snp.at(i)->TagData());
    s->SNPLocusTagsOf(1)->Add(snp.at(4)->TagData());
    return s;
}

FragAnalysisParamPtr numberedSet(host::SqlStore &store, const QString &name, int n)
{
    auto s = richSet(store, name);
    s->setSlopeThreshold(float(1 + n % 999));
    s->setConfidenceLevel(0, float(75 + n % 24));
    for (int i = 0; i < FragAnalysisParam::kRows; ++i)
        s->setQuantSizeTime(i, float((n + i) % 2000));
    // Lists grow and shrink with n, so a torn write would leave a wrong count behind.
    const auto snp = store.snpLocusTags();
    s->SNPLocusTagsOf(0)->Clear();
    for (int i = 0; i < n % 7; ++i)
        s->SNPLocusTagsOf(0)->Add(snp.at((n + i) % snp.size())->TagData());
    return s;
}

FragAnalysisParamPtr retrieved(const host::SqlStorePtr &store, const QString &name)
{
    auto s = FragAnalysisParamPtr::create();
    s->setName(name);
    s->setStore(store);
    return s->Retrieve() == 0 ? s : FragAnalysisParamPtr();
}

QString refused(const std::function<void()> &call, qint32 number, const QStringList &says)
{
    const Error e = errorOf(call);
    for (const QString &text : says)
        if (text.startsWith(u'!') == e.description().contains(text.mid(text.startsWith(u'!'))))
            return QStringLiteral("\"%1\" in error %2: %3").arg(text).arg(e.number()).arg(e.description());
    return e.number() == number ? QString() : QStringLiteral("error %1: %2").arg(e.number()).arg(e.description());
}

QJsonDocument withNode(const QJsonDocument &doc, const QString &path, const std::optional<QJsonValue> &value)
{
    return QJsonDocument(edited(doc.object(), stepsOf(path), value).toObject());
}

QJsonValue nodeAt(const QJsonDocument &doc, const QString &path)
{
    QJsonValue node = doc.object();
    for (const QString &step : stepsOf(path))
        node = step.startsWith(QLatin1Char('[')) ? node.toArray().at(step.mid(1, step.size() - 2).toInt())
                                                 : node.toObject().value(step);
    return node;
}

} // namespace veltrane::test
