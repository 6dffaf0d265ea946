#include "app/MessageBoxSink.h"

#include <QMessageBox>
#include <QWidget>

namespace pelandor {

MessageBoxSink::MessageBoxSink(QWidget *owner)
    : QObject(owner)
    , m_owner(owner)
{
}

void MessageBoxSink::showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Pelandor"), text, QMessageBox::Ok, m_owner);
    box.exec();
}

} // namespace pelandor
