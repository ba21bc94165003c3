#pragma once

#include "veltrane/contracts/keyed_collection.h"
#include "veltrane/contracts/vocabulary.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QVariant>
#include <array>
#include <memory>
#include <vector>

namespace veltrane {

class ObjectStore;
using StorePtr = std::shared_ptr<ObjectStore>;

// Base of every stored object: identity, name, and the link to the store that persists it.
// Fields are Q_PROPERTYs so they can be read and written by name (late binding).
class BusinessObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qint32 ID READ ID WRITE setID)
    Q_PROPERTY(QString Name READ Name WRITE setName)
public:
    explicit BusinessObject(QObject *parent = nullptr);

    qint32 ID() const { return m_id; }
    void setID(qint32 id) { m_id = id; }
    virtual QString Name() const { return m_name; }
    virtual void setName(const QString &name) { m_name = name; }

    // The store this object was loaded from or will be committed to; objects made by the page
    // itself use the store of the current thread's BusinessObjectManager.
    StorePtr store() const;
    void setStore(StorePtr store) { m_store = std::move(store); }

protected:
    StorePtr requireStore(const QString &source) const;

private:
    qint32 m_id = 0;
    QString m_name;
    StorePtr m_store;
};

// ---- size standards ------------------------------------------------------------------------

// The definition of a size standard: its fragments and how it is shown.
class SizeStandardSettings : public BusinessObject
{
    Q_OBJECT
    Q_PROPERTY(qint32 Attributes READ Attributes WRITE setAttributes)
    Q_PROPERTY(qint16 DyeIndex READ DyeIndex WRITE setDyeIndex)
    Q_PROPERTY(float FitCoefficient READ FitCoefficient WRITE setFitCoefficient)
    Q_PROPERTY(qint16 FragmentCount READ FragmentCount)
    Q_PROPERTY(QList<float> FragmentSizes READ FragmentSizes WRITE setFragmentSizes)
public:
    using BusinessObject::BusinessObject;

    // Bit value 4 hides the size standard from the editor's list.
    qint32 Attributes() const { return m_attributes; }
    void setAttributes(qint32 v) { m_attributes = v; }
    qint16 DyeIndex() const { return m_dyeIndex; } // 0-based dye
    void setDyeIndex(qint16 v) { m_dyeIndex = v; }
    float FitCoefficient() const { return m_fitCoefficient; }
    void setFitCoefficient(float v) { m_fitCoefficient = v; }
    qint16 FragmentCount() const { return qint16(m_sizes.size()); }
    Q_INVOKABLE float FragmentSize(qint32 index) const; // 0-based
    QList<float> FragmentSizes() const { return m_sizes; }
    void setFragmentSizes(const QList<float> &sizes) { m_sizes = sizes; }

private:
    qint32 m_attributes = 0;
    qint16 m_dyeIndex = 0;
    float m_fitCoefficient = 0;
    QList<float> m_sizes;
};
using SizeStandardSettingsPtr = QSharedPointer<SizeStandardSettings>;

// A stored size standard (item of the "SizeStandards" query).
class SizeStandard : public BusinessObject
{
    Q_OBJECT
    Q_PROPERTY(veltrane::ObjectPtr Data READ DataObject)
public:
    using BusinessObject::BusinessObject;
    SizeStandardSettingsPtr Data() const { return m_data; }
    void setData(SizeStandardSettingsPtr data) { m_data = std::move(data); }
    ObjectPtr DataObject() const { return m_data; }
    QString Name() const override { return m_data ? m_data->Name() : BusinessObject::Name(); }

private:
    SizeStandardSettingsPtr m_data;
};
using SizeStandardPtr = QSharedPointer<SizeStandard>;

// ---- dye mobility calibrations -------------------------------------------------------------

class MobilityCalibrationSettings : public BusinessObject
{
    Q_OBJECT
public:
    using BusinessObject::BusinessObject;
    // Coefficient (row, column), both 0 to 3.
    Q_INVOKABLE float Coefficient(qint16 row, qint16 column) const;
    Q_INVOKABLE void setCoefficient(qint16 row, qint16 column, float value);

private:
    std::array<float, 16> m_coefficients{};
};
using MobilityCalibrationSettingsPtr = QSharedPointer<MobilityCalibrationSettings>;

