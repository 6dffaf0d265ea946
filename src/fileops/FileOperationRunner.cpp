#include "fileops/FileOperationRunner.h"

#include "fileops/FileOperationDialogs.h"
#include "fileops/FileOperationEngine.h"
#include "fileops/FileOperationProgressDialog.h"

namespace pelandor {

bool FileOperationRunner::run(QWidget *window, MessageSink &messages, const FileOperationRequest &request)
{
    FileOperationDialogs questions(window);
    FileOperationProgressDialog progress(window);
    FileOperationEngine engine(questions, messages, &progress);
    return engine.run(request);
}

} // namespace pelandor
