#include "host/objects/sql_object_manager.h"
#include "store_fixture.h"
#include "support/data_rows.h"
#include "support/recording_utilities.h"

#include <QTest>
#include <algorithm>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::row;
using namespace veltrane::host;
using veltrane::test::errorOf;
using veltrane::test::StoreLocation;

namespace {

// The documented order: case-folded name without trailing blanks, by code point; then ID.
bool inStoreOrder(const BusinessObject &a, const BusinessObject &b)
{
    auto key = [](const BusinessObject &o) {
        QString n = o.Name();
        while (n.endsWith(QLatin1Char(' ')))
            n.chop(1);
        return n.toCaseFolded().toUcs4();
    };
    const auto ka = key(a), kb = key(b);
    return ka != kb ? ka < kb : a.ID() < b.ID();
}

} // namespace

class TestObjectManager : public QObject
{
    Q_OBJECT
public:
    explicit TestObjectManager(QString engine)
        : m_engine(std::move(engine))
    {}

private slots:
    void initTestCase();
    void cleanupTestCase();

    void queriesAreOrderedAndKeyed_data();
    void queriesAreOrderedAndKeyed();
    void hiddenSetsAreLeftOutOfTheUsersList();
    void unknownNamesAndRepeatedKeysAreErrors_data();
    void unknownNamesAndRepeatedKeysAreErrors();
    void newObjectsAreEmptyAndBoundToTheStore_data();
    void newObjectsAreEmptyAndBoundToTheStore();
    void storedLayoutsKeepTheirColumns_data();
    void storedLayoutsKeepTheirColumns();
    void loadObjectFindsStoredObjects_data();
    void loadObjectFindsStoredObjects();

private:
    QString m_engine;
    std::unique_ptr<StoreLocation> m_where;
    SqlStorePtr m_store;
    std::unique_ptr<SqlObjectManager> m_manager;
};

void TestObjectManager::initTestCase()
{
    qInfo("store engine: %s", qPrintable(m_engine));
    // One store for the whole case: these tests only read, after names that stress the order have
    // been added to the seed data.
    m_where = std::make_unique<StoreLocation>(m_engine);
    m_store = m_where->open();
    for (const char *name : {"alpha", "Beta", "ALPHA 2", "Ärger", "zeta", "_under", "10 numbered", "9 numbered"})
        m_store->addProject(QString::fromUtf8(name));
    for (const char *name : {"aaa lower", "AAB upper", "Ωμέγα", "ab"}) {
        FragAnalysisParam set;
        set.setName(QString::fromUtf8(name));
        m_store->commit(set);
    }
    for (const char *name : {"RS0 first", "rs00 second", "Rs1 third"}) {
        SNPLocusTag tag;
        tag.setTagData(SNPLocusTagSettingsPtr::create());
        tag.setName(QString::fromUtf8(name));
        m_store->commit(tag);
    }
    m_manager = std::make_unique<SqlObjectManager>(m_store);
}

void TestObjectManager::cleanupTestCase()
{
    m_manager.reset();
    m_store.reset();
    m_where.reset();
}

void TestObjectManager::queriesAreOrderedAndKeyed_data()
{
    columns<QString, QString, QString>("query", "keyField", "itemClass");
    row("sets shown, by ID", queries::kAnalysisParametersNotHidden, "", "veltrane::AnalysisParameter");
    row("sets shown, by name", queries::kAnalysisParametersNotHidden, "Name", "veltrane::AnalysisParameter");
    row("all sets", queries::kAnalysisParameters, "Name", "veltrane::AnalysisParameter");
    row("size standards", queries::kSizeStandards, "Name", "veltrane::SizeStandard");
    row("calibrations", queries::kMobilityCalibrations, "Name", "veltrane::MobilityCalibration");
    row("SNP tags", queries::kSNPLocusTags, "Name", "veltrane::SNPLocusTag");
    row("STR tags", queries::kSTRLocusTags, "name", "veltrane::STRLocusTag");
    row("projects", queries::kProjects, "", "veltrane::Project");
    row("references", queries::kStandardMobilityReference, "", "veltrane::SizeCalibration");
}

