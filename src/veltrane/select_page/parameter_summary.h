#pragma once

#include "veltrane/contracts/business_objects.h"

#include <QList>
#include <QString>

namespace veltrane {

// What the selection page shows of a parameter set: project, date modified, size standard
// ("[None]" when none), model ("None" when the first entry has no calibration), dye mobility
// calibration, and the locus tags of the first entry (STR tags first, then SNP tags).
struct ParameterSummary
{
    struct TagRow
    {
        QString name;
        QString dateModified;
    };

    QString project;
    QString dateModified;
    QString standard;
    QString model; // empty when the set has no size-calling entry
    QString calibration;
    bool hasEntries = false;
    QList<TagRow> tags;
};

ParameterSummary summarizeParameterSet(const AnalysisParameter &set);

} // namespace veltrane
