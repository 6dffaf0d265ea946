#include "fileops/FolderChooser.h"

#include <QDir>
#include <QFileDialog>

#include "fileops/FileOperationTexts.h"

namespace pelandor {

namespace {

QString choose(QWidget *parent, const QString &title)
{
    return QFileDialog::getExistingDirectory(parent, title, QDir::homePath());
}

} // namespace

QString FolderChooser::chooseCopyDestination(QWidget *parent)
{
    return choose(parent, FileOperationTexts::copyChooserTitle());
}

QString FolderChooser::chooseMoveDestination(QWidget *parent)
{
    return choose(parent, FileOperationTexts::moveChooserTitle());
}

} // namespace pelandor
