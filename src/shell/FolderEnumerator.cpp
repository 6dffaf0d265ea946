#include "shell/FolderEnumerator.h"
#include "platform/NativeName.h"

#include <QFile>

#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelandor {

namespace {

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Whether the entry is a folder, following links. d_type answers without a
// system call on most file systems; links and unknown types need a stat.
bool isFolderEntry(int dirFd, const dirent *entry)
{
    if (entry->d_type == DT_DIR)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat st;
    return fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

// Owns an open directory stream.
class DirStream {
public:
    explicit DirStream(DIR *dir) : m_dir(dir) {}
    ~DirStream()
    {
        if (m_dir)
            closedir(m_dir);
    }
    DirStream(const DirStream &) = delete;
    DirStream &operator=(const DirStream &) = delete;
    DIR *get() const { return m_dir; }

private:
    DIR *m_dir;
};

// Opens a directory relative to an open one (or by absolute path with
// AT_FDCWD). Null with errno set on failure.
DIR *openFolder(int atFd, const char *path)
{
    const int fd = openat(atFd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    DIR *dir = fdopendir(fd);
    if (!dir) {
        const int saved = errno;
        close(fd);
        errno = saved;
    }
    return dir;
}

bool unreadableButPresent(int error)
{
    return error != ENOENT && error != ENOTDIR && error != ELOOP && error != ENAMETOOLONG;
}

bool scanForSubfolder(DIR *dir)
{
    const int fd = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        if (!isDotOrDotDot(entry->d_name) && isFolderEntry(fd, entry))
            return true;
    }
    return false;
}

// Whether a folder has subfolders, remembered by the folder's identity and
// times: the answer reads the whole folder when it has none (all 100,000
// names of a photo folder), and the tree asks again for every subfolder of a
// folder whenever that folder changes. Adding, removing or renaming an entry
// changes a folder's modification time. An answer is kept only for a folder
// that had not changed for a while when it was read, so that a change in the
// same tick of the file system's clock cannot hide behind an equal time;
// the status time is compared too (a time put back changes it).
class SubfolderHints {
public:
    std::optional<bool> find(const struct stat &st)
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_hints.find({st.st_dev, st.st_ino});
        if (found == m_hints.end() || found->second.stamp != stampOf(st))
            return std::nullopt;
        return found->second.hasSubfolders;
    }

    void remember(const struct stat &st, bool hasSubfolders)
    {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        const std::lock_guard lock(m_mutex);
        if (now.tv_sec - st.st_mtim.tv_sec < SettledSeconds) {
            m_hints.erase({st.st_dev, st.st_ino});
            return;
        }
        if (m_hints.size() >= MaxHints)
            m_hints.clear();
        m_hints[{st.st_dev, st.st_ino}] = Hint{stampOf(st), hasSubfolders};
    }

private:
    static constexpr time_t SettledSeconds = 2;
    static constexpr size_t MaxHints = 16384;
    using Stamp = std::array<qint64, 4>;
    struct Hint {
        Stamp stamp;
        bool hasSubfolders;
    };
    static Stamp stampOf(const struct stat &st)
    {
        return {qint64(st.st_mtim.tv_sec), qint64(st.st_mtim.tv_nsec), qint64(st.st_ctim.tv_sec),
                qint64(st.st_ctim.tv_nsec)};
    }
    std::mutex m_mutex;
    std::map<std::pair<dev_t, ino_t>, Hint> m_hints;
};

SubfolderHints &subfolderHints()
{
    static SubfolderHints hints;
    return hints;
}

bool hasSubfoldersAt(int atFd, const char *path)
{
    DirStream dir(openFolder(atFd, path));
    if (!dir.get())
        return unreadableButPresent(errno);
    struct stat st;
    const bool known = fstat(dirfd(dir.get()), &st) == 0;
    if (known) {
        if (const std::optional<bool> hint = subfolderHints().find(st))
            return *hint;
    }
    const bool found = scanForSubfolder(dir.get());
    if (known)
        subfolderHints().remember(st, found);
    return found;
}

} // namespace

bool FolderEnumerator::subfolders(const QString &folderPath, QList<Subfolder> &out)
{
    out.clear();
    if (folderPath.isEmpty())
        return false;
    DirStream dir(openFolder(AT_FDCWD, NativeName::encode(folderPath).constData()));
    if (!dir.get())
        return false;
    const int fd = dirfd(dir.get());
    errno = 0;
    while (const dirent *entry = readdir(dir.get())) {
        if (isDotOrDotDot(entry->d_name) || !isFolderEntry(fd, entry)) {
            errno = 0;
            continue;
        }
        out.append(Subfolder{NativeName::decode(entry->d_name), hasSubfoldersAt(fd, entry->d_name)});
        errno = 0;
    }
    if (errno != 0) {
        // A read error part-way (a failing medium): report what was readable
        // as unreadable, like a folder that cannot be opened.
        out.clear();
        return false;
    }
    return true;
}

bool FolderEnumerator::hasSubfolders(const QString &folderPath)
{
    if (folderPath.isEmpty())
        return false;
    return hasSubfoldersAt(AT_FDCWD, NativeName::encode(folderPath).constData());
}

} // namespace pelandor
