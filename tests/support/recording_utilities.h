#pragma once

#include "veltrane/contracts/page_framework.h"

#include <QList>
#include <QString>

namespace veltrane::test {

using Report = ErrorReport;

// The error a call raises, or an error numbered 0 saying that none was raised.
template <typename F>
Error errorOf(F &&call)
{
    try {
        call();
    } catch (const Error &e) {
        return e;
    }
    return Error(0, QStringLiteral("test"), QStringLiteral("no error was raised"));
}

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
