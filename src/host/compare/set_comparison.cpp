#include "host/compare/set_comparison.h"

#include "veltrane/contracts/display_formats.h"
#include "veltrane/contracts/editor_texts.h"
#include "veltrane/contracts/vocabulary.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace veltrane::host {

namespace {

using editor::Tab;
namespace captions = editor::captions;

// Flags of a stored set that are no field of the editor, shown in the header with its name.
const QString kReadOnly = QStringLiteral("Read-only");
const QString kHidden = QStringLiteral("Hidden from lists");
const QString kNone = QStringLiteral("(none)");
const QString kArrow = QStringLiteral(" → ");

const QString &tabText(Tab tab)
{
    static const std::array<QString, editor::TabCount> texts = [] {
        std::array<QString, editor::TabCount> t;
        for (int i = 0; i < editor::TabCount; ++i)
            t[i] = editor::plainCaption(editor::tabCaption(Tab(i)));
        return t;
    }();
    return texts[tab];
}

// Rows of entry 0 carry the editor's captions; the editor shows no other entry, so rows of further
// entries (sets from other programs) say which they are.
QString entryCaption(const QString &caption, qint32 entry)
{
    const QString plain = editor::plainCaption(caption);
    return entry == 0 ? plain : QStringLiteral("%1 (entry %2)").arg(plain).arg(entry + 1);
}

QString percent(float value)
{
    return singleText(value) + QLatin1Char(' ') + captions::kPercent;
}

QString nameOr(const BusinessObject *object, const QString &none)
{
    return object ? object->Name() : none;
}

bool bySize(const FragAnalysisParam &s)
{
    return s.IDStandardBySize() == 1;
}

QString amountText(float quantity)
{
    const editor::AmountText amount = editor::splitAmount(quantity);
    return amount.mantissa + QLatin1Char(' ') + captions::kAmountPower + amount.power;
}

QString unitText(qint32 unit)
{
    const QStringList units = editor::unitNames();
    return unit >= 0 && unit < units.size() ? units.at(unit) : QString::number(unit);
}

QString coefficientRowText(const MobilityCalibrationSettings *calibration, int row)
{
    if (!calibration)
        return {};
    QStringList columns;
    for (qint16 c = 0; c < 4; ++c)
        columns << editor::coefficientText(calibration->Coefficient(qint16(row), c));
    return columns.join(QStringLiteral("  "));
}

QString strTagText(const STRLocusTag &tag)
{
    return QStringLiteral("%1, %2–%3")
        .arg(captions::dyeName(tag.Dye()), singleText(tag.MinSize()), singleText(tag.MaxSize()));
}

QString snpTagText(const SNPLocusTagSettings &tag)
{
    return QStringLiteral("%1; %2 / %3 / %4 / %5")
        .arg(singleText(tag.TagNumber()), tag.TagText1(), tag.TagText2(), tag.TagText3(), tag.TagText4());
}

// The key tags are matched by: trailing blanks and letter case do not count. Most names are plain
// lower-case ASCII already ("rs1490413"), which are their own keys.
QString tagKey(const QString &name)
{
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1) == QLatin1Char(' '))
        --end;
    bool plain = end == name.size();
    for (qsizetype i = 0; plain && i < end; ++i) {
        const char16_t c = name.at(i).unicode();
        plain = c < 0x80 && !(c >= u'A' && c <= u'Z');
    }
    return plain ? name : name.left(end).toCaseFolded();
}

// A tag of a set's list, with the key it is matched by.
struct Tag
{
    QString key;
    QString name;
    const BusinessObject *object = nullptr;
    const STRLocusTag *str = nullptr;         // one of these two, or neither for an item of another class
    const SNPLocusTagSettings *snp = nullptr; // (the store never lists one)
    qsizetype position = 0;                   // in the list: tags of one name keep their order
};

