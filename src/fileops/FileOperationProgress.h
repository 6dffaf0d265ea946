// Where the file-operation engine reports how far it is, and from where it
// learns that the user wants it to stop. The window shows a dialog; tests
// count calls or cancel at a chosen point.
#pragma once

#include <QByteArray>
#include <QString>

namespace pelandor {

class FileOperationProgress {
public:
    virtual ~FileOperationProgress() = default;

    // The operation begins; total is in the units setProgress uses (bytes for
    // copy and move, files for delete).
    virtual void start(const QString &title, qint64 total) = 0;
    virtual void setCurrentFile(const QByteArray &path) = 0;
    virtual void setProgress(qint64 done, qint64 total) = 0;
    // Polled between files and between the blocks of a file.
    virtual bool cancelRequested() = 0;
    // Source number `index` of the request has left its folder (moved or
    // deleted); a source that is still there is never reported.
    virtual void sourceLeft(qsizetype index) { Q_UNUSED(index); }
    virtual void finish() = 0;
};

} // namespace pelandor
