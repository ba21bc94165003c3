#pragma once

// The rules stored names and parameter sets follow, shared by the store (which refuses names that
// break them, whoever writes, and imports that break any) and the pages and commands (which can say
// so, and name what a stored set holds out of rule).

#include "veltrane/contracts/business_objects.h"

#include <QString>
#include <optional>

namespace veltrane {

// The form a name is stored and compared in: composed (NFC), so that one text typed in two Unicode
// forms ("Café" with its accent as a mark of its own, or as part of its letter) is one name.
QString storedName(const QString &name);

// Why the name of a stored object (a parameter set, a size standard, a tag, a project, ...) cannot be
// stored, or nothing when it can; the name is judged as storedName() makes it. A name may hold any
// printable text in any script, blanks included, up to limits::kNameLength characters, but none of
// these, which would let one name pass for another or break the screen it is shown on:
// - control characters (NUL, line breaks, escape sequences) and line or paragraph separators;
// - invisible characters: formatting ones (zero-width spaces and joiners, direction overrides, byte
//   order marks) and every other character Unicode lets a screen leave out (variation selectors, the
//   combining grapheme joiner, Hangul fillers, tags), and spaces other than the ordinary one (no-break
//   and other typographic spaces);
// - text that is not valid Unicode (a lone half of a surrogate pair, a noncharacter) or characters
//   Unicode has not assigned yet;
// - a word that mixes Latin letters with Cyrillic or Greek ones, which look alike ("Dеfault" with a
//   Cyrillic "е"); words wholly in any one script are fine.
// Emptiness is the store's own rule and is not judged here.
std::optional<QString> nameFault(const QString &name);

// Why a stored text other than a name (an SNP locus tag's texts, a calibration's name, a project name a
// set carries) cannot be stored, or nothing when it can: it may hold any printable text of up to
// limits::kTextLength characters, but no control characters, line or paragraph separators, byte order
// marks, or text that is not valid Unicode.
std::optional<QString> textFault(const QString &text);

// Text as it can safely be shown on a terminal or in a message: control and invisible characters and
// broken Unicode written as escapes (\x1B, \u200B), everything else as it is.
QString printable(const QString &text);

// One value of a stored parameter set that the editor would never have saved.
struct RuleBreak
{
    // The set itself, one of its size-calling entries or an entry's calibration; or a definition (a size
    // standard, a dye mobility calibration, a locus tag) judged on its own.
    enum class Part { Set, Entry, Calibration, Definition };
    Part part = Part::Set;
    QString field;     // the property: "ConfidenceLevel", "QuantSizeTime", "SelectedPeaks", "EntryCount"
    qint32 entry = -1; // the size-calling entry, for the fields of an entry and of its calibration
    qint32 index = -1; // the row of a quantitation field, the position of a selected peak, a fragment or a
                       // tag in its list, a mobility coefficient (row * 4 + column)
    QString problem;   // "is 1000, not from 0 to 4"

    // Where the value is, for people: "QuantSizeTime(2)", "ConfidenceLevel(0)", "ModelIndex of the
    // calibration of entry 0", "Coefficient(1, 2)".
    QString where() const;
    // "ModelIndex of the calibration of entry 0 is 1000, not from 0 to 4"
    QString text() const { return where() + QLatin1Char(' ') + problem; }
};

// The values of the set the editor's rules refuse, in the order of its fields: the ranges of
// veltrane::limits, a size or time greater than its window, whole-number choices within their lists
// (calibration model, migration variable, units, kinds, options), at least one size-calling entry,
// selected peaks within the entry's size standard, once each and as many as the model needs, and the
// combinations the editor makes: STR allele identification and SNP analysis not both, a first entry
// with a calibration exactly when the set has a size standard (the same one), and each locus tag listed
// once by an entry. Sizes of a size standard count only when the set's objects carry them.
QList<RuleBreak> ruleBreaks(const FragAnalysisParam &settings);

// The values of a definition the pages could not work with: numbers that are not finite, a dye beyond
// the four, a size standard with fewer fragments than the simplest
// model needs or fragments not ascending (each larger than the one before), a fit coefficient outside 0
// to 1, an STR locus tag whose smallest size exceeds its largest. Each break is of Part::Definition.
QList<RuleBreak> ruleBreaks(const SizeStandardSettings &standard);
QList<RuleBreak> ruleBreaks(const MobilityCalibrationSettings &calibration);
QList<RuleBreak> ruleBreaks(const STRLocusTag &tag);
QList<RuleBreak> ruleBreaks(const SNPLocusTagSettings &tag);

} // namespace veltrane
