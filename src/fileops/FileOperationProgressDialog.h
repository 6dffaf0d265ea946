// The progress of a file operation in a dialog over the main window: the
// operation's title, the current file, a bar and a cancel button. It appears
// only when the work lasts longer than half a second. While the work runs it
// lets the window paint by processing pending events now and then; until the
// dialog shows, user input waits in the queue, and once it shows, the dialog
// is window-modal, so only its cancel button takes input.
#pragma once

#include <QElapsedTimer>
#include <QPointer>

#include "fileops/FileOperationProgress.h"

class QProgressDialog;
class QWidget;

namespace pelandor {

class FileOperationProgressDialog : public FileOperationProgress {
public:
    static constexpr int ShowDelayMs = 500;

    explicit FileOperationProgressDialog(QWidget *parent);
    ~FileOperationProgressDialog() override;
    FileOperationProgressDialog(const FileOperationProgressDialog &) = delete;
    FileOperationProgressDialog &operator=(const FileOperationProgressDialog &) = delete;

    void start(const QString &title, qint64 total) override;
    void setCurrentFile(const QByteArray &path) override;
    void setProgress(qint64 done, qint64 total) override;
    bool cancelRequested() override;
    void finish() override;

    bool isShown() const;

private:
    void pump();

    QWidget *m_parent;
    QPointer<QProgressDialog> m_dialog;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sincePump;
};

} // namespace pelandor
