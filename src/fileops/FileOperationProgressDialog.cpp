#include "fileops/FileOperationProgressDialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QProgressDialog>

#include <limits>

#include "fileops/RawPath.h"

namespace pelandor {

namespace {

constexpr int BarRange = 1000;
constexpr int PumpIntervalMs = 30;

} // namespace

FileOperationProgressDialog::FileOperationProgressDialog(QWidget *parent)
    : m_parent(parent)
{
}

FileOperationProgressDialog::~FileOperationProgressDialog() { delete m_dialog; }

void FileOperationProgressDialog::start(const QString &title, qint64)
{
    delete m_dialog;
    m_dialog = new QProgressDialog(m_parent);
    m_dialog->setWindowTitle(title);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    // Shown by pump(), not by the dialog's own estimate.
    m_dialog->setMinimumDuration(std::numeric_limits<int>::max());
    m_dialog->setRange(0, BarRange);
    m_dialog->setValue(0);
    m_dialog->setMinimumWidth(400);
    m_sinceStart.start();
    m_sincePump.start();
}

void FileOperationProgressDialog::setCurrentFile(const QByteArray &path)
{
    if (m_dialog)
        m_dialog->setLabelText(RawPath::display(path));
    pump();
}

void FileOperationProgressDialog::setProgress(qint64 done, qint64 total)
{
    if (m_dialog && total > 0)
        m_dialog->setValue(int(qBound(qint64(0), done * BarRange / total, qint64(BarRange))));
    pump();
}

bool FileOperationProgressDialog::cancelRequested()
{
    pump();
    return m_dialog && m_dialog->wasCanceled();
}

void FileOperationProgressDialog::finish()
{
    delete m_dialog;
}

bool FileOperationProgressDialog::isShown() const { return m_dialog && m_dialog->isVisible(); }

void FileOperationProgressDialog::pump()
{
    if (!m_dialog || m_sincePump.elapsed() < PumpIntervalMs)
        return;
    m_sincePump.restart();
    if (!m_dialog->isVisible() && m_sinceStart.elapsed() >= ShowDelayMs)
        m_dialog->show();
    QCoreApplication::processEvents(
        m_dialog->isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

} // namespace pelandor
