#include "host/objects/json_exchange.h"

#include "host/objects/connection.h"
#include "host/objects/store_io.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <QTimeZone>
#include <cmath>
#include <limits>

namespace veltrane::host {

namespace {

const QString kExportSource = QStringLiteral("Export");
const QString kImportSource = QStringLiteral("Import");

// ---- values -------------------------------------------------------------------------------------

// The shortest decimal that reads back as the same single-precision number, so files stay readable
// (0.1, not 0.10000000149011612) and every value survives the trip exactly. Stores hold no NaN.
QJsonValue fromFloat(float f)
{
    if (std::isinf(f))
        return f > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    for (int precision = 6; precision <= 9; ++precision) {
        const QString text = QString::number(double(f), 'g', precision);
        if (text.toFloat() == f)
            return text.toDouble();
    }
    return double(f);
}

QJsonValue fromDate(qint64 storedTime)
{
    return QDateTime::fromSecsSinceEpoch(storedTime, QTimeZone::utc()).toString(Qt::ISODate);
}

QJsonValue nameOrNull(const BusinessObject *object)
{
    return object ? QJsonValue(object->Name()) : QJsonValue(QJsonValue::Null);
}

// ---- objects to JSON ----------------------------------------------------------------------------

QJsonObject toJson(const SizeStandardSettings &s)
{
    QJsonArray fragments;
    for (float size : s.FragmentSizes())
        fragments.append(fromFloat(size));
    return QJsonObject{{QStringLiteral("name"), s.Name()},
                       {QStringLiteral("attributes"), s.Attributes()},
                       {QStringLiteral("dyeIndex"), s.DyeIndex()},
                       {QStringLiteral("fitCoefficient"), fromFloat(s.FitCoefficient())},
                       {QStringLiteral("fragments"), fragments}};
}

QJsonObject toJson(const MobilityCalibrationSettings &c)
{
    QJsonArray rows;
    for (qint16 r = 0; r < 4; ++r) {
        QJsonArray row;
        for (qint16 col = 0; col < 4; ++col)
            row.append(fromFloat(c.Coefficient(r, col)));
        rows.append(row);
    }
    return QJsonObject{{QStringLiteral("name"), c.Name()}, {QStringLiteral("coefficients"), rows}};
}

QJsonObject referenceJson(const SizeCalibration &r)
{
    return QJsonObject{{QStringLiteral("name"), r.Name()}, {QStringLiteral("enumTypeId"), r.EnumTypeID()}};
}

QJsonObject toJson(const STRLocusTag &t)
{
    return QJsonObject{{QStringLiteral("name"), t.Name()},
                       {QStringLiteral("dye"), t.Dye()},
                       {QStringLiteral("minSize"), fromFloat(t.MinSize())},
                       {QStringLiteral("maxSize"), fromFloat(t.MaxSize())},
                       {QStringLiteral("dateModified"), fromDate(t.DateModified())}};
}

QJsonObject toJson(const SNPLocusTagSettings &t)
{
    QJsonArray texts;
    for (int i = 1; i <= 4; ++i)
        texts.append(t.TagText(i));
    return QJsonObject{{QStringLiteral("name"), t.Name()},
                       {QStringLiteral("tagNumber"), fromFloat(t.TagNumber())},
                       {QStringLiteral("texts"), texts},
                       {QStringLiteral("dateModified"), fromDate(t.DateModified())}};
}

QJsonObject toJson(const FragAnalysisParam &s, const QHash<qint32, QString> &projectNames)
{
    QJsonObject o;
    o[QStringLiteral("name")] = s.Name();
    bool ok = false;
    const qint32 projectId = s.ProjectID().toInt(&ok);
    o[QStringLiteral("project")] = ok && projectNames.contains(projectId) ? QJsonValue(projectNames.value(projectId))
                                                                          : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("projectId")] = s.ProjectID();
    o[QStringLiteral("projectName")] = s.ProjectName();
    o[QStringLiteral("typeCode")] = s.TypeCode();
    o[QStringLiteral("attributes")] = s.Attributes();
    o[QStringLiteral("dateCreated")] = fromDate(s.DateCreated());
    o[QStringLiteral("dateModified")] = fromDate(s.DateModified());
    o[QStringLiteral("slopeThreshold")] = fromFloat(s.SlopeThreshold());
    o[QStringLiteral("snpAnalysis")] = s.SNPAnalysis();
    o[QStringLiteral("sizeStandard")] = nameOrNull(s.SizeStandard().data());
    o[QStringLiteral("mobilityCalibration")] = nameOrNull(s.DyeMobilityCalibration().data());
    o[QStringLiteral("mobilityReference")] = nameOrNull(s.StandardMobilityReference().data());
    o[QStringLiteral("useCalculatedDyeSpectra")] = s.UseCalculatedDyeSpectra();
    QJsonArray spectra;
    for (int i = 0; i < FragAnalysisParam::kRows; ++i)
        spectra.append(s.DyeSpectra(i));
    o[QStringLiteral("dyeSpectra")] = spectra;
    o[QStringLiteral("idStandardBySize")] = s.IDStandardBySize();
    o[QStringLiteral("quantityByHeight")] = s.QuantityByHeight();
    QJsonArray rows;
    for (int i = 0; i < FragAnalysisParam::kRows; ++i)
        rows.append(QJsonObject{{QStringLiteral("sizeTime"), fromFloat(s.QuantSizeTime(i))},
                                {QStringLiteral("window"), fromFloat(s.QuantWindow(i))},
                                {QStringLiteral("amount"), fromFloat(s.QuantAmount(i))},
                                {QStringLiteral("unit"), s.QuantUnit(i)}});
    o[QStringLiteral("quantitation")] = rows;