// A stored dye mobility calibration (item of the "MobilityCalibrations" query).
class MobilityCalibration : public BusinessObject
{
    Q_OBJECT
    Q_PROPERTY(veltrane::ObjectPtr Data READ DataObject)
public:
    using BusinessObject::BusinessObject;
    MobilityCalibrationSettingsPtr Data() const { return m_data; }
    void setData(MobilityCalibrationSettingsPtr data) { m_data = std::move(data); }
    ObjectPtr DataObject() const { return m_data; }
    QString Name() const override { return m_data ? m_data->Name() : BusinessObject::Name(); }

private:
    MobilityCalibrationSettingsPtr m_data;
};
using MobilityCalibrationPtr = QSharedPointer<MobilityCalibration>;

// ---- size-calling entries ------------------------------------------------------------------

// One size-calling entry of a parameter set. An entry of Kind 0 names a standard mobility
// reference (items of the "StandardMobilityReference" query are such entries).
class SizeCalibration : public BusinessObject
{
    Q_OBJECT
    Q_PROPERTY(qint32 Kind READ Kind WRITE setKind)
    Q_PROPERTY(qint32 ModelIndex READ ModelIndex WRITE setModelIndex)
    Q_PROPERTY(qint32 MigrationVariable READ MigrationVariable WRITE setMigrationVariable)
    Q_PROPERTY(QList<qint16> SelectedPeaks READ SelectedPeaks WRITE setSelectedPeaks)
    Q_PROPERTY(qint32 SelectedPeakCount READ SelectedPeakCount)
    Q_PROPERTY(qint32 EnumTypeID READ EnumTypeID WRITE setEnumTypeID)
public:
    enum KindValue : qint32 { kMobilityReference = 0, kSizeCalling = 1 };
    static constexpr int kModelCount = 5;

    using BusinessObject::BusinessObject;

    qint32 Kind() const { return m_kind; }
    void setKind(qint32 v) { m_kind = v; }
    qint32 ModelIndex() const { return m_modelIndex; }
    void setModelIndex(qint32 v) { m_modelIndex = v; }
    // Model names 0 to 4: "Linear", "Quadratic", "Local Southern", "Cubic", "Quartic".
    Q_INVOKABLE QString ModelName(qint32 index) const;
    qint32 MigrationVariable() const { return m_migrationVariable; } // 0 migration time, 1 mobility
    void setMigrationVariable(qint32 v) { m_migrationVariable = v; }
    QList<qint16> SelectedPeaks() const { return m_selectedPeaks; }
    void setSelectedPeaks(const QList<qint16> &peaks) { m_selectedPeaks = peaks; }
    qint32 SelectedPeakCount() const { return qint32(m_selectedPeaks.size()); }
    SizeStandardSettingsPtr SizeStandard() const { return m_sizeStandard; }
    void setSizeStandard(SizeStandardSettingsPtr s) { m_sizeStandard = std::move(s); }
    qint32 EnumTypeID() const { return m_enumTypeId; }
    void setEnumTypeID(qint32 v) { m_enumTypeId = v; }

    // Fills this entry from storage by Kind and Name; 0 when found.
    Q_INVOKABLE qint32 Retrieve();

private:
    qint32 m_kind = kSizeCalling;
    qint32 m_modelIndex = 0;
    qint32 m_migrationVariable = 0;
    QList<qint16> m_selectedPeaks;
    SizeStandardSettingsPtr m_sizeStandard;
    qint32 m_enumTypeId = 0;
};
using SizeCalibrationPtr = QSharedPointer<SizeCalibration>;

// ---- locus tags ----------------------------------------------------------------------------

// The settings of one STR locus tag (items of a set's STR list and of the "STRLocusTags" query).
class STRLocusTag : public BusinessObject
{
    Q_OBJECT
    Q_PROPERTY(qint16 Dye READ Dye WRITE setDye)
    Q_PROPERTY(float MinSize READ MinSize WRITE setMinSize)
    Q_PROPERTY(float MaxSize READ MaxSize WRITE setMaxSize)
    Q_PROPERTY(qint64 DateModified READ DateModified WRITE setDateModified)
public:
    using BusinessObject::BusinessObject;
    qint16 Dye() const { return m_dye; } // 0-based dye
    void setDye(qint16 v) { m_dye = v; }
    float MinSize() const { return m_minSize; }
    void setMinSize(float v) { m_minSize = v; }
    float MaxSize() const { return m_maxSize; }
    void setMaxSize(float v) { m_maxSize = v; }
    qint64 DateModified() const { return m_dateModified; }
    void setDateModified(qint64 v) { m_dateModified = v; }

private:
    qint16 m_dye = 0;
    float m_minSize = 0;
    float m_maxSize = 0;
    qint64 m_dateModified = 0;
};
using STRLocusTagPtr = QSharedPointer<STRLocusTag>;

