#pragma once

// Internal to the exchange format: each stored kind as an object of an exchange file, and back.

#include "host/objects/exchange_values.h"

#include <QHash>

namespace veltrane::host::exchange {

QJsonObject toJson(const Project &project);
QJsonObject toJson(const SizeStandardSettings &standard);
QJsonObject toJson(const MobilityCalibrationSettings &calibration);
QJsonObject toJson(const SizeCalibration &reference); // a standard mobility reference
QJsonObject toJson(const STRLocusTag &tag);
QJsonObject toJson(const SNPLocusTagSettings &tag);
// The calibration of a size-calling entry with its selected peaks, its size standard written as
// sizeStandard (a name, or null); null for an entry without one.
QJsonValue calibrationJson(const SizeCalibration *calibration, const QJsonValue &sizeStandard);
// A set names its project (by the store's project IDs in projectNames) and what it refers to.
QJsonObject toJson(const FragAnalysisParam &set, const QHash<qint32, QString> &projectNames);

// Definitions and tags as a file holds them; a name must not be empty.
ProjectPtr readProject(const Reader &r, const QJsonObject &o, const QString &path);
SizeStandardSettingsPtr readSizeStandard(const Reader &r, const QJsonObject &o, const QString &path);
MobilityCalibrationSettingsPtr readMobilityCalibration(const Reader &r, const QJsonObject &o, const QString &path);
SizeCalibrationPtr readMobilityReference(const Reader &r, const QJsonObject &o, const QString &path);
STRLocusTagPtr readStrTag(const Reader &r, const QJsonObject &o, const QString &path);
SNPLocusTagSettingsPtr readSnpTag(const Reader &r, const QJsonObject &o, const QString &path);

// A set of a file: every field, with stand-ins for what it refers to (reported through refersTo).
struct FileSet
{
    FragAnalysisParamPtr settings;
    std::optional<QString> project; // the project's name, when the file names one
};
FileSet readSet(const Reader &r, const QJsonObject &o, const QString &path, QList<ReferenceAt> &refersTo);

} // namespace veltrane::host::exchange