// Whether two tags of one name hold the same values (the time they were saved aside).
bool sameValues(const Tag &a, const Tag &b)
{
    if (a.object == b.object)
        return true;
    if (a.str && b.str)
        return a.str->Dye() == b.str->Dye() && a.str->MinSize() == b.str->MinSize() &&
               a.str->MaxSize() == b.str->MaxSize();
    if (a.snp && b.snp)
        return a.snp->TagNumber() == b.snp->TagNumber() && a.snp->TagTexts() == b.snp->TagTexts();
    return !a.str && !b.str && !a.snp && !b.snp;
}

// The calibration of an entry and the size standard whose fragments its peaks number.
struct Peaks
{
    const SizeCalibration *calibration = nullptr;
    const SizeStandardSettings *standard = nullptr;
};

Peaks peaksOf(const FragAnalysisParam *s, qint32 entry)
{
    Peaks p;
    if (!s || entry >= s->EntryCount())
        return p;
    const SizeCalibrationPtr c = s->SizeCalibration(entry);
    if (!c)
        return p;
    p.calibration = c.data();
    p.standard = c->SizeStandard() ? c->SizeStandard().data() : s->SizeStandard().data();
    return p;
}

class Builder
{
public:
    Builder(const FragAnalysisParam *left, const FragAnalysisParam *right, bool tagDetails)
        : m_left(left)
        , m_right(right)
        , m_tagDetails(tagDetails)
    {
        m_result.hasLeft = left != nullptr;
    }

    SetComparison take()
    {
        build();
        return std::move(m_result);
    }

private:
    // A field of the set: value answers its text for one side.
    template <typename F> void field(Tab tab, const QString &caption, F &&value)
    {
        add(ComparedField::Group::Field, tabText(tab), editor::plainCaption(caption), m_left != nullptr,
            m_right != nullptr, [&](const FragAnalysisParam &s) -> QString { return value(s); });
    }
    template <typename F> void header(const QString &caption, F &&value)
    {
        add(ComparedField::Group::Field, QString(), editor::plainCaption(caption), m_left != nullptr,
            m_right != nullptr, [&](const FragAnalysisParam &s) -> QString { return value(s); });
    }

    // A field of an entry: value answers its text for a side that has the entry.
    template <typename F> void entryField(Tab tab, const QString &caption, qint32 entry, F &&value)
    {
        add(ComparedField::Group::Field, tabText(tab), entryCaption(caption, entry), has(m_left, entry),
            has(m_right, entry), [&](const FragAnalysisParam &s) -> QString { return value(s, entry); });
    }

    static bool has(const FragAnalysisParam *s, qint32 entry) { return s && entry < s->EntryCount(); }

    template <typename F>
    void add(ComparedField::Group group, const QString &tab, const QString &caption, bool inLeft, bool inRight,
             F &&value)
    {
        ComparedField f;
        f.group = group;
        f.tab = tab;
        f.caption = caption;
        f.inLeft = inLeft;
        f.inRight = inRight;
        if (inLeft)
            f.left = value(*m_left);
        if (inRight)
            f.right = value(*m_right);
        finish(f);
    }

    void finish(ComparedField &f)
    {
        // Only two sets are compared; the rows of one set show what it holds and change nothing.
        f.changed = m_left && m_right && (f.inLeft != f.inRight || f.left != f.right);
        m_result.rows.append(std::move(f));
    }

    qint32 entries() const
    {
        return std::max<qint32>(m_left ? m_left->EntryCount() : 0, m_right ? m_right->EntryCount() : 0);
    }

