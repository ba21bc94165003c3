#include "host/objects/json_import_steps.h"

// The editor's rules over what a file brings, each value out of rule refused at its place in the file.

namespace veltrane::host::importing {

namespace {

// The place in the file of a value a rule refuses.
QString pathOf(const QString &setPath, const RuleBreak &b)
{
    const QString entry = item(child(setPath, kinds::kEntriesLabel), b.entry);
    switch (b.part) {
    case RuleBreak::Part::Set:
        if (const auto *f = kinds::sets().field(b.field, b.index))
            return child(setPath, f->path);
        for (const auto &reference : kinds::sets().references)
            if (reference.property == b.field)
                return child(setPath, reference.label);
        return child(setPath, kinds::kEntriesLabel);
    case RuleBreak::Part::Entry:
        for (const kinds::ChildList *tags : {&kinds::strTagLinks(), &kinds::snpTagLinks()})
            if (b.field.compare(tags->label, Qt::CaseInsensitive) == 0)
                return item(child(entry, tags->label), b.index);
        return child(entry, kinds::entries().field(b.field)->path);
    case RuleBreak::Part::Calibration: {
        const QString calibration = child(entry, kinds::kCalibrationLabel);
        if (const auto *f = kinds::entryCalibrations().field(b.field))
            return child(calibration, f->path);
        const QString peaks = child(calibration, kinds::selectedPeaks().label);
        return b.index < 0 ? peaks : item(peaks, b.index);
    }
    case RuleBreak::Part::Definition:
        break;
    }
    return setPath;
}

// The place in the file of a definition's value a rule refuses (a fragment, a coefficient, a field).
template <typename T> QString definitionPath(const kinds::Descriptor<T> &d, const QString &path, const RuleBreak &b)
{
    if (const auto *f = d.field(b.field, b.index))
        return child(path, f->path);
    if (b.field == QLatin1String("FragmentSizes"))
        return b.index < 0 ? child(path, kinds::fragments().label)
                           : item(child(path, kinds::fragments().label), b.index);
    return path;
}

// Definitions take values the pages can work with (see ruleBreaks()), each refused at its place.
template <typename T>
void judgeDefinitions(const Reader &r, const kinds::Descriptor<T> &d, const QList<Defined<T>> &defined)
{
    for (const auto &[path, object] : defined) {
        const QList<RuleBreak> breaks = ruleBreaks(*object);
        if (!breaks.isEmpty())
            r.fail(definitionPath(d, path, breaks.first()), breaks.first().problem);
    }
}
} // namespace

void judgeDefinitions(const Reader &r, const Parsed &parsed)
{
    judgeDefinitions(r, kinds::sizeStandards(), parsed.sizeStandards);
    judgeDefinitions(r, kinds::mobilityCalibrations(), parsed.calibrations);
    judgeDefinitions(r, kinds::strTags(), parsed.strTags);
    judgeDefinitions(r, kinds::snpTags(), parsed.snpTags);
}

Judge::Judge(const Reader &r, const io::Context &ctx, const Parsed &parsed)
    : m_reader(r)
    , m_ctx(ctx)
{
    for (const auto &[path, s] : parsed.sizeStandards)
        m_standards.insert(nameKey(s->Name()), s);
}

void Judge::judge(const ParsedSet &set)
{
    FragAnalysisParam &s = *set.file.settings;
    for (qint32 e = 0; e < s.EntryCount(); ++e)
        if (const SizeCalibrationPtr c = s.SizeCalibration(e); c && c->SizeStandard())
            c->setSizeStandard(standardNamed(c->SizeStandard()->Name()));
    const QList<RuleBreak> breaks = ruleBreaks(s);
    if (!breaks.isEmpty())
        m_reader.fail(pathOf(set.path, breaks.first()), breaks.first().problem);
}

SizeStandardSettingsPtr Judge::standardNamed(const QString &name)
{
    const QString key = nameKey(name);
    if (!m_standards.contains(key)) {
        const QList<SizeStandardPtr> stored = io::sizeStandards(m_ctx, io::Filter::byName(name));
        m_standards.insert(key, stored.isEmpty() ? SizeStandardSettingsPtr() : stored.first()->Data());
    }
    return m_standards.value(key);
}

} // namespace veltrane::host::importing
