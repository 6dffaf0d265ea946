// What the copy, move and delete commands need from outside the window: the
// folder chooser, the answerer of the engine's questions and the state of
// the modifier keys. The window uses the standard ones; tests hand in their
// own, so that no dialog blocks them.
#pragma once

#include <QString>
#include <Qt>

#include <functional>
#include <memory>

#include "fileops/FileOperationQuestions.h"
#include "fileops/FileOperationRequest.h"

class QWidget;

namespace pelandor {

struct FileCommandServices {
    // The destination folder for a copy or a move, the
    // chooser starting at startFolder; empty when the user cancelled.
    std::function<QString(QWidget *parent, Operation operation, const QString &startFolder)> chooseFolder;
    // Answers the questions of one operation on the GUI thread.
    std::function<std::unique_ptr<FileOperationQuestions>(QWidget *parent)> questions;
    // The modifier keys held at this moment.
    std::function<Qt::KeyboardModifiers()> keys;
    // Whether a running operation shows its progress dialog.
    bool showProgress = true;

    // The folder chooser, the question boxes, the real keyboard.
    static FileCommandServices standard();
};

} // namespace pelandor
