// Copies, moves and deletes a list of files, asking its questions and
// reporting progress through the interfaces it is given, and reports, like
// the shell operation it stands in for, whether everything was done or
// something failed or was aborted.
//
// It never loses data: a copy is written to a hidden temporary file in the
// destination folder, flushed to disk and checked for its size before it is
// renamed to its final name, so a cancelled or failed copy leaves nothing and
// no final name ever holds half a file. A move inside one file system is a
// rename; across file systems it is such a copy, after which the source is
// removed. Permissions and modification times are kept. A copy or move onto
// the file itself is refused. Paths are raw bytes throughout.
#pragma once

#include <QByteArray>
#include <QString>

#include "fileops/FileOperationQuestions.h"
#include "fileops/FileOperationRequest.h"

namespace pelandor {

class FileOperationProgress;
class FileSystemOps;
class MessageSink;

class FileOperationEngine {
public:
    // progress may be null. The references must outlive the engine.
    FileOperationEngine(FileOperationQuestions &questions, MessageSink &messages, FileOperationProgress *progress,
        FileSystemOps &ops);
    FileOperationEngine(FileOperationQuestions &questions, MessageSink &messages,
        FileOperationProgress *progress = nullptr);

    // True when the operation failed or any part of it was skipped or
    // cancelled; false when every file was done.
    bool run(const FileOperationRequest &request);

private:
    enum class Step { Done, Skipped, Stop };
    enum class CopyResult { Done, Cancelled, Failed };

    Step transfer(int operation, const QByteArray &source, const QByteArray &destination, bool moreFollow);
    Step remove(const QByteArray &source, bool toTrash, bool moreFollow);
    // Copies source to target by way of a temporary file; error messages are
    // shown here.
    CopyResult copyFile(int operation, const QByteArray &source, const QByteArray &target);
    bool moveLink(const QByteArray &source, const QByteArray &target);
    void syncFolder(const QByteArray &folder);
    bool cancelled();
    void fail(const QString &message);

    FileOperationQuestions &m_questions;
    MessageSink &m_messages;
    FileOperationProgress *m_progress;
    FileSystemOps &m_ops;

    // State of one run.
    qint64 m_done = 0;
    qint64 m_total = 0;
    bool m_replaceAllSet = false;
    FileOperationQuestions::Answer m_replaceAll = FileOperationQuestions::Answer::Cancel;
    bool m_permanentAllSet = false;
    FileOperationQuestions::Answer m_permanentAll = FileOperationQuestions::Answer::Cancel;
};

} // namespace pelandor