// The settings object of an SNP locus tag (what a parameter set lists).
class SNPLocusTagSettings : public BusinessObject
{
    Q_OBJECT
    Q_PROPERTY(float TagNumber READ TagNumber WRITE setTagNumber)
    Q_PROPERTY(QString TagText1 READ TagText1 WRITE setTagText1)
    Q_PROPERTY(QString TagText2 READ TagText2 WRITE setTagText2)
    Q_PROPERTY(QString TagText3 READ TagText3 WRITE setTagText3)
    Q_PROPERTY(QString TagText4 READ TagText4 WRITE setTagText4)
    Q_PROPERTY(qint64 DateModified READ DateModified WRITE setDateModified)
public:
    using BusinessObject::BusinessObject;
    float TagNumber() const { return m_tagNumber; }
    void setTagNumber(float v) { m_tagNumber = v; }
    QString TagText1() const { return m_text[0]; }
    void setTagText1(const QString &v) { m_text[0] = v; }
    QString TagText2() const { return m_text[1]; }
    void setTagText2(const QString &v) { m_text[1] = v; }
    QString TagText3() const { return m_text[2]; }
    void setTagText3(const QString &v) { m_text[2] = v; }
    QString TagText4() const { return m_text[3]; }
    void setTagText4(const QString &v) { m_text[3] = v; }
    Q_INVOKABLE QString TagText(qint32 index) const; // 1 to 4
    Q_INVOKABLE void setTagText(qint32 index, const QString &v);
    // The four texts at once, without copying them (comparing long lists of tags).
    const std::array<QString, 4> &TagTexts() const { return m_text; }
    qint64 DateModified() const { return m_dateModified; }
    void setDateModified(qint64 v) { m_dateModified = v; }

private:
    float m_tagNumber = 0;
    std::array<QString, 4> m_text;
    qint64 m_dateModified = 0;
};
using SNPLocusTagSettingsPtr = QSharedPointer<SNPLocusTagSettings>;

// A stored SNP locus tag (type name "SNPLocusTag"; items of the "SNPLocusTags" query).
class SNPLocusTag : public BusinessObject
{
    Q_OBJECT
    Q_PROPERTY(veltrane::ObjectPtr TagData READ TagDataObject WRITE setTagDataObject)
public:
    using BusinessObject::BusinessObject;
    SNPLocusTagSettingsPtr TagData() const { return m_data; }
    void setTagData(SNPLocusTagSettingsPtr data) { m_data = std::move(data); }
    ObjectPtr TagDataObject() const { return m_data; }
    void setTagDataObject(const ObjectPtr &o) { m_data = qSharedPointerObjectCast<SNPLocusTagSettings>(o); }
    // The tag's name is its settings' name once it has settings.
    QString Name() const override { return m_data ? m_data->Name() : BusinessObject::Name(); }
    void setName(const QString &name) override;

    // Stores the tag (insert or update by its settings' ID, names unique).
    Q_INVOKABLE void Commit();

private:
    SNPLocusTagSettingsPtr m_data;
};
using SNPLocusTagPtr = QSharedPointer<SNPLocusTag>;

// ---- projects, layouts ---------------------------------------------------------------------

class Project : public BusinessObject
{
    Q_OBJECT
    Q_PROPERTY(qint32 ProjectID READ ProjectID WRITE setProjectID)
public:
    using BusinessObject::BusinessObject;
    qint32 ProjectID() const { return m_projectId; }
    void setProjectID(qint32 v) { m_projectId = v; }

private:
    qint32 m_projectId = 0;
};
using ProjectPtr = QSharedPointer<Project>;

// A stored grid layout: column titles, widths (twips) and alignment, by layout number.
class GridType : public BusinessObject
{
    Q_OBJECT
    Q_PROPERTY(qint32 GridTypeID READ GridTypeID WRITE setGridTypeID)
    Q_PROPERTY(qint32 ColumnCount READ ColumnCount)
public:
    enum Alignment : qint32 { kLeft = 0, kCentre = 1, kRight = 2 };
    struct Column
    {
        QString title;
        qint32 widthTwips = 1440;
        qint32 alignment = kLeft;
    };

