#include "host/objects/exchange_kinds.h"

#include "veltrane/contracts/vocabulary.h"

namespace veltrane::host::exchange {

namespace {

const QString kProjectLabel = QStringLiteral("project");

template <typename T> QJsonObject definitionJson(const kinds::Descriptor<T> &d, const T &object)
{
    ObjectBuilder out;
    out.put(kinds::kNameLabel, object.Name());
    putFields(out, d, object);
    return out.take();
}

template <typename T>
QSharedPointer<T> readDefinition(const Reader &r, const QJsonObject &o, const QString &path,
                                 const kinds::Descriptor<T> &d)
{
    auto object = QSharedPointer<T>::create();
    object->setName(r.name(o, path));
    readFields(r, o, path, d, *object, [](const ReferenceAt &) {});
    return object;
}

QJsonArray namesOf(const CollectionPtr &list)
{
    QJsonArray names;
    for (const QVariant &item : *list)
        if (const auto object = objectFrom<BusinessObject>(item))
            names.append(object->Name());
    return names;
}

// The names of a tag list of an entry, each reported to refer.
template <typename Tag>
void readTagList(const Reader &r, const QJsonObject &entry, const QString &entryPath, const kinds::ChildList &links,
                 Kind kind, const CollectionPtr &into, QList<ReferenceAt> &refersTo)
{
    const QJsonArray names = r.array(entry, entryPath, links.label);
    for (qsizetype t = 0; t < names.size(); ++t) {
        const QString tagPath = item(child(entryPath, links.label), t);
        if (!names.at(t).isString())
            r.fail(tagPath, QStringLiteral("expected the name of an %1").arg(kinds::textOf(kind)));
        r.checkName(names.at(t).toString(), tagPath);
        auto tag = QSharedPointer<Tag>::create();
        tag->setName(names.at(t).toString());
        into->Add(tag);
        refersTo.append(ReferenceAt{kind, tag->Name(), tagPath});
    }
}

} // namespace

// ---- to files ---------------------------------------------------------------------------------------

QJsonObject toJson(const Project &project)
{
    return definitionJson(kinds::projects(), project);
}

QJsonObject toJson(const SizeStandardSettings &standard)
{
    QJsonObject o = definitionJson(kinds::sizeStandards(), standard);
    QJsonArray fragments;
    for (float size : standard.FragmentSizes())
        fragments.append(fromFloat(size));
    o.insert(kinds::fragments().label, fragments);
    return o;
}

QJsonObject toJson(const MobilityCalibrationSettings &calibration)
{
    return definitionJson(kinds::mobilityCalibrations(), calibration);
}

QJsonObject toJson(const SizeCalibration &reference)
{
    return definitionJson(kinds::mobilityReferences(), reference);
}

QJsonObject toJson(const STRLocusTag &tag)
{
    return definitionJson(kinds::strTags(), tag);
}

QJsonObject toJson(const SNPLocusTagSettings &tag)
{
    return definitionJson(kinds::snpTags(), tag);
}

QJsonValue calibrationJson(const SizeCalibration *c, const QJsonValue &sizeStandard)
{
    if (!c)
        return QJsonValue(QJsonValue::Null);
    ObjectBuilder fields;
    const auto &d = kinds::entryCalibrations();
    for (const auto &f : d.fields)
        if (!f.path.isEmpty())
            fields.put(f.steps, toJsonValue(f.type, f.get(*c, f.index)));
    fields.put(d.references.first().label, sizeStandard);
    QJsonArray peaks;
    for (qint16 p : c->SelectedPeaks())
        peaks.append(p);
    fields.put(kinds::selectedPeaks().label, peaks);
    return fields.take();
}

QJsonObject toJson(const FragAnalysisParam &s, const QHash<qint32, QString> &projectNames)
{
    ObjectBuilder out;
    out.put(kinds::kNameLabel, s.Name());
    bool ok = false;
    const qint32 projectId = s.ProjectID().toInt(&ok);
    out.put(kProjectLabel, ok && projectNames.contains(projectId) ? QJsonValue(projectNames.value(projectId))
                                                                  : QJsonValue(QJsonValue::Null));
    putFields(out, kinds::sets(), s);

    QJsonArray entries;
    for (qint32 e = 0; e < s.EntryCount(); ++e) {
        ObjectBuilder entry;
        // Exporting only reads the set.
        putFields(entry, kinds::entries(), kinds::SetEntry{const_cast<FragAnalysisParam *>(&s), e});
        const SizeCalibrationPtr c = s.SizeCalibration(e);
        entry.put(kinds::kCalibrationLabel,
                  calibrationJson(c.data(), c ? nameOrNull(c->SizeStandard().data()) : QJsonValue(QJsonValue::Null)));
        entry.put(kinds::strTagLinks().label, namesOf(s.STRLocusTagsOf(e)));
        entry.put(kinds::snpTagLinks().label, namesOf(s.SNPLocusTagsOf(e)));
        entries.append(entry.take());
    }
    out.put(kinds::kEntriesLabel, entries);
    return out.take();
}

// ---- from files -------------------------------------------------------------------------------------

ProjectPtr readProject(const Reader &r, const QJsonObject &o, const QString &path)
{
    return readDefinition(r, o, path, kinds::projects());
}

SizeStandardSettingsPtr readSizeStandard(const Reader &r, const QJsonObject &o, const QString &path)
{
    SizeStandardSettingsPtr standard = readDefinition(r, o, path, kinds::sizeStandards());
    const QString label = kinds::fragments().label;
    const QJsonArray fragments = r.array(o, path, label);
    QList<float> sizes;
    sizes.reserve(fragments.size());
    for (qsizetype f = 0; f < fragments.size(); ++f)
        sizes.append(r.real(fragments.at(f), item(child(path, label), f)));
    standard->setFragmentSizes(sizes);
    return standard;
}

MobilityCalibrationSettingsPtr readMobilityCalibration(const Reader &r, const QJsonObject &o, const QString &path)
{
    return readDefinition(r, o, path, kinds::mobilityCalibrations());
}

SizeCalibrationPtr readMobilityReference(const Reader &r, const QJsonObject &o, const QString &path)
{
    SizeCalibrationPtr reference = readDefinition(r, o, path, kinds::mobilityReferences());
    reference->setKind(SizeCalibration::kMobilityReference);
    return reference;
}

STRLocusTagPtr readStrTag(const Reader &r, const QJsonObject &o, const QString &path)
{
    return readDefinition(r, o, path, kinds::strTags());
}

SNPLocusTagSettingsPtr readSnpTag(const Reader &r, const QJsonObject &o, const QString &path)
{
    return readDefinition(r, o, path, kinds::snpTags());
}

FileSet readSet(const Reader &r, const QJsonObject &o, const QString &path, QList<ReferenceAt> &refersTo)
{
    const auto refer = [&refersTo](const ReferenceAt &ref) { refersTo.append(ref); };
    FileSet set;
    set.settings = FragAnalysisParamPtr::create();
    FragAnalysisParam &s = *set.settings;
    s.setName(r.name(o, path));
    set.project = r.reference(o, path, kProjectLabel);
    if (set.project)
        refer(ReferenceAt{Kind::Project, *set.project, child(path, kProjectLabel)});
    readFields(r, o, path, kinds::sets(), s, refer);

    const QJsonArray entries = r.array(o, path, kinds::kEntriesLabel);
    if (entries.size() > limits::kSizeCallingEntries)
        r.fail(child(path, kinds::kEntriesLabel),
               QStringLiteral("a set has at most %1 entries").arg(limits::kSizeCallingEntries));
    for (qsizetype e = 0; e < entries.size(); ++e) {
        const QString entryPath = item(child(path, kinds::kEntriesLabel), e);
        const QJsonObject entry = r.object(entries.at(e), entryPath);
        kinds::SetEntry view{&s, qint32(e)};
        readFields(r, entry, entryPath, kinds::entries(), view, refer);
        const QJsonValue calibrationValue = r.field(entry, entryPath, kinds::kCalibrationLabel);
        if (!calibrationValue.isNull()) {
            const QString cPath = child(entryPath, kinds::kCalibrationLabel);
            const QJsonObject c = r.object(calibrationValue, cPath);
            auto calibration = SizeCalibrationPtr::create();
            readFields(r, c, cPath, kinds::entryCalibrations(), *calibration, refer);
            const QString label = kinds::selectedPeaks().label;
            const QJsonArray peakArray = r.array(c, cPath, label);
            QList<qint16> peaks;
            for (qsizetype p = 0; p < peakArray.size(); ++p)
                peaks.append(
                    qint16(r.value(kinds::Type::Int16, peakArray.at(p), item(child(cPath, label), p)).toInt()));
            calibration->setSelectedPeaks(peaks);
            s.setSizeCalibration(view.index, calibration);
        }
        readTagList<STRLocusTag>(r, entry, entryPath, kinds::strTagLinks(), Kind::StrTag, s.STRLocusTagsOf(view.index),
                                 refersTo);
        readTagList<SNPLocusTagSettings>(r, entry, entryPath, kinds::snpTagLinks(), Kind::SnpTag,
                                         s.SNPLocusTagsOf(view.index), refersTo);
    }
    return set;
}

} // namespace veltrane::host::exchange
