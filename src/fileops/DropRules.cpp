#include "fileops/DropRules.h"

#include <QCoreApplication>
#include <QList>
#include <QMimeData>
#include <QUrl>

#include "fileops/FileOperationTexts.h"
#include "fileops/ShellOperationCodes.h"
#include "platform/NativeName.h"

namespace pelandor {

namespace {

const QString OwnFormat = QStringLiteral("application/x-pelandor-selection");

// Tells this process's drags from another Pelandor's.
QByteArray ownMark() { return QByteArray::number(QCoreApplication::applicationPid()); }

} // namespace

bool DropRules::dragMayStart(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool onItem)
{
    return button == Qt::LeftButton && onItem && !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier));
}

bool DropRules::copyMode(Qt::KeyboardModifiers modifiers) { return modifiers.testFlag(Qt::ControlModifier); }

bool DropRules::modeChanges(bool dragCopyMode, Qt::KeyboardModifiers modifiers)
{
    return copyMode(modifiers) != dragCopyMode;
}

bool DropRules::accepts(Site site) { return site != Site::Elsewhere; }

DropRules::Action DropRules::drop(Site site, const QString &targetFolder, bool dragCopyMode)
{
    Action action;
    switch (site) {
    case Site::FolderTree:
        if (targetFolder.isEmpty())
            return action;
        action.kind = Action::Transfer;
        action.operation = dragCopyMode ? FO_COPY : FO_MOVE;
        action.destination = targetFolder;
        action.progressTitle
            = dragCopyMode ? FileOperationTexts::copyProgressTitle() : FileOperationTexts::moveProgressTitle();
        return action;
    case Site::DriveCombo:
        action.kind = dragCopyMode ? Action::RunCopyCommand : Action::RunMoveCommand;
        return action;
    case Site::Elsewhere:
        break;
    }
    return action;
}

QMimeData *DropRules::mimeData(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QString &path : paths) {
        // A name that is not UTF-8 travels as its percent-encoded bytes, so
        // the program taking the drop finds the very file.
        const QByteArray bytes = NativeName::encode(path);
        if (bytes == path.toUtf8())
            urls.append(QUrl::fromLocalFile(path));
        else
            urls.append(QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/")));
    }
    data->setUrls(urls);
    data->setData(OwnFormat, ownMark());
    return data;
}

bool DropRules::isOwnDrag(const QMimeData *data)
{
    return data && data->data(OwnFormat) == ownMark();
}

} // namespace pelandor