    void build()
    {
        qsizetype tagCount = 0;
        for (const FragAnalysisParam *s : {m_left, m_right})
            for (qint32 e = 0; s && e < s->EntryCount(); ++e)
                tagCount += s->STRLocusTagsOf(e)->Count() + s->SNPLocusTagsOf(e)->Count();
        m_result.rows.reserve(128 + tagCount);
        header(captions::kParameterSetName, [](const FragAnalysisParam &s) -> QString { return s.Name(); });
        header(captions::kProject, [](const FragAnalysisParam &s) -> QString { return s.ProjectName(); });
        header(kReadOnly, [](const FragAnalysisParam &s) -> QString { return yesNo(s.isReadOnly()); });
        header(kHidden,
               [](const FragAnalysisParam &s) -> QString { return yesNo(s.Attributes() & limits::kHiddenBit); });

        for (qint32 e = 0; e < entries(); ++e) {
            entryField(editor::General, captions::kConfidenceLevel, e,
                       [](const FragAnalysisParam &s, qint32 i) -> QString { return percent(s.ConfidenceLevel(i)); });
            entryField(editor::General, captions::kIdentifyAlleles, e,
                       [](const FragAnalysisParam &s, qint32 i) -> QString { return yesNo(s.IdentifyAlleles(i)); });
            entryField(editor::General, captions::kRelativePeakHeight, e,
                       [](const FragAnalysisParam &s, qint32 i) -> QString {
                           return percent(s.RelativePeakHeightThreshold(i));
                       });
        }
        field(editor::General, captions::kSNPAnalysis,
              [](const FragAnalysisParam &s) -> QString { return yesNo(s.SNPAnalysis()); });
        field(editor::General, captions::kSlopeThreshold,
              [](const FragAnalysisParam &s) -> QString { return singleText(s.SlopeThreshold()); });

        buildAnalysisMethod();
        buildQuantitation();
        for (qint32 e = 0; e < entries(); ++e)
            tags(editor::STRLocusTags, ComparedField::Group::StrTag, e);
        for (qint32 e = 0; e < entries(); ++e)
            tags(editor::SNPLocusTags, ComparedField::Group::SnpTag, e);
        buildAdvanced();
    }

    void buildAnalysisMethod()
    {
        const auto standard = [](const FragAnalysisParam &s) { return s.SizeStandard().data(); };
        field(editor::AnalysisMethod, captions::kSizeStandard,
              [&](const FragAnalysisParam &s) -> QString { return nameOr(standard(s), stored::kNone); });
        field(editor::AnalysisMethod, captions::kDye, [&](const FragAnalysisParam &s) -> QString {
            return standard(s) ? captions::dyeName(standard(s)->DyeIndex()) : QString();
        });
        field(editor::AnalysisMethod, captions::kFitCoefficient, [&](const FragAnalysisParam &s) -> QString {
            return standard(s) ? singleText(standard(s)->FitCoefficient()) : QString();
        });
        for (qint32 e = 0; e < entries(); ++e) {
            entryField(editor::AnalysisMethod, captions::kModel, e,
                       [](const FragAnalysisParam &s, qint32 i) -> QString {
                           const SizeCalibrationPtr c = s.SizeCalibration(i);
                           if (!c)
                               return stored::kNoModel;
                           const qint32 model = c->ModelIndex();
                           return model >= 0 && model < SizeCalibration::kModelCount ? c->ModelName(model)
                                                                                     : QString::number(model);
                       });
            entryField(editor::AnalysisMethod, captions::kMigrationVariable, e,
                       [](const FragAnalysisParam &s, qint32 i) -> QString {
                           const SizeCalibrationPtr c = s.SizeCalibration(i);
                           if (!c)
                               return QString();
                           switch (c->MigrationVariable()) {
                           case 0:
                               return captions::kMigrationTime;
                           case 1:
                               return captions::kMobility;
                           default:
                               return QString::number(c->MigrationVariable());
                           }
                       });
            peaks(e);
        }
    }

