// Tells when a volume is mounted or unmounted (a memory card put in, a disk
// mounted by hand): the kernel marks /proc/self/mountinfo with a priority
// event whenever the mount table changes, which a socket notifier hears
// without any polling. Changes come in bursts (a desktop mounts a card's
// partitions one after the other), so one report is sent after the table has
// been quiet for a moment. Where the file is missing nothing is ever reported.
#pragma once

#include <QObject>
#include <QTimer>

class QSocketNotifier;

namespace pelandor {

class MountWatcher : public QObject {
    Q_OBJECT

public:
    explicit MountWatcher(QObject *parent = nullptr);
    ~MountWatcher() override;
    MountWatcher(const MountWatcher &) = delete;
    MountWatcher &operator=(const MountWatcher &) = delete;

signals:
    // The mount table changed.
    void changed();

private:
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_quiet;
};

} // namespace pelandor