    QJsonArray entries;
    for (qint32 e = 0; e < s.EntryCount(); ++e) {
        QJsonObject entry{{QStringLiteral("identifyAlleles"), s.IdentifyAlleles(e)},
                          {QStringLiteral("relativePeakHeightThreshold"), fromFloat(s.RelativePeakHeightThreshold(e))},
                          {QStringLiteral("confidenceLevel"), fromFloat(s.ConfidenceLevel(e))}};
        QJsonValue calibration(QJsonValue::Null);
        if (const SizeCalibrationPtr c = s.SizeCalibration(e)) {
            QJsonArray peaks;
            for (qint16 p : c->SelectedPeaks())
                peaks.append(p);
            calibration = QJsonObject{{QStringLiteral("name"), c->Name()},
                                      {QStringLiteral("kind"), c->Kind()},
                                      {QStringLiteral("modelIndex"), c->ModelIndex()},
                                      {QStringLiteral("migrationVariable"), c->MigrationVariable()},
                                      {QStringLiteral("enumTypeId"), c->EnumTypeID()},
                                      {QStringLiteral("selectedPeaks"), peaks},
                                      {QStringLiteral("sizeStandard"), nameOrNull(c->SizeStandard().data())}};
        }
        entry[QStringLiteral("calibration")] = calibration;
        QJsonArray str, snp;
        for (const auto &tag : s.STRLocusTagsOf(e)->objects<STRLocusTag>())
            str.append(tag->Name());
        for (const auto &tag : s.SNPLocusTagsOf(e)->objects<SNPLocusTagSettings>())
            snp.append(tag->Name());
        entry[QStringLiteral("strLocusTags")] = str;
        entry[QStringLiteral("snpLocusTags")] = snp;
        entries.append(entry);
    }
    o[QStringLiteral("entries")] = entries;
    return o;
}

// ---- reading JSON with the place of every failure ----------------------------------------------

QString child(const QString &path, const char *key)
{
    return path.isEmpty() ? QString::fromLatin1(key) : path + QLatin1Char('.') + QLatin1String(key);
}

QString item(const QString &path, qsizetype index)
{
    return QStringLiteral("%1[%2]").arg(path).arg(index);
}

class Reader
{
public:
    explicit Reader(QString source)
        : m_source(std::move(source))
    {}

    [[noreturn]] void fail(const QString &path, const QString &what) const
    {
        throw Error(kStoreImportInvalid, kImportSource, QStringLiteral("%1: %2: %3").arg(m_source, path, what));
    }

    QJsonObject object(const QJsonValue &value, const QString &path) const
    {
        if (!value.isObject())
            fail(path, QStringLiteral("expected an object"));
        return value.toObject();
    }

    QJsonValue field(const QJsonObject &o, const QString &path, const char *key) const
    {
        const auto it = o.constFind(QLatin1String(key));
        if (it == o.constEnd())
            fail(child(path, key), QStringLiteral("missing"));
        return *it;
    }

    QString text(const QJsonObject &o, const QString &path, const char *key) const
    {
        const QJsonValue v = field(o, path, key);
        if (!v.isString())
            fail(child(path, key), QStringLiteral("expected a text"));
        return v.toString();
    }

    QString name(const QJsonObject &o, const QString &path) const
    {
        const QString n = text(o, path, "name");
        if (nameKey(n).isEmpty())
            fail(child(path, "name"), QStringLiteral("a name may not be empty"));
        return n;
    }

    // A reference by name, or null for none.
    std::optional<QString> reference(const QJsonObject &o, const QString &path, const char *key) const
    {
        const QJsonValue v = field(o, path, key);
        if (v.isNull())
            return std::nullopt;
        if (!v.isString())
            fail(child(path, key), QStringLiteral("expected a name or null"));
        return v.toString();
    }