    // One row per peak number of either side's size standard, its size and whether it is selected.
    void peaks(qint32 entry)
    {
        const Peaks left = peaksOf(m_left, entry);
        const Peaks right = peaksOf(m_right, entry);
        const auto count = [](const Peaks &p) -> qint32 {
            if (!p.calibration)
                return 0;
            qint32 n = p.standard ? p.standard->FragmentCount() : 0;
            for (qint16 peak : p.calibration->SelectedPeaks())
                n = std::max<qint32>(n, peak + 1);
            return n;
        };
        const auto text = [](const Peaks &p, qint32 index) -> std::optional<QString> {
            const bool fragment = p.standard && index < p.standard->FragmentCount();
            const bool selected = p.calibration->SelectedPeaks().contains(qint16(index));
            if (!fragment && !selected)
                return std::nullopt;
            const QString size = fragment ? singleText(p.standard->FragmentSize(index)) : kNone;
            return size + (selected ? QStringLiteral(", selected") : QStringLiteral(", not selected"));
        };
        const qint32 n = std::max(count(left), count(right));
        for (qint32 index = 0; index < n; ++index) {
            ComparedField f;
            f.group = ComparedField::Group::Peak;
            f.tab = tabText(editor::AnalysisMethod);
            f.caption = entryCaption(QStringLiteral("Peak %1").arg(index + 1), entry);
            const std::optional<QString> l = left.calibration ? text(left, index) : std::nullopt;
            const std::optional<QString> r = right.calibration ? text(right, index) : std::nullopt;
            f.inLeft = l.has_value();
            f.inRight = r.has_value();
            f.left = l.value_or(QString());
            f.right = r.value_or(QString());
            finish(f);
        }
    }

    void buildQuantitation()
    {
        field(editor::Quantitation, captions::kIDStandard,
              [](const FragAnalysisParam &s) -> QString { return bySize(s) ? captions::kSize : captions::kTime; });
        field(editor::Quantitation, captions::kCalculateUsing, [](const FragAnalysisParam &s) -> QString {
            return s.QuantityByHeight() == 1 ? captions::kHeight : captions::kArea;
        });
        // The column is headed "Size" or "Time" by the ID standard; the newer set's heading names it.
        const FragAnalysisParam *newer = m_right ? m_right : m_left;
        const QString heading = bySize(*newer) ? captions::kSize : captions::kTime;
        for (int i = 0; i < limits::kQuantitationRows; ++i) {
            const QString dye = captions::dyeName(i) + QLatin1Char(' ');
            field(editor::Quantitation, dye + heading,
                  [i](const FragAnalysisParam &s) -> QString { return singleText(s.QuantSizeTime(i)); });
            field(editor::Quantitation, dye + captions::kWindow, [i](const FragAnalysisParam &s) -> QString {
                return singleText(s.QuantWindow(i)) + (bySize(s) ? QStringLiteral(" nt") : QStringLiteral(" min"));
            });
            field(editor::Quantitation, dye + captions::kAmount,
                  [i](const FragAnalysisParam &s) -> QString { return amountText(s.QuantAmount(i)); });
            field(editor::Quantitation, dye + captions::kUnits,
                  [i](const FragAnalysisParam &s) -> QString { return unitText(s.QuantUnit(i)); });
        }
    }

    void buildAdvanced()
    {
        field(editor::Advanced, captions::kDyeSpectra, [](const FragAnalysisParam &s) -> QString {
            return s.UseCalculatedDyeSpectra() ? captions::kUseCalculatedDyeSpectra : captions::kUseSystemDyeSpectra;
        });
        for (int i = 0; i < limits::kQuantitationRows; ++i)
            field(editor::Advanced, captions::kDyeSpectra + QLatin1Char(' ') + captions::dyeName(i),
                  [i](const FragAnalysisParam &s) -> QString { return yesNo(s.DyeSpectra(i)); });
        field(editor::Advanced, captions::kDyeMobilityCalibration, [](const FragAnalysisParam &s) -> QString {
            return nameOr(s.DyeMobilityCalibration().data(), QString());
        });
        for (int r = 0; r < 4; ++r)
            field(editor::Advanced, captions::coefficientRow(r), [r](const FragAnalysisParam &s) -> QString {
                return coefficientRowText(s.DyeMobilityCalibration().data(), r);
            });
        field(editor::Advanced, captions::kStandardMobilityReference, [](const FragAnalysisParam &s) -> QString {
            return nameOr(s.StandardMobilityReference().data(), stored::kNone);
        });
    }

