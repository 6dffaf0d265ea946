// Runs one file operation for a window: the engine with the window's question
// boxes, its progress dialog and its message sink. The window must refuse
// other commands that change the file list while this runs (the progress
// dialog processes events).
#pragma once

#include "fileops/FileOperationRequest.h"

class QWidget;

namespace pelandor {

class MessageSink;

class FileOperationRunner {
public:
    // True when the operation failed or anything was skipped or cancelled.
    static bool run(QWidget *window, MessageSink &messages, const FileOperationRequest &request);
};

} // namespace pelandor
