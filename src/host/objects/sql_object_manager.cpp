#include "host/objects/sql_object_manager.h"

#include "veltrane/contracts/error.h"

#include <QMetaProperty>

namespace veltrane::host {

namespace {

const QString kSource = QStringLiteral("BusinessObjectManager");

Error unknown(const QString &what)
{
    return Error(kStoreUnknownName, kSource, what);
}

// The property named keyField (late-bound names ignore letter case), or -1.
int propertyIndex(const QMetaObject &meta, const QString &field)
{
    for (int i = 0; i < meta.propertyCount(); ++i)
        if (field.compare(QLatin1String(meta.property(i).name()), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// Builds the answer of a query: items in the order given, keyed as asked.
template <typename T> class KeyedBuilder
{
public:
    KeyedBuilder(const QString &queryName, const QString &keyField)
        : m_query(queryName)
        , m_field(keyField)
    {
        if (keyField.isEmpty()) {
            m_by = ById;
        } else if (keyField.compare(fields::kName, Qt::CaseInsensitive) == 0) {
            m_by = ByName; // the usual key, read without the late-bound detour (Name is virtual either way)
        } else {
            const int index = propertyIndex(T::staticMetaObject, keyField);
            if (index < 0)
                throw unknown(QStringLiteral("The items of the query \"%1\" have no field \"%2\" to be keyed by.")
                                  .arg(queryName, keyField));
            m_property = T::staticMetaObject.property(index);
        }
    }

    void add(const QSharedPointer<T> &item)
    {
        QString key;
        switch (m_by) {
        case ById:
            key = QString::number(item->ID());
            break;
        case ByName:
            key = item->Name();
            break;
        case ByProperty:
            key = m_property.read(item.data()).toString();
            break;
        }
        try {
            m_collection->Add(item, key);
        } catch (const Error &) {
            const auto first = m_collection->Object<BusinessObject>(key);
            throw Error(kStoreInvalidObject, kSource,
                        QStringLiteral("The query \"%1\" cannot be keyed by %2: \"%3\" (ID %4) and \"%5\" (ID %6) "
                                       "both have the key \"%7\".")
                            .arg(m_query, m_field, first ? first->Name() : QString(),
                                 QString::number(first ? first->ID() : 0), item->Name(), QString::number(item->ID()),
                                 key));
        }
    }

    void reserve(qsizetype n) { m_collection->reserve(n); }
    CollectionPtr take(const QList<QSharedPointer<T>> &items)
    {
        m_collection->reserve(items.size());
        for (const auto &item : items)
            add(item);
        return m_collection;
    }
    CollectionPtr result() const { return m_collection; }

private:
    enum By { ById, ByName, ByProperty };
    QString m_query;
    QString m_field;
    By m_by = ByProperty;
    QMetaProperty m_property;
    CollectionPtr m_collection = newCollection();
};

template <typename T>
CollectionPtr keyedCollection(const QString &queryName, const QList<QSharedPointer<T>> &items, const QString &keyField)
{
    return KeyedBuilder<T>(queryName, keyField).take(items);
}

bool isField(const QString &field, const QString &name)
{
    return field.compare(name, Qt::CaseInsensitive) == 0;
}

template <typename T> ObjectPtr made(const SqlStorePtr &store)
{
    auto object = QSharedPointer<T>::create();
    object->setStore(store);
    return object;
}

} // namespace

SqlObjectManager::SqlObjectManager(SqlStorePtr store)
    : m_store(std::move(store))
{
    if (!m_store)
        throw Error::objectNotSet(kSource, QStringLiteral("no store"));
}

std::function<std::shared_ptr<BusinessObjectManager>()> SqlObjectManager::factory(SqlStorePtr store)
{
    return [store] { return std::make_shared<SqlObjectManager>(store); };
}

StorePtr SqlObjectManager::store() const
{
    return m_store;
}

ObjectPtr SqlObjectManager::NewObject(const QString &typeName)
{
    if (typeName == types::kAnalysisParameter) {
        // Pages read the settings of a new set before anything is stored; an empty settings object
        // keeps them from meeting nothing.
        auto set = AnalysisParameterPtr::create();
        auto settings = FragAnalysisParamPtr::create();
        settings->setStore(m_store);
        set->setFragAnalysisParam(settings);
        set->setStore(m_store);
        return set;
    }
    if (typeName == types::kSNPLocusTag) {
        auto tag = SNPLocusTagPtr::create();
        auto data = SNPLocusTagSettingsPtr::create();
        data->setStore(m_store);
        tag->setTagData(data);
        tag->setStore(m_store);
        return tag;
    }
    if (typeName == types::kSizeStandard) {
        auto standard = SizeStandardPtr::create();
        standard->setData(SizeStandardSettingsPtr::create());
        standard->setStore(m_store);
        return standard;
    }
    if (typeName == types::kMobilityCalibration) {
        auto calibration = MobilityCalibrationPtr::create();
        calibration->setData(MobilityCalibrationSettingsPtr::create());
        calibration->setStore(m_store);
        return calibration;
    }
    if (typeName == types::kFragAnalysisParam)
        return made<FragAnalysisParam>(m_store);
    if (typeName == types::kSizeCalibration)
        return made<SizeCalibration>(m_store);
    if (typeName == types::kSTRLocusTag)
        return made<STRLocusTag>(m_store);
    if (typeName == types::kProject)
        return made<Project>(m_store);
    if (typeName == types::kGrid)
        return made<Grid>(m_store);
    if (typeName == types::kGridType)
        return made<GridType>(m_store);
    throw unknown(QStringLiteral("There is no business object type \"%1\".").arg(typeName));
}

ObjectPtr SqlObjectManager::LoadObject(const QString &typeName, const QString &keyField, const QString &keyValue, bool,
                                       bool)
{
    const auto notFound = [&] {
        return Error(kStoreNotFound, kSource,
                     QStringLiteral("No %1 with %2 \"%3\" is stored.").arg(typeName, keyField, keyValue));
    };

    if (typeName == types::kGridType) {
        if (!isField(keyField, fields::kGridTypeID) && !isField(keyField, fields::kID))
            throw unknown(QStringLiteral("A GridType is found by GridTypeID, not by \"%1\".").arg(keyField));
        bool ok = false;
        const qint32 number = keyValue.trimmed().toInt(&ok);
        if (!ok)
            throw Error::typeMismatch(kSource, QStringLiteral("\"%1\" is not a grid layout number").arg(keyValue));
        if (GridTypePtr layout = m_store->gridType(number))
            return layout;
        throw notFound();
    }

    qint32 id = 0;
    QString name;
    if (isField(keyField, fields::kID)) {
        bool ok = false;
        id = keyValue.trimmed().toInt(&ok);
        if (!ok || id <= 0)
            throw Error::typeMismatch(kSource, QStringLiteral("\"%1\" is not an ID").arg(keyValue));
    } else if (isField(keyField, fields::kName)) {
        name = keyValue;
    } else {
        throw unknown(QStringLiteral("A %1 is found by ID or Name, not by \"%2\".").arg(typeName, keyField));
    }

    ObjectPtr found;
    if (typeName == types::kAnalysisParameter)
        found = m_store->parameterSet(id, name);
    else if (typeName == types::kSizeStandard)
        found = m_store->sizeStandard(id, name);
    else if (typeName == types::kMobilityCalibration)
        found = m_store->mobilityCalibration(id, name);
    else if (typeName == types::kSNPLocusTag)
        found = m_store->snpLocusTag(id, name);
    else if (typeName == types::kSTRLocusTag)
        found = m_store->strLocusTag(id, name);
    else if (typeName == types::kProject)
        found = m_store->project(id, name);
    else if (typeName == types::kStandardMobilityReference)
        found = m_store->mobilityReference(id, name);
    else
        throw unknown(QStringLiteral("There is no stored business object type \"%1\".").arg(typeName));
    if (!found)
        throw notFound();
    return found;
}

CollectionPtr SqlObjectManager::LoadCollection(const QString &queryName, const QString &filter,
                                               const QString &filterValue, const QString &keyField, bool, bool)
{
    if (!filter.isEmpty() || !filterValue.isEmpty())
        throw Error::invalidProcedureCall(kSource, QStringLiteral("the query \"%1\" takes no filters").arg(queryName));
    if (queryName == queries::kAnalysisParametersNotHidden || queryName == queries::kAnalysisParameters) {
        KeyedBuilder<AnalysisParameter> builder(queryName, keyField);
        qsizetype &count = m_lastCounts[queryName];
        builder.reserve(count);
        m_store->forEachParameterSet(queryName == queries::kAnalysisParameters,
                                     [&builder](AnalysisParameterPtr &&set) { builder.add(set); });
        count = builder.result()->Count();
        return builder.result();
    }
    if (queryName == queries::kSizeStandards)
        return keyedCollection(queryName, m_store->sizeStandards(), keyField);
    if (queryName == queries::kMobilityCalibrations)
        return keyedCollection(queryName, m_store->mobilityCalibrations(), keyField);
    if (queryName == queries::kSNPLocusTags) {
        KeyedBuilder<SNPLocusTag> builder(queryName, keyField);
        qsizetype &count = m_lastCounts[queryName];
        builder.reserve(count);
        m_store->forEachSnpLocusTag([&builder](SNPLocusTagPtr &&tag) { builder.add(tag); });
        count = builder.result()->Count();
        return builder.result();
    }
    if (queryName == queries::kSTRLocusTags)
        return keyedCollection(queryName, m_store->strLocusTags(), keyField);
    if (queryName == queries::kProjects)
        return keyedCollection(queryName, m_store->projects(), keyField);
    if (queryName == queries::kStandardMobilityReference)
        return keyedCollection(queryName, m_store->mobilityReferences(), keyField);
    throw unknown(QStringLiteral("There is no query \"%1\".").arg(queryName));
}

} // namespace veltrane::host
