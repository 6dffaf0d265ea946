#include "fileops/FolderChooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "fileops/FileOperationTexts.h"

namespace pelandor {

namespace {

QString choose(QWidget *parent, const QString &title, const QString &startFolder)
{
    const QString start = !startFolder.isEmpty() && QFileInfo(startFolder).isDir() ? startFolder : QDir::homePath();
    return QFileDialog::getExistingDirectory(parent, title, start);
}

} // namespace

QString FolderChooser::chooseCopyDestination(QWidget *parent, const QString &startFolder)
{
    return choose(parent, FileOperationTexts::copyChooserTitle(), startFolder);
}

QString FolderChooser::chooseMoveDestination(QWidget *parent, const QString &startFolder)
{
    return choose(parent, FileOperationTexts::moveChooserTitle(), startFolder);
}

} // namespace pelandor
