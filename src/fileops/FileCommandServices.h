// What the copy, move and delete commands need from outside the window: the
// folder chooser, the run of one file operation (with its questions and its
// progress) and the state of the modifier keys. The window uses the standard
// ones; tests hand in their own, so that no dialog blocks them.
#pragma once

#include <QString>
#include <Qt>

#include <functional>

#include "fileops/FileOperationRequest.h"

class QWidget;

namespace pelandor {

class MessageSink;

struct FileCommandServices {
    // The destination folder for operation (FO_COPY or FO_MOVE); empty when
    // the user cancelled.
    std::function<QString(QWidget *parent, int operation)> chooseFolder;
    // Runs the request; true when it failed or anything was cancelled.
    std::function<bool(QWidget *parent, MessageSink &messages, const FileOperationRequest &request)> run;
    // The modifier keys held at this moment.
    std::function<Qt::KeyboardModifiers()> keys;

    // The folder chooser, the engine with its dialogs, the real keyboard.
    static FileCommandServices standard();
};

} // namespace pelandor
