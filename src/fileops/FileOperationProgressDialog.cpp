#include "fileops/FileOperationProgressDialog.h"

#include <QApplication>
#include <QProgressDialog>

#include <limits>

#include "fileops/FileOperationJob.h"
#include "fileops/RawPath.h"

namespace pelandor {

namespace {

constexpr int BarRange = 1000;
constexpr int RetryMs = 100;

} // namespace

FileOperationProgressDialog::FileOperationProgressDialog(QWidget *parent)
    : m_parent(parent)
{
    m_showTimer.setSingleShot(true);
    m_showTimer.setInterval(ShowDelayMs);
    connect(&m_showTimer, &QTimer::timeout, this, [this] {
        // Never over a question the job waits for: once it is answered.
        if (QApplication::activeModalWidget())
            m_showTimer.start(RetryMs);
        else if (m_dialog)
            m_dialog->show();
    });
}

FileOperationProgressDialog::~FileOperationProgressDialog() { delete m_dialog; }

FileOperationProgressDialog *FileOperationProgressDialog::follow(QWidget *parent, FileOperationJob &job)
{
    auto *progress = new FileOperationProgressDialog(parent);
    progress->setParent(&job);
    connect(&job, &FileOperationJob::started, progress, &FileOperationProgressDialog::start);
    connect(&job, &FileOperationJob::currentFileChanged, progress, &FileOperationProgressDialog::setCurrentFile);
    connect(&job, &FileOperationJob::progressed, progress, &FileOperationProgressDialog::setProgress);
    connect(&job, &FileOperationJob::finished, progress, &FileOperationProgressDialog::finish);
    connect(progress, &FileOperationProgressDialog::cancelRequested, &job, &FileOperationJob::cancel);
    return progress;
}

void FileOperationProgressDialog::start(const QString &title, qint64)
{
    delete m_dialog;
    m_dialog = new QProgressDialog(m_parent);
    m_dialog->setWindowTitle(title);
    m_dialog->setWindowModality(Qt::NonModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    // Shown by the timer, not by the dialog's own estimate.
    m_dialog->setMinimumDuration(std::numeric_limits<int>::max());
    m_dialog->setRange(0, BarRange);
    m_dialog->setValue(0);
    m_dialog->setMinimumWidth(400);
    connect(m_dialog, &QProgressDialog::canceled, this, &FileOperationProgressDialog::cancelRequested);
    m_showTimer.start();
}

void FileOperationProgressDialog::setCurrentFile(const QByteArray &path)
{
    if (m_dialog)
        m_dialog->setLabelText(RawPath::display(path));
}

void FileOperationProgressDialog::setProgress(qint64 done, qint64 total)
{
    if (m_dialog && total > 0)
        m_dialog->setValue(int(qBound(qint64(0), done * BarRange / total, qint64(BarRange))));
}

void FileOperationProgressDialog::finish()
{
    m_showTimer.stop();
    delete m_dialog;
}

bool FileOperationProgressDialog::isShown() const { return m_dialog && m_dialog->isVisible(); }

} // namespace pelandor
