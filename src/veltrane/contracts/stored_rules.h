#pragma once

// The rules stored names and parameter sets follow, shared by the store (which refuses names that
// break them, whoever writes, and imports that break any) and the pages and commands (which can say
// so, and name what a stored set holds out of rule).

#include "veltrane/contracts/business_objects.h"

#include <QString>
#include <optional>

namespace veltrane {

// Why the name of a stored object (a parameter set, a size standard, a tag, a project, ...) cannot be
// stored, or nothing when it can. A name may hold any printable text in any script, blanks
// included, but none of these, which would let one name pass for another or break the screen it is
// shown on:
// - control characters (NUL, line breaks, escape sequences) and line or paragraph separators;
// - invisible formatting characters (zero-width spaces and joiners, direction overrides, byte order
//   marks) and spaces other than the ordinary one (no-break and other typographic spaces);
// - text that is not valid Unicode (a lone half of a surrogate pair, a noncharacter);
// - a word that mixes Latin letters with Cyrillic or Greek ones, which look alike ("Dеfault" with a
//   Cyrillic "е"); words wholly in any one script are fine.
// Emptiness is the store's own rule and is not judged here.
std::optional<QString> nameFault(const QString &name);

// Text as it can safely be shown on a terminal or in a message: control and invisible characters and
// broken Unicode written as escapes (\x1B, \u200B), everything else as it is.
QString printable(const QString &text);

// One value of a stored parameter set that the editor would never have saved.
struct RuleBreak
{
    enum class Part { Set, Entry, Calibration };
    Part part = Part::Set;
    QString field;     // the property: "ConfidenceLevel", "QuantSizeTime", "SelectedPeaks", "EntryCount"
    qint32 entry = -1; // the size-calling entry, for the fields of an entry and of its calibration
    qint32 index = -1; // the row of a quantitation field, the position of a selected peak
    QString problem;   // "is 1000, not from 0 to 4"

    // Where the value is, for people: "QuantSizeTime(2)", "ConfidenceLevel(0)", "ModelIndex of the
    // calibration of entry 0".
    QString where() const;
    // "ModelIndex of the calibration of entry 0 is 1000, not from 0 to 4"
    QString text() const { return where() + QLatin1Char(' ') + problem; }
};

// The values of the set the editor's rules refuse, in the order of its fields: the ranges of
// veltrane::limits, a size or time greater than its window, whole-number choices within their lists
// (calibration model, migration variable, units, kinds, options), at least one size-calling entry, and selected peaks
// within the entry's size standard, once each and as many as the model needs. Sizes of a size standard count only when
// the set's objects carry them.
QList<RuleBreak> ruleBreaks(const FragAnalysisParam &settings);

} // namespace veltrane
