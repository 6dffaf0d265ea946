#include "tools/RegistryDeleteQuestion.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace pelandor {

QString RegistryDeleteQuestion::Caption()
{
    return QCoreApplication::translate("RegistryDeleteQuestion", "レジストリ情報の削除");
}

QString RegistryDeleteQuestion::Text()
{
    return QCoreApplication::translate("RegistryDeleteQuestion", "レジストリ情報を削除します。\nこの処理はソフトをアンインストールするときのみ行って下さい。");
}

bool RegistryDeleteQuestion::Ask(QWidget *parent)
{
    QMessageBox box(QMessageBox::NoIcon, Caption(), Text(), QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() != QMessageBox::Cancel;
}

} // namespace pelandor
