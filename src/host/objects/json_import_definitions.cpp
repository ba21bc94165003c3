#include "host/objects/json_import_steps.h"

// What a file defines (projects, size standards, calibrations, references, locus tags), stored where the
// store lacks it by name and reused as stored where it has it; and the projects the sets name.

namespace veltrane::host::importing {

namespace {

// The stored definitions of the names, by nameKey().
QHash<QString, ObjectPtr> storedDefinitions(const io::Context &ctx, Kind kind, const QStringList &names)
{
    QHash<QString, ObjectPtr> out;
    const auto add = [&out](const ObjectPtr &stored) {
        out.insert(nameKey(qobject_cast<BusinessObject *>(stored.data())->Name()), stored);
    };
    io::forBatches(names.size(), [&](qsizetype from, qsizetype n) {
        const io::Filter filter = io::Filter::byNames(names.mid(from, n));
        switch (kind) {
        case Kind::Project:
            for (const auto &o : io::projects(ctx, filter))
                add(o);
            break;
        case Kind::SizeStandard:
            for (const auto &o : io::sizeStandards(ctx, filter))
                add(o->Data());
            break;
        case Kind::MobilityCalibration:
            for (const auto &o : io::mobilityCalibrations(ctx, filter))
                add(o->Data());
            break;
        case Kind::MobilityReference:
            for (const auto &o : io::mobilityReferences(ctx, filter))
                add(o);
            break;
        case Kind::StrTag:
            for (const auto &o : io::strLocusTags(ctx, filter))
                add(o);
            break;
        case Kind::SnpTag:
            for (const auto &o : io::snpLocusTags(ctx, filter))
                add(o->TagData());
            break;
        case Kind::Set:
            break;
        }
    });
    return out;
}

// Whether a stored definition says what the file's says: the name as written and every field (a size
// standard's fragments too), compared as stored.
template <typename T> bool sameDefinition(const kinds::Descriptor<T> &d, const T &stored, const T &file)
{
    if (stored.Name() != storedName(file.Name()))
        return false;
    for (const kinds::Field<T> &f : d.fields)
        if (f.get(stored, f.index) != f.get(file, f.index))
            return false;
    if constexpr (std::is_same_v<T, SizeStandardSettings>)
        return stored.FragmentSizes() == file.FragmentSizes();
    return true;
}

// Adds the file's definitions the store lacks by name, in batches; the others are reused as stored,
// and the report says which was which (and where a stored one differs from the file's).
template <typename T>
void importDefinitions(const io::Context &ctx, Kind kind, const kinds::Descriptor<T> &descriptor,
                       const QList<Defined<T>> &defined, io::ReferenceResolver &resolver, ImportReport &report)
{
    QStringList names;
    for (const auto &d : defined)
        names.append(d.object->Name());
    // The stored definitions of those names, read once: to compare, and for their IDs.
    const QHash<QString, ObjectPtr> stored = storedDefinitions(ctx, kind, names);
    QList<const BusinessObject *> fresh;
    for (const auto &d : defined) {
        const auto it = stored.constFind(nameKey(d.object->Name()));
        if (it == stored.cend())
            fresh.append(d.object.data());
        else
            resolver.learn(kind, d.object->Name(), qobject_cast<const BusinessObject *>(it->data())->ID());
    }
    const QList<qint32> ids = io::insertDefinitions(ctx, kind, fresh);
    for (qsizetype i = 0; i < fresh.size(); ++i)
        resolver.learn(kind, fresh[i]->Name(), ids[i]);
    for (const auto &d : defined) {
        const QString label = QStringLiteral("%1 \"%2\"").arg(kinds::textOf(kind), d.object->Name());
        const auto it = stored.constFind(nameKey(d.object->Name()));
        if (it == stored.cend()) {
            report.created.append(label);
            continue;
        }
        report.reused.append(label);
        if (!sameDefinition(descriptor, *qSharedPointerObjectCast<T>(*it), *d.object))
            report.notes.append(
                QStringLiteral("The stored %1 differs from the file's; the stored one was kept.").arg(label));
    }
}

} // namespace

void importDefinitions(const io::Context &ctx, const Parsed &parsed, io::ReferenceResolver &resolver,
                       ImportReport &report)
{
    importDefinitions(ctx, Kind::Project, kinds::projects(), parsed.projects, resolver, report);
    importDefinitions(ctx, Kind::SizeStandard, kinds::sizeStandards(), parsed.sizeStandards, resolver, report);
    importDefinitions(ctx, Kind::MobilityCalibration, kinds::mobilityCalibrations(), parsed.calibrations, resolver,
                      report);
    importDefinitions(ctx, Kind::MobilityReference, kinds::mobilityReferences(), parsed.references, resolver, report);
    importDefinitions(ctx, Kind::StrTag, kinds::strTags(), parsed.strTags, resolver, report);
    importDefinitions(ctx, Kind::SnpTag, kinds::snpTags(), parsed.snpTags, resolver, report);
}

std::optional<QString> Projects::assign(FragAnalysisParam &s, const std::optional<QString> &project,
                                        io::ReferenceResolver &resolver)
{
    if (!project) {
        s.setProjectID(QString());
        return std::nullopt;
    }
    const QString fileName = s.ProjectName();
    const QString name = storedNameOf(*project);
    s.setProjectID(QString::number(resolver.idOfName(Kind::Project, *project)));
    s.setProjectName(name);
    if (fileName == name)
        return std::nullopt;
    return QStringLiteral("The set \"%1\" belongs to the project \"%2\" it names; its project name \"%3\" in "
                          "the file was not kept.")
        .arg(s.Name(), name, fileName);
}

QString Projects::storedNameOf(const QString &project)
{
    const QString key = nameKey(project);
    auto it = m_names.constFind(key);
    if (it == m_names.cend()) {
        const QList<ProjectPtr> stored = io::projects(m_ctx, io::Filter::byName(project));
        it = m_names.insert(key, stored.isEmpty() ? storedName(project) : stored.first()->Name());
    }
    return *it;
}

} // namespace veltrane::host::importing