void TestObjectManager::queriesAreOrderedAndKeyed()
{
    QFETCH(QString, query);
    QFETCH(QString, keyField);
    QFETCH(QString, itemClass);
    const CollectionPtr items = m_manager->LoadCollection(query, {}, {}, keyField);
    QVERIFY(items->Count() >= 3);
    QList<QSharedPointer<BusinessObject>> objects;
    auto labels = [](const QList<QSharedPointer<BusinessObject>> &list) {
        QStringList out;
        for (const auto &o : list)
            out << QStringLiteral("%1 #%2").arg(o->Name()).arg(o->ID());
        return out;
    };
    for (qint32 i = 1; i <= items->Count(); ++i) {
        const auto object = items->Object<BusinessObject>(i);
        QVERIFY(object);
        QCOMPARE(QString::fromLatin1(object->metaObject()->className()), itemClass);
        QVERIFY(object->ID() > 0);
        QVERIFY(object->store() == m_store);
        const QString key = keyField.isEmpty() ? QString::number(object->ID()) : object->Name();
        QCOMPARE(items->KeyAt(i), key);
        QVERIFY(items->Object<BusinessObject>(key.toUpper()) == object); // keys ignore case
        objects << object;
    }
    auto sorted = objects;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) { return inStoreOrder(*a, *b); });
    QCOMPARE(labels(objects), labels(sorted));
    // Loading again gives the same order: it is part of the contract, not an accident.
    const CollectionPtr again = m_manager->LoadCollection(query, {}, {}, keyField);
    for (qint32 i = 1; i <= items->Count(); ++i)
        QCOMPARE(again->KeyAt(i), items->KeyAt(i));
}

void TestObjectManager::hiddenSetsAreLeftOutOfTheUsersList()
{
    const CollectionPtr shown = m_manager->LoadCollection(queries::kAnalysisParametersNotHidden, {}, {}, {});
    const CollectionPtr all = m_manager->LoadCollection(queries::kAnalysisParameters, {}, {}, QStringLiteral("Name"));
    qint32 hidden = 0;
    for (const auto &set : all->objects<AnalysisParameter>()) {
        const bool isHidden = set->FragAnalysisParam()->Attributes() & limits::kHiddenBit;
        hidden += isHidden;
        QCOMPARE(shown->Contains(QString::number(set->ID())), !isHidden);
    }
    QVERIFY(hidden > 0);
    QCOMPARE(shown->Count(), all->Count() - hidden);
}

void TestObjectManager::unknownNamesAndRepeatedKeysAreErrors_data()
{
    columns<QString, qint32, QString>("call", "number", "says");
    row("query", "LoadCollection NoSuchQuery", qint32(kStoreUnknownName), "NoSuchQuery");
    row("key field", "LoadCollection Projects Colour", qint32(kStoreUnknownName), "Colour");
    row("filter", "LoadCollection Projects filter", qint32(kInvalidProcedureCall), "filters");
    row("new type", "NewObject Spaceship", qint32(kStoreUnknownName), "Spaceship");
    row("layout field", "LoadObject GridType Name 16", qint32(kStoreUnknownName), "\"Name\"");
    row("layout number", "LoadObject GridType GridTypeID sixteen", qint32(kTypeMismatch), "sixteen");
    row("missing layout", "LoadObject GridType GridTypeID 99", qint32(kStoreNotFound), "99");
    row("object type", "LoadObject Spaceship ID 1", qint32(kStoreUnknownName), "Spaceship");
    row("missing set", "LoadObject AnalysisParameter Name Nope", qint32(kStoreNotFound), "Nope");
    // Many STR tags share a dye: keying by it fails loudly, naming what collided.
    row("key that repeats", "LoadCollection STRLocusTags Dye", qint32(kStoreInvalidObject),
        "\"STRLocusTags\" cannot be keyed by Dye");
}

void TestObjectManager::unknownNamesAndRepeatedKeysAreErrors()
{
    QFETCH(QString, call);
    QFETCH(qint32, number);
    QFETCH(QString, says);
    const QStringList w = call.split(u' ');
    const Error e = errorOf([&] {
        if (w[0] == QLatin1String("NewObject"))
            m_manager->NewObject(w[1]);
        else if (w[0] == QLatin1String("LoadObject"))
            m_manager->LoadObject(w[1], w[2], w[3]);
        else if (w.size() > 2 && w[2] == QLatin1String("filter"))
            m_manager->LoadCollection(w[1], QStringLiteral("Name = 'x'"), {}, {});
        else
            m_manager->LoadCollection(w[1], {}, {}, w.value(2));
    });
    QCOMPARE(e.number(), number);
    QVERIFY2(e.description().contains(says), qPrintable(e.description()));
}