    // The tags of one list of both sides, matched by name: one row per tag, in the order of their keys.
    static std::vector<Tag> sortedTags(const FragAnalysisParam *s, Tab tab, qint32 entry)
    {
        std::vector<Tag> tags;
        if (!s || entry >= s->EntryCount())
            return tags;
        const CollectionPtr list = tab == editor::STRLocusTags ? s->STRLocusTagsOf(entry) : s->SNPLocusTagsOf(entry);
        tags.reserve(size_t(list->Count()));
        for (const QVariant &item : *list) {
            QObject *object = item.value<ObjectPtr>().data();
            Tag tag;
            if (tab == editor::STRLocusTags)
                tag.object = tag.str = qobject_cast<const STRLocusTag *>(object);
            else
                tag.object = tag.snp = qobject_cast<const SNPLocusTagSettings *>(object);
            if (!tag.object)
                tag.object = qobject_cast<const BusinessObject *>(object);
            if (!tag.object)
                continue;
            tag.name = tag.object->Name();
            tag.key = tagKey(tag.name);
            tag.position = qsizetype(tags.size());
            tags.push_back(std::move(tag));
        }
        std::sort(tags.begin(), tags.end(), [](const Tag &a, const Tag &b) {
            const int order = QString::compare(a.key, b.key);
            return order != 0 ? order < 0 : a.position < b.position;
        });
        return tags;
    }

    static QString details(const Tag &tag)
    {
        if (tag.str)
            return strTagText(*tag.str);
        if (tag.snp)
            return snpTagText(*tag.snp);
        return kTagListed;
    }

    void tags(Tab tab, ComparedField::Group group, qint32 entry)
    {
        const std::vector<Tag> left = sortedTags(m_left, tab, entry);
        const std::vector<Tag> right = sortedTags(m_right, tab, entry);
        const QString &tabName = tabText(tab);
        const bool oneSide = !m_left || !m_right;
        size_t l = 0, r = 0;
        while (l < left.size() || r < right.size()) {
            ComparedField f;
            f.group = group;
            f.tab = tabName;
            const int order = l >= left.size()    ? 1
                              : r >= right.size() ? -1
                                                  : QString::compare(left[l].key, right[r].key);
            const Tag *a = order <= 0 ? &left[l++] : nullptr;
            const Tag *b = order >= 0 ? &right[r++] : nullptr;
            // A tag's name is its caption as it stands ("&" and ":" are part of some names).
            const QString &name = (b ? b : a)->name;
            f.caption = entry == 0 ? name : QStringLiteral("%1 (entry %2)").arg(name).arg(entry + 1);
            f.inLeft = a != nullptr;
            f.inRight = b != nullptr;
            if (a && b) {
                // A tag on both sides shows its values only where they differ.
                if (a->name == b->name && sameValues(*a, *b)) {
                    f.left = f.right = kTagListed;
                } else {
                    const QString da = details(*a), db = details(*b);
                    f.left = a->name == b->name ? da : a->name + QStringLiteral(": ") + da;
                    f.right = a->name == b->name ? db : b->name + QStringLiteral(": ") + db;
                }
            } else {
                const QString shown = oneSide && m_tagDetails ? details(a ? *a : *b) : kTagListed;
                (a ? f.left : f.right) = shown;
            }
            finish(f);
        }
    }

    const FragAnalysisParam *m_left;
    const FragAnalysisParam *m_right;
    bool m_tagDetails;
    SetComparison m_result;
};

QString shortened(const QString &value)
{
    if (value.isEmpty())
        return kNone;
    constexpr qsizetype kLongest = 40;
    return value.size() <= kLongest ? value : value.left(kLongest - 1) + QChar(0x2026);
}

} // namespace

