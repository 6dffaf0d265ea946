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
// removed, but only if it is still the file that was copied. Permissions and
// modification times are kept. A copy or move onto the file itself is
// refused. A name is never overwritten unless the user said so: a name that
// was free when checked is taken only if it still is (a file that appeared
// there meanwhile brings up the question after all). Paths are raw bytes
// throughout.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

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

    // "name (2).jpg", "name (3).jpg", ...: the name of the copy number n (n
    // >= 2) of `name`, the number before the extension.
    static QByteArray numberedName(const QByteArray &name, int n);

private:
    enum class Step { Done, Skipped, Stop };
    enum class CopyResult { Done, Skipped, Cancelled, Failed };
    enum class Placed { Done, Skipped, Cancelled, Failed };

    // Where a file goes: its name in the destination, whether an existing
    // file of that name may be replaced (the user agreed), or whether the
    // file takes a new numbered name instead ("keep both").
    struct Target {
        QByteArray path;
        QByteArray wanted; // the name asked for; numbered names are made from it
        bool replace = false;
        bool keepBoth = false;
    };

    Step transfer(Operation operation, const QByteArray &source, const QByteArray &destination, bool moreFollow);
    Step remove(const QByteArray &source, bool toTrash, bool moreFollow);
    // The answer to "replace target?", or the one given for all.
    FileOperationQuestions::Answer replaceAnswer(const QByteArray &source, const QByteArray &target, bool moreFollow);
    // Applies a KeepBoth or Yes answer to target.
    void take(FileOperationQuestions::Answer answer, Target &target);
    // Renames `from` to target.path: over an existing file only when
    // target.replace is set; with target.keepBoth under the next free
    // numbered name. A name taken since it was checked is asked about
    // (source names the file for the question). Failed leaves errno.
    Placed place(const QByteArray &from, Target &target, const QByteArray &source, bool moreFollow);
    // Copies source to target by way of a temporary file; error messages are
    // shown here. `copied` receives what the source was when it was read.
    CopyResult copyFile(Operation operation, const QByteArray &source, Target &target, bool moreFollow,
        struct stat &copied);
    Step moveLink(const QByteArray &source, Target &target, bool moreFollow);
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
