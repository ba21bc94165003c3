#pragma once

#include "veltrane/contracts/page_framework.h"

#include <QList>
#include <QMessageBox>
#include <QString>
#include <functional>
#include <memory>

namespace veltrane::host {

// The framework's helpers for pages and the error trap.
//
// ReportError logs every report (category "veltrane.framework") and, when the display flag is set,
// shows it in a message box titled with the application name. IsDebugging is true when the
// environment variable VELTRANE_DEBUG is "1"; ConfirmBreak then asks Yes/No. KeyExists and
// SelectComboItem are those of the contract.
class HostUtilities : public veltrane::FrameworkUtilities
{
public:
    void ReportError(const QString &applicationName, const QString &className, const QString &procedureName,
                     const veltrane::Error &error, const QString &extraText, bool display) override;
    bool IsDebugging() const override;
    bool ConfirmBreak(qint32 errorNumber) override;

    // The message a report shows: description, then class, procedure, number, source and extra text.
    static QString reportText(const QString &className, const QString &procedureName, const veltrane::Error &error,
                              const QString &extraText);
    // Application-defined numbers (hexadecimal 8004xxxx and other negative numbers) in hexadecimal,
    // the platform's run-time error numbers in decimal.
    static QString numberText(qint32 number);

    using Report = veltrane::ErrorReport;
    struct Box
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
    };
    // What is recorded instead of shown, when nobody is there to see message boxes.
    struct Capture
    {
        QList<Report> reports; // every report, shown or not
        QList<Box> boxes;      // every box that would have been shown
        // Answers a box; unset: the box's default answer (No for a question, OK otherwise).
        std::function<QMessageBox::StandardButton(const Box &box)> answer;
    };
    // While a capture is installed nothing is shown: reports and boxes are recorded in it instead.
    // Unattended runs (the command line) and tests install one.
    static void setCapture(std::shared_ptr<Capture> capture);
    static std::shared_ptr<Capture> capture();

private:
    static QMessageBox::StandardButton showBox(const Box &box, QMessageBox::StandardButton defaultButton);
};

} // namespace veltrane::host
