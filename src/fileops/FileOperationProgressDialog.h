// The progress of a file operation in a dialog over the main window: the
// operation's title, the current file, a bar and a cancel button. It appears
// only when the work lasts longer than half a second, and it is not modal:
// the job runs on its own thread, so the window stays usable (painting,
// sorting, moving it) while the dialog is up.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class QProgressDialog;
class QWidget;

namespace pelandor {

class FileOperationJob;

class FileOperationProgressDialog : public QObject {
    Q_OBJECT

public:
    static constexpr int ShowDelayMs = 500;

    explicit FileOperationProgressDialog(QWidget *parent);
    ~FileOperationProgressDialog() override;

    // Follows job: its progress fills the dialog, the cancel button cancels
    // it, and its end closes the dialog. The dialog object is the job's
    // child from then on.
    static FileOperationProgressDialog *follow(QWidget *parent, FileOperationJob &job);

    bool isShown() const;

public slots:
    void start(const QString &title, qint64 total);
    void setCurrentFile(const QByteArray &path);
    void setProgress(qint64 done, qint64 total);
    void finish();

signals:
    // The user pressed the cancel button (or closed the dialog).
    void cancelRequested();

private:
    QWidget *m_parent;
    QPointer<QProgressDialog> m_dialog;
    QTimer m_showTimer;
};

} // namespace pelandor
