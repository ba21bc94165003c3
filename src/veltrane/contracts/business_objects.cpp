#include "veltrane/contracts/business_objects.h"

#include "veltrane/contracts/error.h"
#include "veltrane/contracts/object_services.h"
#include "veltrane/contracts/vocabulary.h"

#include <QTimeZone>

namespace veltrane {

BusinessObject::BusinessObject(QObject *parent)
    : QObject(parent)
{}

StorePtr BusinessObject::store() const
{
    if (m_store)
        return m_store;
    return currentObjectStore();
}

StorePtr BusinessObject::requireStore(const QString &source) const
{
    StorePtr s = store();
    if (!s)
        throw Error(kApplicationError, source, QStringLiteral("No business-object store is open."));
    return s;
}

float SizeStandardSettings::FragmentSize(qint32 index) const
{
    if (index < 0 || index >= m_sizes.size())
        throw Error::subscriptOutOfRange(QStringLiteral("SizeStandard"));
    return m_sizes[index];
}

static void checkCoefficientIndex(qint16 row, qint16 column)
{
    if (row < 0 || row > 3 || column < 0 || column > 3)
        throw Error::subscriptOutOfRange(QStringLiteral("MobilityCalibration"));
}

float MobilityCalibrationSettings::Coefficient(qint16 row, qint16 column) const
{
    checkCoefficientIndex(row, column);
    return m_coefficients[size_t(row * 4 + column)];
}

void MobilityCalibrationSettings::setCoefficient(qint16 row, qint16 column, float value)
{
    checkCoefficientIndex(row, column);
    m_coefficients[size_t(row * 4 + column)] = value;
}

QString SizeCalibration::ModelName(qint32 index) const
{
    static const char *const names[kModelCount] = {"Linear", "Quadratic", "Local Southern", "Cubic", "Quartic"};
    if (index < 0 || index >= kModelCount)
        throw Error::subscriptOutOfRange(QStringLiteral("SizeCalibration"));
    return QString::fromLatin1(names[index]);
}

qint32 SizeCalibration::Retrieve()
{
    return requireStore(QStringLiteral("SizeCalibration"))->retrieve(*this);
}

QString SNPLocusTagSettings::TagText(qint32 index) const
{
    if (index < 1 || index > 4)
        throw Error::subscriptOutOfRange(QStringLiteral("SNPLocusTag"));
    return m_text[size_t(index - 1)];
}

void SNPLocusTagSettings::setTagText(qint32 index, const QString &v)
{
    if (index < 1 || index > 4)
        throw Error::subscriptOutOfRange(QStringLiteral("SNPLocusTag"));
    m_text[size_t(index - 1)] = v;
}

void SNPLocusTag::setName(const QString &name)
{
    BusinessObject::setName(name);
    if (m_data)
        m_data->setName(name);
}

void SNPLocusTag::Commit()
{
    requireStore(QStringLiteral("SNPLocusTag"))->commit(*this);
}

static const GridType::Column &columnAt(const QList<GridType::Column> &columns, qint32 column)
{
    if (column < 1 || column > columns.size())
        throw Error::subscriptOutOfRange(QStringLiteral("GridType"));
    return columns[column - 1];
}

QString GridType::ColumnTitle(qint32 column) const
{
    return columnAt(m_columns, column).title;
}

qint32 GridType::ColumnWidth(qint32 column) const
{
    return columnAt(m_columns, column).widthTwips;
}

qint32 GridType::ColumnAlignment(qint32 column) const
{
    return columnAt(m_columns, column).alignment;
}

QDateTime FragAnalysisParam::ConvertDate(qint64 storedTime) const
{
    return QDateTime::fromSecsSinceEpoch(storedTime, QTimeZone::utc()).toLocalTime();
}

qint64 FragAnalysisParam::toStoredTime(const QDateTime &dateTime)
{
    return dateTime.toSecsSinceEpoch();
}

const FragAnalysisParam::Entry &FragAnalysisParam::entryAt(qint32 entry) const
{
    if (entry < 0 || entry >= qint32(m_entries.size()))
        throw Error::subscriptOutOfRange(QStringLiteral("FragAnalysisParam"));
    return m_entries[size_t(entry)];
}

FragAnalysisParam::Entry &FragAnalysisParam::entryFor(qint32 entry)
{
    if (entry < 0 || entry >= limits::kSizeCallingEntries)
        throw Error::subscriptOutOfRange(QStringLiteral("FragAnalysisParam"));
    if (entry >= qint32(m_entries.size()))
        m_entries.resize(size_t(entry + 1));
    return m_entries[size_t(entry)];
}

void FragAnalysisParam::checkRow(qint32 row, int count)
{
    if (row < 0 || row >= count)
        throw Error::subscriptOutOfRange(QStringLiteral("FragAnalysisParam"));
}

bool FragAnalysisParam::IdentifyAlleles(qint32 entry) const
{
    return entryAt(entry).identifyAlleles;
}
void FragAnalysisParam::setIdentifyAlleles(qint32 entry, bool v)
{
    entryFor(entry).identifyAlleles = v;
}
float FragAnalysisParam::RelativePeakHeightThreshold(qint32 entry) const
{
    return entryAt(entry).relativePeakHeightThreshold;
}
void FragAnalysisParam::setRelativePeakHeightThreshold(qint32 entry, float v)
{
    entryFor(entry).relativePeakHeightThreshold = v;
}
float FragAnalysisParam::ConfidenceLevel(qint32 entry) const
{
    return entryAt(entry).confidenceLevel;
}
void FragAnalysisParam::setConfidenceLevel(qint32 entry, float v)
{
    entryFor(entry).confidenceLevel = v;
}
SizeCalibrationPtr FragAnalysisParam::SizeCalibration(qint32 entry) const
{
    if (entry >= 0 && entry < qint32(m_entries.size()))
        return m_entries[size_t(entry)].calibration;
    if (entry < 0)
        throw Error::subscriptOutOfRange(QStringLiteral("FragAnalysisParam"));
    return {};
}
void FragAnalysisParam::setSizeCalibration(qint32 entry, SizeCalibrationPtr calibration)
{
    entryFor(entry).calibration = std::move(calibration);
}
CollectionPtr FragAnalysisParam::SNPLocusTagsOf(qint32 entry) const
{
    return entryAt(entry).snpTags;
}
CollectionPtr FragAnalysisParam::STRLocusTagsOf(qint32 entry) const
{
    return entryAt(entry).strTags;
}

bool FragAnalysisParam::DyeSpectra(qint32 dye) const
{
    checkRow(dye, kRows);
    return m_dyeSpectra[size_t(dye)];
}
void FragAnalysisParam::setDyeSpectra(qint32 dye, bool v)
{
    checkRow(dye, kRows);
    m_dyeSpectra[size_t(dye)] = v;
}
float FragAnalysisParam::QuantSizeTime(qint32 row) const
{
    checkRow(row, kRows);
    return m_quantSizeTime[size_t(row)];
}
void FragAnalysisParam::setQuantSizeTime(qint32 row, float v)
{
    checkRow(row, kRows);
    m_quantSizeTime[size_t(row)] = v;
}
float FragAnalysisParam::QuantWindow(qint32 row) const
{
    checkRow(row, kRows);
    return m_quantWindow[size_t(row)];
}
void FragAnalysisParam::setQuantWindow(qint32 row, float v)
{
    checkRow(row, kRows);
    m_quantWindow[size_t(row)] = v;
}
float FragAnalysisParam::QuantAmount(qint32 row) const
{
    checkRow(row, kRows);
    return m_quantAmount[size_t(row)];
}
void FragAnalysisParam::setQuantAmount(qint32 row, float v)
{
    checkRow(row, kRows);
    m_quantAmount[size_t(row)] = v;
}
qint32 FragAnalysisParam::QuantUnit(qint32 row) const
{
    checkRow(row, kRows);
    return m_quantUnit[size_t(row)];
}
void FragAnalysisParam::setQuantUnit(qint32 row, qint32 v)
{
    checkRow(row, kRows);
    m_quantUnit[size_t(row)] = v;
}

qint32 FragAnalysisParam::Retrieve()
{
    return requireStore(QStringLiteral("FragAnalysisParam"))->retrieve(*this);
}

void FragAnalysisParam::Commit()
{
    requireStore(QStringLiteral("FragAnalysisParam"))->commit(*this);
}

FragAnalysisParamPtr AnalysisParameter::FragAnalysisParam() const
{
    if (m_deferred) {
        // May throw: the set stays deferred, so the next read asks again.
        FragAnalysisParamPtr loaded = requireStore(QStringLiteral("AnalysisParameter"))->settingsOf(*this);
        m_deferred = false;
        m_settings = std::move(loaded);
        adoptProject(m_settings);
    }
    return m_settings;
}

void AnalysisParameter::setFragAnalysisParam(FragAnalysisParamPtr settings)
{
    m_deferred = false;
    m_settings = std::move(settings);
    if (!m_settings)
        return;
    if (m_settings->ID() > 0)
        setID(m_settings->ID());
    adoptProject(m_settings);
}

void AnalysisParameter::deferSettings()
{
    m_settings.reset();
    m_deferred = true;
}

FragAnalysisParamPtr ObjectStore::settingsOf(const AnalysisParameter &set)
{
    throw Error(kApplicationError, QStringLiteral("AnalysisParameter"),
                QStringLiteral("The store cannot read the settings of the parameter set \"%1\".").arg(set.Name()));
}

void AnalysisParameter::adoptProject(const FragAnalysisParamPtr &settings) const
{
    if (!settings)
        return;
    bool ok = false;
    const qint32 project = settings->ProjectID().toInt(&ok);
    if (ok)
        m_projectId = project;
}

} // namespace veltrane
