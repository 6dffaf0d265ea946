// The file-system calls the file-operation engine and the trash make, on raw
// file-name bytes. Every call behaves like its POSIX namesake: it returns -1
// and sets errno on failure. Tests derive from this class to make a single
// call fail (rename reporting EXDEV, a write running out of space...).
#pragma once

#include <QByteArray>
#include <sys/stat.h>
#include <sys/types.h>

namespace pelandor {

class FileSystemOps {
public:
    virtual ~FileSystemOps() = default;

    virtual int open(const QByteArray &path, int flags, mode_t mode = 0);
    virtual ssize_t read(int fd, void *buffer, size_t size);
    virtual ssize_t write(int fd, const void *buffer, size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int fstat(int fd, struct stat *info);
    virtual int fchmod(int fd, mode_t mode);
    virtual int futimens(int fd, const struct timespec times[2]);
    virtual int stat(const QByteArray &path, struct stat *info);
    virtual int lstat(const QByteArray &path, struct stat *info);
    virtual int rename(const QByteArray &from, const QByteArray &to);
    // A rename that fails with EEXIST instead of replacing an existing `to`
    // (renameat2 with RENAME_NOREPLACE; a hard link and an unlink where the
    // file system lacks it).
    virtual int renameNoReplace(const QByteArray &from, const QByteArray &to);
    virtual int unlink(const QByteArray &path);
    virtual int mkdir(const QByteArray &path, mode_t mode);
    virtual int symlink(const QByteArray &target, const QByteArray &linkPath);
    // The target of a symbolic link; empty with errno set on failure.
    virtual QByteArray readlink(const QByteArray &path);

    // The system's calls, shared by everyone who needs no faults.
    static FileSystemOps &system();
};

} // namespace pelandor
