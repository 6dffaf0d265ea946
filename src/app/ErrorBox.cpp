#include "app/ErrorBox.h"

#include <QMessageBox>

namespace pelandor {

QString errorBoxText(const QString &message)
{
    if (message.isEmpty() || message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

void showErrorBox(QWidget *parent, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Pelandor"), errorBoxText(message), QMessageBox::Ok, parent);
    box.exec();
}

} // namespace pelandor
