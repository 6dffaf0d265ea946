#include "listing/FolderWatcher.h"

#include <QSocketNotifier>

#include <algorithm>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/NativeName.h"

namespace pelandor {

namespace {

// A file created and then left open that long without a write or a close is
// taken as finished (a link made by hand, a file written through mmap).
constexpr int WritingQuietMs = 2000;

constexpr uint32_t WatchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_CLOSE_WRITE |
                                   IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

} // namespace

FolderWatcher::FolderWatcher(QObject *parent)
    : QObject(parent)
{
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &FolderWatcher::settle);
}

FolderWatcher::~FolderWatcher()
{
    close();
}

void FolderWatcher::setDelays(int quietMs, int longestMs)
{
    m_quietMs = quietMs;
    m_longestMs = longestMs;
}

void FolderWatcher::close()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_watch = -1;
    m_quiet.stop();
    m_burst.invalidate();
    m_pending.clear();
    m_pendingEverything = false;
    m_pendingFolders = false;
    m_settled = {};
}

bool FolderWatcher::watch(const QString &folderPath)
{
    close();
    m_folder = folderPath;
    if (folderPath.isEmpty())
        return true;
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return false;
    m_watch = ::inotify_add_watch(m_fd, NativeName::encode(folderPath).constData(), WatchedEvents);
    if (m_watch < 0) {
        close();
        return false;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
    return true;
}

void FolderWatcher::readEvents()
{
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                m_pendingEverything = true;
                continue;
            }
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) {
                // The folder itself went away: whatever was listed is gone.
                m_pendingEverything = true;
                m_pendingFolders = true;
                continue;
            }
            if (event->len == 0 || event->name[0] == '.')
                continue; // hidden names are never listed
            if (event->mask & IN_ISDIR) {
                if (event->mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
                    m_pendingFolders = true;
                continue;
            }
            Pending &pending = m_pending[NativeName::decode(event->name)];
            pending.lastEvent.start();
            if (event->mask & IN_CREATE) {
                // A link, or a second name of a file that exists already, is
                // complete when it appears; a new file is written after it.
                struct stat info {};
                const QByteArray path = NativeName::encode(m_folder) + '/' + event->name;
                const bool complete = ::lstat(path.constData(), &info) == 0
                                      && (S_ISLNK(info.st_mode) || info.st_nlink > 1);
                pending.writing = !complete;
            }
            if (event->mask & IN_MODIFY)
                pending.writing = true;
            if (event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE))
                pending.writing = false;
        }
    }
    if (m_pending.isEmpty() && !m_pendingEverything && !m_pendingFolders)
        return;
    // A burst keeps the folder busy: it is reported at the latest after the
    // longest delay, as far as it has got, and then again when it ends.
    if (!m_burst.isValid())
        m_burst.start();
    if (m_burst.elapsed() >= m_longestMs)
        settle();
    else
        m_quiet.start(m_quietMs);
}

void FolderWatcher::settle()
{
    m_burst.invalidate();
    bool added = false;
    bool held = false;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->writing && it->lastEvent.elapsed() < WritingQuietMs) {
            held = true;
            ++it;
            continue;
        }
        m_settled.names.insert(it.key());
        it = m_pending.erase(it);
        added = true;
    }
    if (m_pendingEverything || m_pendingFolders) {
        m_settled.everything |= m_pendingEverything;
        m_settled.folders |= m_pendingFolders;
        m_pendingEverything = m_pendingFolders = false;
        added = true;
    }
    // Files still being written are looked at again later.
    if (held)
        m_quiet.start(std::max(m_quietMs, 250));
    if (added)
        emit changesReady();
}

FolderWatcher::Changes FolderWatcher::takeChanges()
{
    Changes changes = std::move(m_settled);
    m_settled = {};
    return changes;
}

} // namespace pelandor
