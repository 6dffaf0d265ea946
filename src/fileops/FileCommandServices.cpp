#include "fileops/FileCommandServices.h"

#include <QGuiApplication>

#include "fileops/FileOperationRunner.h"
#include "fileops/FolderChooser.h"

namespace pelandor {

FileCommandServices FileCommandServices::standard()
{
    FileCommandServices services;
    services.chooseFolder = [](QWidget *parent, int operation) {
        return operation == FO_MOVE ? FolderChooser::chooseMoveDestination(parent)
                                    : FolderChooser::chooseCopyDestination(parent);
    };
    services.run = &FileOperationRunner::run;
    services.keys = [] { return QGuiApplication::queryKeyboardModifiers(); };
    return services;
}

} // namespace pelandor
