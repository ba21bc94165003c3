#pragma once

#include "host/objects/sql_store.h"
#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/vocabulary.h"

#include <QHash>
#include <functional>
#include <memory>

namespace veltrane::host {

// The business-object manager over an SqlStore: one per thread (install it with factory()).
class SqlObjectManager : public BusinessObjectManager
{
public:
    explicit SqlObjectManager(SqlStorePtr store);

    // A factory for installHostFactories: each thread gets its own manager on this store.
    static std::function<std::shared_ptr<BusinessObjectManager>()> factory(SqlStorePtr store);

    // "AnalysisParameter" (with new, empty settings), "FragAnalysisParam", "SizeCalibration",
    // "SizeStandard", "MobilityCalibration", "SNPLocusTag" (with empty TagData), "STRLocusTag",
    // "Project", "Grid", "GridType". Unknown names raise kStoreUnknownName.
    ObjectPtr NewObject(const QString &typeName) override;
    // ("GridType", "GridTypeID" or "ID", number), and the stored kinds by "ID" or "Name":
    // "AnalysisParameter" (settings read), "SizeStandard", "MobilityCalibration", "SNPLocusTag",
    // "STRLocusTag", "Project", "StandardMobilityReference". Missing objects raise kStoreNotFound.
    // exclusive and complete change nothing: rows are never held, objects always read whole.
    ObjectPtr LoadObject(const QString &typeName, const QString &keyField, const QString &keyValue,
                         bool exclusive = false, bool complete = true) override;
    // The queries of veltrane::queries, ordered by case-folded name, then ID; keyed by the property
    // keyField (matched without regard to case), or by the decimal ID when keyField is empty. A key
    // that two items share raises kStoreInvalidObject naming both; an item whose key text is empty is
    // added without a key. The filters must be empty; exclusive and complete change nothing.
    CollectionPtr LoadCollection(const QString &queryName, const QString &filter, const QString &filterValue,
                                 const QString &keyField, bool exclusive = false, bool complete = true) override;
    StorePtr store() const override;
    const SqlStorePtr &sqlStore() const { return m_store; }

private:
    SqlStorePtr m_store;
    // How many items each long query answered last time: the next answer is reserved that size.
    QHash<QString, qsizetype> m_lastCounts;
};

} // namespace veltrane::host
