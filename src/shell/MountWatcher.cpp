#include "shell/MountWatcher.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace pelandor {

MountWatcher::MountWatcher(QObject *parent)
    : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(300);
    connect(&m_quiet, &QTimer::timeout, this, &MountWatcher::changed);
    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    // The mark is an exceptional condition (POLLPRI); poll clears it, so the
    // file itself need not be read here.
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, &m_quiet, qOverload<>(&QTimer::start));
}

MountWatcher::~MountWatcher()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace pelandor