    using BusinessObject::BusinessObject;
    qint32 GridTypeID() const { return m_gridTypeId; }
    void setGridTypeID(qint32 v) { m_gridTypeId = v; }
    qint32 ColumnCount() const { return qint32(m_columns.size()); }
    // Columns are numbered from 1 (column 0 is the grid's header column).
    Q_INVOKABLE QString ColumnTitle(qint32 column) const;
    Q_INVOKABLE qint32 ColumnWidth(qint32 column) const;
    Q_INVOKABLE qint32 ColumnAlignment(qint32 column) const;
    const QList<Column> &columns() const { return m_columns; }
    void setColumns(const QList<Column> &columns) { m_columns = columns; }

private:
    qint32 m_gridTypeId = 0;
    QList<Column> m_columns;
};
using GridTypePtr = QSharedPointer<GridType>;

// A layout object (type name "Grid"): names the stored layout that GridUtilities applies.
class Grid : public BusinessObject
{
    Q_OBJECT
    Q_PROPERTY(qint32 LayoutNumber READ LayoutNumber WRITE setLayoutNumber)
public:
    using BusinessObject::BusinessObject;
    qint32 LayoutNumber() const { return m_layoutNumber; }
    void setLayoutNumber(qint32 v) { m_layoutNumber = v; }

private:
    qint32 m_layoutNumber = 0;
};
using GridPtr = QSharedPointer<Grid>;

// ---- parameter sets ------------------------------------------------------------------------

// The settings of one fragment analysis parameter set. Entry-indexed fields (IdentifyAlleles,
// RelativePeakHeightThreshold, ConfidenceLevel, SizeCalibration, the locus tag lists) belong to
// size-calling entry i; writing one of them at index i creates the entries up to i.
class FragAnalysisParam : public BusinessObject
{
    Q_OBJECT
    Q_PROPERTY(QString ProjectID READ ProjectID WRITE setProjectID)
    Q_PROPERTY(QString ProjectName READ ProjectName WRITE setProjectName)
    Q_PROPERTY(qint32 TypeCode READ TypeCode WRITE setTypeCode)
    Q_PROPERTY(qint32 Attributes READ Attributes)
    Q_PROPERTY(qint64 DateCreated READ DateCreated)
    Q_PROPERTY(qint64 DateModified READ DateModified)
    Q_PROPERTY(qint16 EntryCount READ EntryCount)
    Q_PROPERTY(float SlopeThreshold READ SlopeThreshold WRITE setSlopeThreshold)
    Q_PROPERTY(bool SNPAnalysis READ SNPAnalysis WRITE setSNPAnalysis)
    Q_PROPERTY(bool UseCalculatedDyeSpectra READ UseCalculatedDyeSpectra WRITE setUseCalculatedDyeSpectra)
    Q_PROPERTY(qint32 IDStandardBySize READ IDStandardBySize WRITE setIDStandardBySize)
    Q_PROPERTY(qint32 QuantityByHeight READ QuantityByHeight WRITE setQuantityByHeight)
public:
    static constexpr int kRows = 4;

    using BusinessObject::BusinessObject;

    QString ProjectID() const { return m_projectId; }
    void setProjectID(const QString &v) { m_projectId = v; }
    QString ProjectName() const { return m_projectName; }
    void setProjectName(const QString &v) { m_projectName = v; }
    qint32 TypeCode() const { return m_typeCode; }
    void setTypeCode(qint32 v) { m_typeCode = v; }

    // Read-only to pages; the store sets them.
    qint32 Attributes() const { return m_attributes; }
    void setAttributes(qint32 v) { m_attributes = v; }
    qint64 DateCreated() const { return m_dateCreated; }
    void setDateCreated(qint64 v) { m_dateCreated = v; }
    qint64 DateModified() const { return m_dateModified; }
    void setDateModified(qint64 v) { m_dateModified = v; }
    // Stored time (seconds since 1970-01-01 UTC) as local date and time.
    Q_INVOKABLE QDateTime ConvertDate(qint64 storedTime) const;
    static qint64 toStoredTime(const QDateTime &dateTime);

