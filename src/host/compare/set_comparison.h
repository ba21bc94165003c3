#pragma once

// Two parameter sets side by side, field by field, in the editor's language: each row names the
// editor's tab and the field's caption ("Analysis Method", "Model") and shows both values as the editor
// shows them (amounts as mantissa and power, mobility coefficients with six decimals, ...). Size
// standard peaks come one row per peak number with its size; locus tags one row per tag name, so that
// added and removed tags are rows with one side empty.
//
// The sets are whole objects, as the store answers a stored set or a revision of one: the size standard
// with its fragments, the calibration with its coefficients, the tags with their values. Nothing here
// needs a store or widgets; the command line and the windows read the same rows.

#include "veltrane/contracts/business_objects.h"

#include <QList>
#include <QString>

namespace veltrane::host {

struct ComparedField
{
    // What a row stands for; rows of one group are counted together in a summary.
    enum class Group { Field, Peak, StrTag, SnpTag };

    Group group = Group::Field;
    QString tab;     // the editor's tab without its access key ("Analysis Method"); empty for the header
    QString caption; // the field's caption without ":" ("Model"), a peak ("Peak 3"), a tag's name
    QString left;    // the value in the left (older) set; empty where that set has none
    QString right;
    bool inLeft = true; // whether the set has the row at all (a peak of its size standard, a tag it lists)
    bool inRight = true;
    bool changed = false;

    // "Analysis Method / Model"
    QString place() const;
};

// What a present locus tag shows when its definition is the same on both sides.
inline const QString kTagListed = QStringLiteral("listed");

struct SetComparison
{
    QList<ComparedField> rows; // in the editor's order: header, General, Analysis Method, ..., Advanced
    bool hasLeft = true;       // false when the comparison describes a set that has no predecessor

    qsizetype changedCount() const;
    QList<ComparedField> differences() const;
    // One line saying what changed from left to right ("Slope threshold: 10 → 12; SNP Locus Tags: 3
    // added"); a few changes are named, the rest counted. Empty when nothing differs. Without a left
    // set: what the right one holds ("new set: 32 STR and 0 SNP locus tags").
    QString summary() const;
};

// Compares left (the older, or the first named) with right. A size standard's fragments and tags are
// matched by number and by name (letter case and trailing blanks aside).
SetComparison compareSets(const FragAnalysisParam &left, const FragAnalysisParam &right);

// The rows of one set (left only), every tag with its values: what a set holds, in the editor's terms.
SetComparison describeSet(const FragAnalysisParam &set);

// A set that has no predecessor (the first revision): its rows on the right, and a summary saying what
// it holds.
SetComparison describeNewSet(const FragAnalysisParam &set);

// The summary of a set that has no predecessor: "new set: size standard X, 32 STR and 0 SNP locus tags".
QString newSetSummary(const QString &sizeStandard, qsizetype strTags, qsizetype snpTags);

// Yes and no as rows show a check box or a flag.
QString yesNo(bool value);

} // namespace veltrane::host
