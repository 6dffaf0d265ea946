#include "fileops/FileCommandServices.h"

#include <QGuiApplication>

#include "fileops/FileOperationDialogs.h"
#include "fileops/FolderChooser.h"

namespace pelandor {

FileCommandServices FileCommandServices::standard()
{
    FileCommandServices services;
    services.chooseFolder = [](QWidget *parent, Operation operation, const QString &startFolder) {
        return operation == Operation::Move ? FolderChooser::chooseMoveDestination(parent, startFolder)
                                    : FolderChooser::chooseCopyDestination(parent, startFolder);
    };
    services.questions = [](QWidget *parent) -> std::unique_ptr<FileOperationQuestions> {
        return std::make_unique<FileOperationDialogs>(parent);
    };
    services.keys = [] { return QGuiApplication::queryKeyboardModifiers(); };
    return services;
}

} // namespace pelandor