void TestObjectManager::newObjectsAreEmptyAndBoundToTheStore_data()
{
    QTest::addColumn<QString>("type");
    for (const char *type : {"AnalysisParameter", "FragAnalysisParam", "SizeCalibration", "SizeStandard",
                             "MobilityCalibration", "SNPLocusTag", "STRLocusTag", "Project", "Grid", "GridType"})
        row(type, QString::fromLatin1(type));
}

void TestObjectManager::newObjectsAreEmptyAndBoundToTheStore()
{
    QFETCH(QString, type);
    const auto object = qSharedPointerObjectCast<BusinessObject>(m_manager->NewObject(type));
    QVERIFY(object);
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), QStringLiteral("veltrane::") + type);
    QCOMPARE(object->ID(), 0);
    QVERIFY(object->Name().isEmpty());
    QVERIFY(object->store() == m_store);
    // The editor reads the settings of a new set, and the tag editor the data of a new tag, at once.
    if (const auto set = qSharedPointerObjectCast<AnalysisParameter>(object)) {
        QVERIFY(set->FragAnalysisParam());
        QCOMPARE(set->FragAnalysisParam()->ID(), 0);
        QVERIFY(set->FragAnalysisParam()->store() == m_store);
    }
    if (const auto tag = qSharedPointerObjectCast<SNPLocusTag>(object))
        QVERIFY(tag->TagData());
}

void TestObjectManager::storedLayoutsKeepTheirColumns_data()
{
    columns<QString, QStringList>("number", "titles");
    row("mobility", "12", QStringList{"Dye 1", "Dye 2", "Dye 3", "Dye 4"});
    row("size standard", "15", QStringList{"Use", "Peak", "Size"});
    row("locus tags", "16", QStringList{"Locus Tag", "Date Modified"});
    row("SNP tags", "24", QStringList{"Name", "Number", "Text 1", "Text 2", "Text 3", "Text 4"});
}

void TestObjectManager::storedLayoutsKeepTheirColumns()
{
    QFETCH(QString, number);
    QFETCH(QStringList, titles);
    const auto layout = qSharedPointerObjectCast<GridType>(
        m_manager->LoadObject(QStringLiteral("GridType"), QStringLiteral("GridTypeID"), number));
    QVERIFY(layout);
    QCOMPARE(layout->GridTypeID(), number.toInt());
    QStringList read;
    for (qint32 c = 1; c <= layout->ColumnCount(); ++c) {
        read << layout->ColumnTitle(c);
        QVERIFY(layout->ColumnWidth(c) >= 300 && layout->ColumnWidth(c) <= 4000);
    }
    QCOMPARE(read, titles);
}

void TestObjectManager::loadObjectFindsStoredObjects_data()
{
    columns<QString, QString, QString, QString>("type", "field", "value", "name");
    row("set by name", "AnalysisParameter", "Name", "defaultfragmentanalysisparameters",
        "DefaultFragmentAnalysisParameters");
    row("tag by name", "SNPLocusTag", "name", "RS1490413", "rs1490413");
    row("project by name", "Project", "Name", "Default", "Default");
    row("reference by name", "StandardMobilityReference", "Name", "Dye Set B Reference", "Dye Set B Reference");
    row("standard by name", "SizeStandard", "Name", "SNP Pair 60/120 (2 fragments)", "SNP Pair 60/120 (2 fragments)");
}

void TestObjectManager::loadObjectFindsStoredObjects()
{
    QFETCH(QString, type);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, name);
    const auto object = qSharedPointerObjectCast<BusinessObject>(m_manager->LoadObject(type, field, value));
    QVERIFY(object);
    QCOMPARE(object->Name(), name);
    // Found again by its ID: the same object as stored.
    const auto byId = qSharedPointerObjectCast<BusinessObject>(
        m_manager->LoadObject(type, QStringLiteral("ID"), QString::number(object->ID())));
    QCOMPARE(byId->Name(), name);
    if (const auto set = qSharedPointerObjectCast<AnalysisParameter>(object)) {
        QVERIFY(set->settingsLoaded());
        QVERIFY(set->FragAnalysisParam()->EntryCount() > 0);
    }
}

VELTRANE_STORE_TEST_MAIN(TestObjectManager)
#include "test_object_manager.moc"