    qint16 EntryCount() const { return qint16(m_entries.size()); }
    // Drops every size-calling entry (a store refilling the object starts from none).
    void clearEntries() { m_entries.clear(); }
    Q_INVOKABLE bool IdentifyAlleles(qint32 entry) const;
    Q_INVOKABLE void setIdentifyAlleles(qint32 entry, bool v);
    Q_INVOKABLE float RelativePeakHeightThreshold(qint32 entry) const;
    Q_INVOKABLE void setRelativePeakHeightThreshold(qint32 entry, float v);
    Q_INVOKABLE float ConfidenceLevel(qint32 entry) const;
    Q_INVOKABLE void setConfidenceLevel(qint32 entry, float v);
    SizeCalibrationPtr SizeCalibration(qint32 entry) const; // null when the entry has none
    void setSizeCalibration(qint32 entry, SizeCalibrationPtr calibration);
    // The locus tag lists of an entry: SNPLocusTagSettings and STRLocusTag items without keys.
    CollectionPtr SNPLocusTagsOf(qint32 entry) const;
    CollectionPtr STRLocusTagsOf(qint32 entry) const;

    float SlopeThreshold() const { return m_slopeThreshold; }
    void setSlopeThreshold(float v) { m_slopeThreshold = v; }
    bool SNPAnalysis() const { return m_snpAnalysis; }
    void setSNPAnalysis(bool v) { m_snpAnalysis = v; }

    SizeStandardSettingsPtr SizeStandard() const { return m_sizeStandard; }
    void setSizeStandard(SizeStandardSettingsPtr v) { m_sizeStandard = std::move(v); }
    MobilityCalibrationSettingsPtr DyeMobilityCalibration() const { return m_mobility; }
    void setDyeMobilityCalibration(MobilityCalibrationSettingsPtr v) { m_mobility = std::move(v); }
    SizeCalibrationPtr StandardMobilityReference() const { return m_mobilityReference; }
    void setStandardMobilityReference(SizeCalibrationPtr v) { m_mobilityReference = std::move(v); }

    bool UseCalculatedDyeSpectra() const { return m_useCalculatedDyeSpectra; }
    void setUseCalculatedDyeSpectra(bool v) { m_useCalculatedDyeSpectra = v; }
    Q_INVOKABLE bool DyeSpectra(qint32 dye) const;
    Q_INVOKABLE void setDyeSpectra(qint32 dye, bool v);
    qint32 IDStandardBySize() const { return m_idStandardBySize; }
    void setIDStandardBySize(qint32 v) { m_idStandardBySize = v; }
    qint32 QuantityByHeight() const { return m_quantityByHeight; }
    void setQuantityByHeight(qint32 v) { m_quantityByHeight = v; }
    Q_INVOKABLE float QuantSizeTime(qint32 row) const;
    Q_INVOKABLE void setQuantSizeTime(qint32 row, float v);
    Q_INVOKABLE float QuantWindow(qint32 row) const;
    Q_INVOKABLE void setQuantWindow(qint32 row, float v);
    Q_INVOKABLE float QuantAmount(qint32 row) const;
    Q_INVOKABLE void setQuantAmount(qint32 row, float v);
    Q_INVOKABLE qint32 QuantUnit(qint32 row) const;
    Q_INVOKABLE void setQuantUnit(qint32 row, qint32 v);

    bool isReadOnly() const { return (m_attributes & limits::kReadOnlyBits) != 0; }

    // Fills this object from storage by Name; 0 when found.
    Q_INVOKABLE qint32 Retrieve();
    // Stores the whole set in one transaction, keyed by Name (insert when new, update otherwise).
    Q_INVOKABLE void Commit();

private:
    struct Entry
    {
        bool identifyAlleles = false;
        float relativePeakHeightThreshold = 0;
        float confidenceLevel = 0;
        SizeCalibrationPtr calibration;
        CollectionPtr strTags = newCollection();
        CollectionPtr snpTags = newCollection();
    };
    const Entry &entryAt(qint32 entry) const;
    Entry &entryFor(qint32 entry);
    static void checkRow(qint32 row, int count);

