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

    // What a test sees instead of message boxes.
    struct Report
    {
        QString applicationName;
        QString className;
        QString procedureName;
        veltrane::Error error;
        QString extraText;
        bool display = false;
    };
    struct Box
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
    };
    struct TestHook
    {
        QList<Report> reports; // every report, shown or not
        QList<Box> boxes;      // every box that would have been shown
        // Answers a box; unset: the box's default answer (No for a question, OK otherwise).
        std::function<QMessageBox::StandardButton(const Box &box)> answer;
    };
    // While a hook is installed, nothing is shown: reports and boxes are recorded in it.
    static void setTestHook(std::shared_ptr<TestHook> hook);
    static std::shared_ptr<TestHook> testHook();

private:
    static QMessageBox::StandardButton showBox(const Box &box, QMessageBox::StandardButton defaultButton);
};

} // namespace veltrane::host
