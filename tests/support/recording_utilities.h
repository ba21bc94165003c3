#pragma once

#include "veltrane/contracts/page_framework.h"

#include <QList>
#include <QString>

namespace veltrane::test {

// One call of FrameworkUtilities::ReportError, as received.
struct Report
{
    QString applicationName;
    QString className;
    QString procedureName;
    Error error;
    QString extraText;
    bool display = false;
};

// FrameworkUtilities that records every report and answers the debugging questions as told.
class RecordingUtilities : public FrameworkUtilities
{
public:
    void ReportError(const QString &applicationName, const QString &className, const QString &procedureName,
                     const Error &error, const QString &extraText, bool display) override;
    bool IsDebugging() const override { return debugging; }
    bool ConfirmBreak(qint32 errorNumber) override;

    QList<Report> reports;
    bool debugging = false;
    int breakAnswers = 0; // how many ConfirmBreak calls still answer yes
    QList<qint32> breakQuestions;
};

} // namespace veltrane::test