QString ComparedField::place() const
{
    return tab.isEmpty() ? caption : tab + QStringLiteral(" / ") + caption;
}

QString newSetSummary(const QString &sizeStandard, qsizetype strTags, qsizetype snpTags)
{
    return QStringLiteral("new set: size standard %1, %2 STR and %3 SNP locus tags")
        .arg(sizeStandard)
        .arg(strTags)
        .arg(snpTags);
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

qsizetype SetComparison::changedCount() const
{
    return std::count_if(rows.cbegin(), rows.cend(), [](const ComparedField &f) { return f.changed; });
}

QList<ComparedField> SetComparison::differences() const
{
    QList<ComparedField> out;
    for (const ComparedField &f : rows)
        if (f.changed)
            out.append(f);
    return out;
}

QString SetComparison::summary() const
{
    if (!hasLeft) {
        // What a new set holds, in the words of the selection page's summary.
        QString standard;
        qsizetype str = 0, snp = 0;
        for (const ComparedField &f : rows) {
            if (f.group == ComparedField::Group::StrTag && f.inRight)
                ++str;
            else if (f.group == ComparedField::Group::SnpTag && f.inRight)
                ++snp;
            else if (f.tab.isEmpty() == false && f.caption == editor::plainCaption(captions::kSizeStandard))
                standard = f.right;
        }
        return newSetSummary(standard, str, snp);
    }
    QStringList items;
    // Peaks and tags are counted per tab: a long list changes as one item of the line.
    struct Counts
    {
        QString tab;
        ComparedField::Group group;
        int added = 0, removed = 0, changed = 0;
    };
    QList<Counts> groups;
    for (const ComparedField &f : rows) {
        if (!f.changed)
            continue;
        if (f.group == ComparedField::Group::Field) {
            items << f.caption + QStringLiteral(": ") + shortened(f.left) + kArrow + shortened(f.right);
            continue;
        }
        auto it = std::find_if(groups.begin(), groups.end(),
                               [&](const Counts &c) { return c.tab == f.tab && c.group == f.group; });
        if (it == groups.end()) {
            groups.append(Counts{f.tab, f.group});
            it = groups.end() - 1;
        }
        if (f.group == ComparedField::Group::Peak)
            ++it->changed;
        else
            ++(f.inLeft && f.inRight ? it->changed : f.inRight ? it->added : it->removed);
    }
    for (const Counts &c : std::as_const(groups)) {
        if (c.group == ComparedField::Group::Peak) {
            items << editor::plainCaption(captions::kSelectedPeaks) +
                         QStringLiteral(": %1 peak%2 changed").arg(c.changed).arg(c.changed == 1 ? "" : "s");
            continue;
        }
        QStringList parts;
        if (c.added)
            parts << QStringLiteral("%1 added").arg(c.added);
        if (c.removed)
            parts << QStringLiteral("%1 removed").arg(c.removed);
        if (c.changed)
            parts << QStringLiteral("%1 changed").arg(c.changed);
        items << c.tab + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
    }
    constexpr qsizetype kNamed = 4;
    if (items.size() > kNamed) {
        const qsizetype rest = items.size() - (kNamed - 1);
        items.resize(kNamed - 1);
        items << QStringLiteral("%1 more changes").arg(rest);
    }
    return items.join(QStringLiteral("; "));
}

SetComparison compareSets(const FragAnalysisParam &left, const FragAnalysisParam &right)
{
    return Builder(&left, &right, false).take();
}

SetComparison describeSet(const FragAnalysisParam &set)
{
    return Builder(&set, nullptr, true).take();
}

SetComparison describeNewSet(const FragAnalysisParam &set)
{
    SetComparison c = Builder(nullptr, &set, true).take();
    c.hasLeft = false;
    return c;
}

} // namespace veltrane::host