    float real(const QJsonValue &v, const QString &path) const
    {
        if (v.isDouble()) {
            const double d = v.toDouble();
            if (std::isfinite(d) && std::fabs(d) > double(std::numeric_limits<float>::max()))
                fail(path, QStringLiteral("%1 is too large for a single-precision number").arg(d));
            return float(d);
        }
        if (v.isString()) {
            const QString s = v.toString();
            if (s == QLatin1String("Infinity"))
                return std::numeric_limits<float>::infinity();
            if (s == QLatin1String("-Infinity"))
                return -std::numeric_limits<float>::infinity();
        }
        fail(path, QStringLiteral("expected a number"));
    }

    float real(const QJsonObject &o, const QString &path, const char *key) const
    {
        return real(field(o, path, key), child(path, key));
    }

    qint64 whole(const QJsonValue &v, const QString &path, qint64 min, qint64 max) const
    {
        const double d = v.toDouble();
        if (!v.isDouble() || d != std::floor(d))
            fail(path, QStringLiteral("expected a whole number"));
        if (d < double(min) || d > double(max))
            fail(path, QStringLiteral("%1 is not from %2 to %3").arg(d).arg(min).arg(max));
        return qint64(d);
    }

    qint32 integer(const QJsonObject &o, const QString &path, const char *key) const
    {
        return qint32(whole(field(o, path, key), child(path, key), std::numeric_limits<qint32>::min(),
                            std::numeric_limits<qint32>::max()));
    }

    qint16 shortInteger(const QJsonValue &v, const QString &path) const
    {
        return qint16(whole(v, path, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()));
    }

    bool boolean(const QJsonValue &v, const QString &path) const
    {
        if (!v.isBool())
            fail(path, QStringLiteral("expected true or false"));
        return v.toBool();
    }

    bool boolean(const QJsonObject &o, const QString &path, const char *key) const
    {
        return boolean(field(o, path, key), child(path, key));
    }

    qint64 date(const QJsonObject &o, const QString &path, const char *key) const
    {
        const QString s = text(o, path, key);
        const QDateTime t = QDateTime::fromString(s, Qt::ISODate);
        if (!t.isValid())
            fail(child(path, key), QStringLiteral("\"%1\" is not a date and time such as 2024-01-15T09:30:00Z").arg(s));
        return t.toSecsSinceEpoch();
    }

    QJsonArray array(const QJsonObject &o, const QString &path, const char *key, qsizetype exactSize = -1) const
    {
        const QJsonValue v = field(o, path, key);
        if (!v.isArray())
            fail(child(path, key), QStringLiteral("expected a list"));
        const QJsonArray a = v.toArray();
        if (exactSize >= 0 && a.size() != exactSize)
            fail(child(path, key), QStringLiteral("expected a list of %1 items, not %2").arg(exactSize).arg(a.size()));
        return a;
    }

