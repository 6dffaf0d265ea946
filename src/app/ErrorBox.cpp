#include "app/ErrorBox.h"

#include <QMessageBox>

namespace pelandor {

void showErrorBox(QWidget *parent, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Pelandor"), errorBoxText(message), QMessageBox::Ok, parent);
    box.exec();
}

} // namespace pelandor
