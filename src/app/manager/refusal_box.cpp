#include "app/manager/refusal_box.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace veltrane::app {

void showRefusal(QWidget *parent, const QString &why)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::translate("veltrane::app::Refusal", "Not Done"), why,
                    QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("msgRefused"));
    box.setTextFormat(Qt::PlainText); // set names are the user's own text
    // The one button is the escape button too, so Escape closes the box as Enter does.
    QPushButton *ok =
        box.addButton(QCoreApplication::translate("veltrane::app::Refusal", "&OK"), QMessageBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOk"));
    box.setDefaultButton(ok);
    box.exec();
}

} // namespace veltrane::app