    // A top-level list that a file may leave out.
    QJsonArray optionalArray(const QJsonObject &o, const char *key) const
    {
        if (!o.contains(QLatin1String(key)))
            return {};
        return array(o, {}, key);
    }

private:
    QString m_source;
};

// ---- what a file holds --------------------------------------------------------------------------

template <typename T> struct Definition
{
    QString path;
    T object;
};

struct Reference
{
    io::Kind kind;
    QString name;
    QString path;
};

struct ParsedSet
{
    QString path;
    FragAnalysisParamPtr settings;
    std::optional<QString> project;
    QString projectId;
};

struct Parsed
{
    QList<Definition<QString>> projects;
    QList<Definition<SizeStandardSettingsPtr>> sizeStandards;
    QList<Definition<MobilityCalibrationSettingsPtr>> calibrations;
    QList<Definition<SizeCalibrationPtr>> references;
    QList<Definition<STRLocusTagPtr>> strTags;
    QList<Definition<SNPLocusTagSettingsPtr>> snpTags;
    QList<ParsedSet> sets;
    QList<Reference> refersTo;            // every name a set refers to, with its place
    QHash<io::Kind, QSet<QString>> names; // name keys the file defines, per kind
};

QString kindText(io::Kind kind)
{
    switch (kind) {
    case io::Kind::Project:
        return QStringLiteral("project");
    case io::Kind::SizeStandard:
        return QStringLiteral("size standard");
    case io::Kind::MobilityCalibration:
        return QStringLiteral("dye mobility calibration");
    case io::Kind::MobilityReference:
        return QStringLiteral("standard mobility reference");
    case io::Kind::StrTag:
        return QStringLiteral("STR locus tag");
    case io::Kind::SnpTag:
        return QStringLiteral("SNP locus tag");
    case io::Kind::Set:
        return QStringLiteral("parameter set");
    }
    return {};
}

void define(const Reader &r, Parsed &parsed, QHash<QString, QString> &places, io::Kind kind, const QString &name,
            const QString &path)
{
    const QString key = nameKey(name);
    const QString placeKey = QString::number(int(kind)) + QLatin1Char(':') + key;
    if (places.contains(placeKey))
        r.fail(child(path, "name"), QStringLiteral("the %1 \"%2\" is defined twice (also at %3)")
                                        .arg(kindText(kind), name, places.value(placeKey)));
    places.insert(placeKey, path);
    parsed.names[kind].insert(key);
}

FragAnalysisParamPtr parseSet(const Reader &r, const QJsonObject &o, const QString &path, Parsed &parsed)
{
    auto s = FragAnalysisParamPtr::create();
    auto refer = [&](io::Kind kind, const std::optional<QString> &name, const QString &place) {
        if (name)
            parsed.refersTo.append(Reference{kind, *name, place});
    };
    s->setName(r.name(o, path));
    s->setProjectName(r.text(o, path, "projectName"));
    s->setTypeCode(r.integer(o, path, "typeCode"));
    s->setAttributes(r.integer(o, path, "attributes"));
    s->setDateCreated(r.date(o, path, "dateCreated"));
    s->setDateModified(r.date(o, path, "dateModified"));
    s->setSlopeThreshold(r.real(o, path, "slopeThreshold"));
    s->setSNPAnalysis(r.boolean(o, path, "snpAnalysis"));

    if (const auto name = r.reference(o, path, "sizeStandard")) {
        auto standard = SizeStandardSettingsPtr::create();
        standard->setName(*name);
        s->setSizeStandard(standard);
        refer(io::Kind::SizeStandard, name, child(path, "sizeStandard"));
    }
    if (const auto name = r.reference(o, path, "mobilityCalibration")) {
        auto calibration = MobilityCalibrationSettingsPtr::create();
        calibration->setName(*name);
        s->setDyeMobilityCalibration(calibration);
        refer(io::Kind::MobilityCalibration, name, child(path, "mobilityCalibration"));
    }
    if (const auto name = r.reference(o, path, "mobilityReference")) {
        auto reference = SizeCalibrationPtr::create();
        reference->setKind(SizeCalibration::kMobilityReference);
        reference->setName(*name);
        s->setStandardMobilityReference(reference);
        refer(io::Kind::MobilityReference, name, child(path, "mobilityReference"));
    }

    s->setUseCalculatedDyeSpectra(r.boolean(o, path, "useCalculatedDyeSpectra"));
    const QJsonArray spectra = r.array(o, path, "dyeSpectra", FragAnalysisParam::kRows);
    for (int i = 0; i < FragAnalysisParam::kRows; ++i)
        s->setDyeSpectra(i, r.boolean(spectra.at(i), item(child(path, "dyeSpectra"), i)));
    s->setIDStandardBySize(r.integer(o, path, "idStandardBySize"));
    s->setQuantityByHeight(r.integer(o, path, "quantityByHeight"));
    const QJsonArray rows = r.array(o, path, "quantitation", FragAnalysisParam::kRows);
    for (int i = 0; i < FragAnalysisParam::kRows; ++i) {
        const QString rowPath = item(child(path, "quantitation"), i);
        const QJsonObject row = r.object(rows.at(i), rowPath);
        s->setQuantSizeTime(i, r.real(row, rowPath, "sizeTime"));
        s->setQuantWindow(i, r.real(row, rowPath, "window"));
        s->setQuantAmount(i, r.real(row, rowPath, "amount"));
        s->setQuantUnit(i, r.integer(row, rowPath, "unit"));
    }

    const QJsonArray entries = r.array(o, path, "entries");
    if (entries.size() > limits::kSizeCallingEntries)
        r.fail(child(path, "entries"), QStringLiteral("a set has at most %1 entries").arg(limits::kSizeCallingEntries));
    for (qsizetype e = 0; e < entries.size(); ++e) {
        const QString entryPath = item(child(path, "entries"), e);
        const QJsonObject entry = r.object(entries.at(e), entryPath);
        const qint32 i = qint32(e);
        s->setIdentifyAlleles(i, r.boolean(entry, entryPath, "identifyAlleles"));
        s->setRelativePeakHeightThreshold(i, r.real(entry, entryPath, "relativePeakHeightThreshold"));
        s->setConfidenceLevel(i, r.real(entry, entryPath, "confidenceLevel"));
        const QJsonValue calibrationValue = r.field(entry, entryPath, "calibration");
        if (!calibrationValue.isNull()) {
            const QString cPath = child(entryPath, "calibration");
            const QJsonObject c = r.object(calibrationValue, cPath);
            auto calibration = SizeCalibrationPtr::create();
            calibration->setName(r.text(c, cPath, "name"));
            calibration->setKind(r.integer(c, cPath, "kind"));
            calibration->setModelIndex(r.integer(c, cPath, "modelIndex"));
            calibration->setMigrationVariable(r.integer(c, cPath, "migrationVariable"));
            calibration->setEnumTypeID(r.integer(c, cPath, "enumTypeId"));
            QList<qint16> peaks;
            const QJsonArray peakArray = r.array(c, cPath, "selectedPeaks");
            for (qsizetype p = 0; p < peakArray.size(); ++p)
                peaks.append(r.shortInteger(peakArray.at(p), item(child(cPath, "selectedPeaks"), p)));
            calibration->setSelectedPeaks(peaks);
            if (const auto name = r.reference(c, cPath, "sizeStandard")) {
                auto standard = SizeStandardSettingsPtr::create();
                standard->setName(*name);
                calibration->setSizeStandard(standard);
                refer(io::Kind::SizeStandard, name, child(cPath, "sizeStandard"));
            }
            s->setSizeCalibration(i, calibration);
        }
        const QJsonArray str = r.array(entry, entryPath, "strLocusTags");
        for (qsizetype t = 0; t < str.size(); ++t) {
            const QString tagPath = item(child(entryPath, "strLocusTags"), t);
            if (!str.at(t).isString())
                r.fail(tagPath, QStringLiteral("expected the name of an STR locus tag"));
            auto tag = STRLocusTagPtr::create();
            tag->setName(str.at(t).toString());
            s->STRLocusTagsOf(i)->Add(tag);
            refer(io::Kind::StrTag, tag->Name(), tagPath);
        }
        const QJsonArray snp = r.array(entry, entryPath, "snpLocusTags");
        for (qsizetype t = 0; t < snp.size(); ++t) {
            const QString tagPath = item(child(entryPath, "snpLocusTags"), t);
            if (!snp.at(t).isString())
                r.fail(tagPath, QStringLiteral("expected the name of an SNP locus tag"));
            auto tag = SNPLocusTagSettingsPtr::create();
            tag->setName(snp.at(t).toString());
            s->SNPLocusTagsOf(i)->Add(tag);
            refer(io::Kind::SnpTag, tag->Name(), tagPath);
        }
    }
    return s;
}

Parsed parse(const Reader &r, const QJsonDocument &document)
{
    if (!document.isObject())
        r.fail(QStringLiteral("(document)"), QStringLiteral("expected a JSON object"));
    const QJsonObject root = document.object();
    if (r.text(root, {}, "format") != kExchangeFormatName)
        r.fail(QStringLiteral("format"),
               QStringLiteral("this is not a parameter set exchange file (expected \"%1\")").arg(kExchangeFormatName));
    const qint32 version = r.integer(root, {}, "version");
    if (version > kExchangeFormatVersion)
        r.fail(QStringLiteral("version"), QStringLiteral("format version %1 is newer than this program reads (%2)")
                                              .arg(version)
                                              .arg(kExchangeFormatVersion));
    if (version < 1)
        r.fail(QStringLiteral("version"), QStringLiteral("%1 is not a format version").arg(version));

    Parsed parsed;
    QHash<QString, QString> places;

    const QJsonArray projects = r.optionalArray(root, "projects");
    for (qsizetype i = 0; i < projects.size(); ++i) {
        const QString path = item(QStringLiteral("projects"), i);
        const QString name = r.name(r.object(projects.at(i), path), path);
        define(r, parsed, places, io::Kind::Project, name, path);
        parsed.projects.append({path, name});
    }

    const QJsonArray standards = r.optionalArray(root, "sizeStandards");
    for (qsizetype i = 0; i < standards.size(); ++i) {
        const QString path = item(QStringLiteral("sizeStandards"), i);
        const QJsonObject o = r.object(standards.at(i), path);
        auto s = SizeStandardSettingsPtr::create();
        s->setName(r.name(o, path));
        s->setAttributes(r.integer(o, path, "attributes"));
        s->setDyeIndex(r.shortInteger(r.field(o, path, "dyeIndex"), child(path, "dyeIndex")));
        s->setFitCoefficient(r.real(o, path, "fitCoefficient"));
        QList<float> sizes;
        const QJsonArray fragments = r.array(o, path, "fragments");
        for (qsizetype f = 0; f < fragments.size(); ++f)
            sizes.append(r.real(fragments.at(f), item(child(path, "fragments"), f)));
        s->setFragmentSizes(sizes);
        define(r, parsed, places, io::Kind::SizeStandard, s->Name(), path);
        parsed.sizeStandards.append({path, s});
    }

    const QJsonArray calibrations = r.optionalArray(root, "mobilityCalibrations");
    for (qsizetype i = 0; i < calibrations.size(); ++i) {
        const QString path = item(QStringLiteral("mobilityCalibrations"), i);
        const QJsonObject o = r.object(calibrations.at(i), path);
        auto c = MobilityCalibrationSettingsPtr::create();
        c->setName(r.name(o, path));
        const QJsonArray rows = r.array(o, path, "coefficients", 4);
        for (qint16 row = 0; row < 4; ++row) {
            const QString rowPath = item(child(path, "coefficients"), row);
            if (!rows.at(row).isArray() || rows.at(row).toArray().size() != 4)
                r.fail(rowPath, QStringLiteral("expected a list of 4 numbers"));
            const QJsonArray values = rows.at(row).toArray();
            for (qint16 col = 0; col < 4; ++col)
                c->setCoefficient(row, col, r.real(values.at(col), item(rowPath, col)));
        }
        define(r, parsed, places, io::Kind::MobilityCalibration, c->Name(), path);
        parsed.calibrations.append({path, c});
    }

    const QJsonArray references = r.optionalArray(root, "mobilityReferences");
    for (qsizetype i = 0; i < references.size(); ++i) {
        const QString path = item(QStringLiteral("mobilityReferences"), i);
        const QJsonObject o = r.object(references.at(i), path);
        auto ref = SizeCalibrationPtr::create();
        ref->setKind(SizeCalibration::kMobilityReference);
        ref->setName(r.name(o, path));
        ref->setEnumTypeID(r.integer(o, path, "enumTypeId"));
        define(r, parsed, places, io::Kind::MobilityReference, ref->Name(), path);
        parsed.references.append({path, ref});
    }

    const QJsonArray strTags = r.optionalArray(root, "strLocusTags");
    for (qsizetype i = 0; i < strTags.size(); ++i) {
        const QString path = item(QStringLiteral("strLocusTags"), i);
        const QJsonObject o = r.object(strTags.at(i), path);
        auto tag = STRLocusTagPtr::create();
        tag->setName(r.name(o, path));
        tag->setDye(r.shortInteger(r.field(o, path, "dye"), child(path, "dye")));
        tag->setMinSize(r.real(o, path, "minSize"));
        tag->setMaxSize(r.real(o, path, "maxSize"));
        tag->setDateModified(r.date(o, path, "dateModified"));
        define(r, parsed, places, io::Kind::StrTag, tag->Name(), path);
        parsed.strTags.append({path, tag});
    }

    const QJsonArray snpTags = r.optionalArray(root, "snpLocusTags");
    for (qsizetype i = 0; i < snpTags.size(); ++i) {
        const QString path = item(QStringLiteral("snpLocusTags"), i);
        const QJsonObject o = r.object(snpTags.at(i), path);
        auto tag = SNPLocusTagSettingsPtr::create();
        tag->setName(r.name(o, path));
        tag->setTagNumber(r.real(o, path, "tagNumber"));
        const QJsonArray texts = r.array(o, path, "texts", 4);
        for (int t = 0; t < 4; ++t) {
            if (!texts.at(t).isString())
                r.fail(item(child(path, "texts"), t), QStringLiteral("expected a text"));
            tag->setTagText(t + 1, texts.at(t).toString());
        }
        tag->setDateModified(r.date(o, path, "dateModified"));
        define(r, parsed, places, io::Kind::SnpTag, tag->Name(), path);
        parsed.snpTags.append({path, tag});
    }

    const QJsonArray sets = r.optionalArray(root, "sets");
    for (qsizetype i = 0; i < sets.size(); ++i) {
        const QString path = item(QStringLiteral("sets"), i);
        const QJsonObject o = r.object(sets.at(i), path);
        ParsedSet set;
        set.path = path;
        set.settings = parseSet(r, o, path, parsed);
        set.project = r.reference(o, path, "project");
        if (set.project)
            parsed.refersTo.append(Reference{io::Kind::Project, *set.project, child(path, "project")});
        set.projectId = r.text(o, path, "projectId");
        define(r, parsed, places, io::Kind::Set, set.settings->Name(), path);
        parsed.sets.append(std::move(set));
    }
    return parsed;
}

// Adds the file's definition unless the store has one by that name, and says which it was.
template <typename Insert, typename Stored>
void importDefinition(const io::Context &ctx, io::Kind kind, const QString &name, const QJsonObject &fileJson,
                      Insert &&insert, Stored &&storedJson, ImportReport &report)
{
    const QString label = QStringLiteral("%1 \"%2\"").arg(kindText(kind), name);
    if (io::idByName(ctx, kind, name) > 0) {
        report.reused.append(label);
        const QJsonObject stored = storedJson();
        if (!stored.isEmpty() && stored != fileJson)
            report.notes.append(
                QStringLiteral("The stored %1 differs from the file's; the stored one was kept.").arg(label));
        return;
    }
    insert();
    report.created.append(label);
}

} // namespace

