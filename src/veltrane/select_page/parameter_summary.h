#pragma once

#include "veltrane/contracts/business_objects.h"

#include <QList>
#include <QString>

namespace veltrane {

// One locus tag line of the summary: name and date modified.
struct LocusTagLine
{
    QString name;
    QString dateModified;
};

// What the selection page shows of a parameter set, read one value at a time so that a page can
// show each value as soon as it is read: project, date modified, size standard ("[None]" when
// none), model ("None" when the first entry has no calibration), dye mobility calibration, and the
// locus tags of the first entry (STR tags first, then SNP tags). Each read may raise an Error.
QString summaryProject(const AnalysisParameter &set);
QString summaryDateModified(const AnalysisParameter &set);
QString summaryCalibration(const AnalysisParameter &set);
QString summaryStandard(const AnalysisParameter &set);
bool summaryHasEntries(const AnalysisParameter &set); // model and tags are shown only when true
QString summaryModel(const AnalysisParameter &set);
QList<LocusTagLine> summaryLocusTags(const AnalysisParameter &set);

// The whole summary at once (the command line's "show").
struct ParameterSummary
{
    QString project;
    QString dateModified;
    QString standard;
    QString model; // empty when the set has no size-calling entry
    QString calibration;
    bool hasEntries = false;
    QList<LocusTagLine> tags;
};

ParameterSummary summarizeParameterSet(const AnalysisParameter &set);

} // namespace veltrane
