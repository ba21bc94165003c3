#include "support/recording_utilities.h"

namespace veltrane::test {

void RecordingUtilities::ReportError(const QString &applicationName, const QString &className,
                                     const QString &procedureName, const Error &error, const QString &extraText,
                                     bool display)
{
    reports.append(Report{applicationName, className, procedureName, error, extraText, display});
}

bool RecordingUtilities::ConfirmBreak(qint32 errorNumber)
{
    breakQuestions.append(errorNumber);
    if (breakAnswers <= 0)
        return false;
    --breakAnswers;
    return true;
}

} // namespace veltrane::test