// ---- export -------------------------------------------------------------------------------------

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
    QHash<io::Kind, QSet<QString>> used;
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
        auto use = [&](io::Kind kind, const BusinessObject *object) {
            if (object)
                used[kind].insert(nameKey(object->Name()));
        };
        bool ok = false;
        const qint32 projectId = s.ProjectID().toInt(&ok);
        if (ok && projectNames.contains(projectId))
            used[io::Kind::Project].insert(nameKey(projectNames.value(projectId)));
        use(io::Kind::SizeStandard, s.SizeStandard().data());
        use(io::Kind::MobilityCalibration, s.DyeMobilityCalibration().data());
        use(io::Kind::MobilityReference, s.StandardMobilityReference().data());
        for (qint32 e = 0; e < s.EntryCount(); ++e) {
            if (const auto c = s.SizeCalibration(e))
                use(io::Kind::SizeStandard, c->SizeStandard().data());
            for (const auto &tag : s.STRLocusTagsOf(e)->objects<STRLocusTag>())
                use(io::Kind::StrTag, tag.data());
            for (const auto &tag : s.SNPLocusTagsOf(e)->objects<SNPLocusTagSettings>())
                use(io::Kind::SnpTag, tag.data());
        }
        sets.append(toJson(s, projectNames));
    }
    auto wanted = [&](io::Kind kind, const QString &name) { return all || used.value(kind).contains(nameKey(name)); };

    QJsonArray projectList, standards, calibrations, references, strTags, snpTags;
    for (const auto &p : projects)
        if (wanted(io::Kind::Project, p->Name()))
            projectList.append(QJsonObject{{QStringLiteral("name"), p->Name()}});
    for (const auto &s : io::sizeStandards(ctx))
        if (wanted(io::Kind::SizeStandard, s->Name()))
            standards.append(toJson(*s->Data()));
    for (const auto &c : io::mobilityCalibrations(ctx))
        if (wanted(io::Kind::MobilityCalibration, c->Name()))
            calibrations.append(toJson(*c->Data()));
    for (const auto &r : io::mobilityReferences(ctx))
        if (wanted(io::Kind::MobilityReference, r->Name()))
            references.append(referenceJson(*r));
    for (const auto &t : io::strLocusTags(ctx))
        if (wanted(io::Kind::StrTag, t->Name()))
            strTags.append(toJson(*t));
    for (const auto &t : io::snpLocusTags(ctx))
        if (wanted(io::Kind::SnpTag, t->Name()))
            snpTags.append(toJson(*t->TagData()));
    transaction.commit();

    QJsonObject root;
    root[QStringLiteral("format")] = kExchangeFormatName;
    root[QStringLiteral("version")] = kExchangeFormatVersion;
    root[QStringLiteral("exportedAt")] = fromDate(QDateTime::currentSecsSinceEpoch());
    root[QStringLiteral("projects")] = projectList;
    root[QStringLiteral("sizeStandards")] = standards;
    root[QStringLiteral("mobilityCalibrations")] = calibrations;
    root[QStringLiteral("mobilityReferences")] = references;
    root[QStringLiteral("strLocusTags")] = strTags;
    root[QStringLiteral("snpLocusTags")] = snpTags;
    root[QStringLiteral("sets")] = sets;
    return QJsonDocument(root);
}