    QString m_projectId;
    QString m_projectName;
    qint32 m_typeCode = 0;
    qint32 m_attributes = 0;
    qint64 m_dateCreated = 0;
    qint64 m_dateModified = 0;
    std::vector<Entry> m_entries;
    float m_slopeThreshold = 0;
    bool m_snpAnalysis = false;
    SizeStandardSettingsPtr m_sizeStandard;
    MobilityCalibrationSettingsPtr m_mobility;
    SizeCalibrationPtr m_mobilityReference;
    bool m_useCalculatedDyeSpectra = false;
    std::array<bool, kRows> m_dyeSpectra{};
    qint32 m_idStandardBySize = 0;
    qint32 m_quantityByHeight = 0;
    std::array<float, kRows> m_quantSizeTime{};
    std::array<float, kRows> m_quantWindow{};
    std::array<float, kRows> m_quantAmount{};
    std::array<qint32, kRows> m_quantUnit{};
};
using FragAnalysisParamPtr = QSharedPointer<FragAnalysisParam>;

// One parameter set. Its Name is the name of its current settings object, so a launcher that
// reloads by the object's current name finds what was just saved.
class AnalysisParameter : public BusinessObject
{
    Q_OBJECT
    Q_PROPERTY(qint32 ProjectID READ ProjectID WRITE setProjectID)
    Q_PROPERTY(veltrane::ObjectPtr FragAnalysisParam READ FragAnalysisParamObject)
public:
    using BusinessObject::BusinessObject;
    QString Name() const override { return m_settings ? m_settings->Name() : BusinessObject::Name(); }
    qint32 ProjectID() const { return m_projectId; }
    void setProjectID(qint32 v) { m_projectId = v; }
    // The settings; a set listed by the store reads them on first use (see deferSettings).
    FragAnalysisParamPtr FragAnalysisParam() const;
    // Attaching settings that were committed gives the set their stored identity.
    void setFragAnalysisParam(FragAnalysisParamPtr settings);
    ObjectPtr FragAnalysisParamObject() const { return FragAnalysisParam(); }

    // Lets a store list many sets cheaply: the settings are asked of the set's store
    // (ObjectStore::settingsOf) on their first read, and kept. A read that fails raises its error and
    // the next read asks again. Setting settings ends the deferral.
    void deferSettings();
    bool settingsLoaded() const { return !m_deferred; }

private:
    void adoptProject(const FragAnalysisParamPtr &settings) const;

    mutable qint32 m_projectId = 0;
    mutable FragAnalysisParamPtr m_settings;
    mutable bool m_deferred = false;
};
using AnalysisParameterPtr = QSharedPointer<AnalysisParameter>;

// ---- persistence ---------------------------------------------------------------------------

// What the business objects ask of their store; host/objects implements it on SQL.
class ObjectStore
{
public:
    virtual ~ObjectStore() = default;
    virtual qint32 retrieve(FragAnalysisParam &settings) = 0; // by Name; 0 when found
    virtual void commit(FragAnalysisParam &settings) = 0;
    virtual qint32 retrieve(SizeCalibration &entry) = 0; // by Kind and Name; 0 when found
    virtual void commit(SNPLocusTag &tag) = 0;
    // The settings of a set the store listed with deferred settings (AnalysisParameter::deferSettings).
    // Stores that never defer need not answer it.
    virtual FragAnalysisParamPtr settingsOf(const AnalysisParameter &set);
};

// The business-object manager: creates new objects and loads stored ones by type and query name.
class BusinessObjectManager
{
public:
    virtual ~BusinessObjectManager() = default;

    // A new, empty, unsaved object: "AnalysisParameter", "Grid", "SNPLocusTag", ...
    virtual ObjectPtr NewObject(const QString &typeName) = 0;
    // One stored object, e.g. ("GridType", "GridTypeID", "16").
    //
    // exclusive asks for the stored rows to be held for this caller until it commits, and complete
    // for the object with everything it refers to. The pages pass (false, true); a store that never
    // holds rows (conflicts are found at commit) and always reads whole objects may ignore both.
    virtual ObjectPtr LoadObject(const QString &typeName, const QString &keyField, const QString &keyValue,
                                 bool exclusive = false, bool complete = true) = 0;
    // Stored objects in the query's order, keyed by keyField (or by the decimal text of ID when
    // empty). The two filters narrow a query that takes them ("" for none); exclusive and complete
    // as for LoadObject.
    virtual CollectionPtr LoadCollection(const QString &queryName, const QString &filter, const QString &filterValue,
                                         const QString &keyField, bool exclusive = false, bool complete = true) = 0;
    // The store behind the objects this manager hands out.
    virtual StorePtr store() const = 0;
};

} // namespace veltrane
