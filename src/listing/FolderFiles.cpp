#include "listing/FolderFiles.h"
#include "platform/NativeName.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace pelandor {

namespace {

struct DirCloser {
    void operator()(DIR *dir) const { ::closedir(dir); }
};

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool FolderFiles::list(const QString &folderPath, QList<Entry> *entries, QString *reason)
{
    entries->clear();
    const int fd = ::open(NativeName::encode(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *reason = reasonOf(errno);
        return false;
    }
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd));
    if (!dir) {
        *reason = reasonOf(errno);
        ::close(fd);
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0) {
                *reason = reasonOf(errno);
                return false;
            }
            return true;
        }
        if (entry->d_name[0] == '.')
            continue;
        if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_REG && entry->d_type != DT_LNK)
            continue;
        // Links are followed: a link to a file is listed with the file's size.
        struct stat info {};
        if (::fstatat(fd, entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode))
            continue;
        entries->append(Entry{NativeName::decode(entry->d_name), qint64(info.st_size)});
    }
}

bool FolderFiles::stillThere(const QString &path)
{
    qint64 modified = 0;
    return stillThere(path, &modified);
}

bool FolderFiles::stillThere(const QString &path, qint64 *modifiedSeconds)
{
    struct stat info {};
    if (::stat(NativeName::encode(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    *modifiedSeconds = qint64(info.st_mtim.tv_sec);
    return true;
}

} // namespace pelandor