void exportStoreToFile(SqlStore &store, const QString &path, const QStringList &setNames, ExportScope scope)
{
    const QByteArray bytes = exportStore(store, setNames, scope).toJson(QJsonDocument::Indented);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(kStoreCannotOpen, kExportSource,
                    QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

// ---- import -------------------------------------------------------------------------------------

ImportReport importStore(SqlStore &store, const QByteArray &json, const QString &sourceName,
                         const ImportOptions &options)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw Error(kStoreImportInvalid, kImportSource,
                    QStringLiteral("%1: not valid JSON at character %2: %3")
                        .arg(sourceName)
                        .arg(error.offset)
                        .arg(error.errorString()));
    return importStore(store, document, sourceName, options);
}

ImportReport importStore(SqlStore &store, const QJsonDocument &document, const QString &sourceName,
                         const ImportOptions &options)
{
    const Reader reader(sourceName);
    Parsed parsed = parse(reader, document);

    io::Context ctx = store.context();
    Transaction transaction(store.pool(), Transaction::Write);

    // Every name a set refers to must be in the file or in the store, before anything is written.
    for (const Reference &ref : std::as_const(parsed.refersTo))
        if (!parsed.names.value(ref.kind).contains(nameKey(ref.name)) && io::idByName(ctx, ref.kind, ref.name) <= 0)
            reader.fail(
                ref.path,
                QStringLiteral("no %1 named \"%2\" is in the file or the store").arg(kindText(ref.kind), ref.name));

    // Sets that would overwrite stored ones are refused together, so one message names them all.
    QStringList refused;
    QList<std::optional<io::StoredSet>> replacing;
    for (const ParsedSet &set : std::as_const(parsed.sets)) {
        std::optional<io::StoredSet> stored = io::findSet(ctx, set.settings->Name(), true);
        if (stored && (stored->attributes & limits::kReadOnlyBits))
            refused.append(QStringLiteral("%1: the stored set \"%2\" is read-only and is never replaced")
                               .arg(set.path, stored->name));
        else if (stored && !options.replaceExisting)
            refused.append(
                QStringLiteral("%1: a set named \"%2\" is stored already (import with replacing to write over it)")
                    .arg(set.path, stored->name));
        replacing.append(stored);
    }
    if (!refused.isEmpty())
        throw Error(
            kStoreImportRefused, kImportSource,
            QStringLiteral("%1: nothing was imported. %2.").arg(sourceName, refused.join(QStringLiteral("; "))));

    ImportReport report;
    for (const auto &[path, name] : std::as_const(parsed.projects))
        importDefinition(
            ctx, io::Kind::Project, name, {}, [&] { io::insertProject(ctx, name); }, [] { return QJsonObject(); },
            report);
    for (const auto &[path, s] : std::as_const(parsed.sizeStandards))
        importDefinition(
            ctx, io::Kind::SizeStandard, s->Name(), toJson(*s), [&] { io::insertSizeStandard(ctx, *s); },
            [&] { return toJson(*io::sizeStandards(ctx, io::Filter::byName(s->Name())).first()->Data()); }, report);
    for (const auto &[path, c] : std::as_const(parsed.calibrations))
        importDefinition(
            ctx, io::Kind::MobilityCalibration, c->Name(), toJson(*c), [&] { io::insertMobilityCalibration(ctx, *c); },
            [&] { return toJson(*io::mobilityCalibrations(ctx, io::Filter::byName(c->Name())).first()->Data()); },
            report);
    for (const auto &[path, r] : std::as_const(parsed.references))
        importDefinition(
            ctx, io::Kind::MobilityReference, r->Name(), referenceJson(*r),
            [&] { io::insertMobilityReference(ctx, r->Name(), r->EnumTypeID()); },
            [&] { return referenceJson(*io::mobilityReferences(ctx, io::Filter::byName(r->Name())).first()); }, report);
    for (const auto &[path, t] : std::as_const(parsed.strTags))
        importDefinition(
            ctx, io::Kind::StrTag, t->Name(), toJson(*t), [&] { io::insertStrLocusTag(ctx, *t); },
            [&] { return toJson(*io::strLocusTags(ctx, io::Filter::byName(t->Name())).first()); }, report);
    for (const auto &[path, t] : std::as_const(parsed.snpTags))
        importDefinition(
            ctx, io::Kind::SnpTag, t->Name(), toJson(*t), [&] { io::insertSnpLocusTag(ctx, *t); },
            [&] { return toJson(*io::snpLocusTags(ctx, io::Filter::byName(t->Name())).first()->TagData()); }, report);

    QList<qint32> versions;
    for (qsizetype i = 0; i < parsed.sets.size(); ++i) {
        ParsedSet &set = parsed.sets[i];
        FragAnalysisParam &s = *set.settings;
        // Project identifiers belong to a store: the file names the project, and the set takes this
        // store's identifier of it.
        s.setProjectID(set.project ? QString::number(io::idByName(ctx, io::Kind::Project, *set.project))
                                   : set.projectId);
        const io::SetStamp stamp{s.Attributes(), s.DateCreated(), s.DateModified()};
        versions.append(io::writeSet(ctx, s, replacing[i], stamp).version);
        report.sets.append(s.Name());
        if (replacing[i])
            report.replaced.append(s.Name());
    }
    transaction.commit();

    // The importing session has seen what it wrote, so it may go on to edit those sets.
    for (qsizetype i = 0; i < parsed.sets.size(); ++i)
        store.noteVersion(parsed.sets[i].settings->Name(), versions[i]);
    return report;
}

ImportReport importStoreFromFile(SqlStore &store, const QString &path, const ImportOptions &options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(kStoreImportInvalid, kImportSource,
                    QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString()));
    return importStore(store, file.readAll(), path, options);
}

} // namespace veltrane::host
