// Test doubles for the file-operation engine: scripted answers to its
// questions, a progress sink that cancels on cue, a message sink that
// records, file-system calls that fail on cue, and helpers that make real
// files and check afterwards that no byte of them was lost.
#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <QTest>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <functional>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

#include "fileops/FileOperationProgress.h"
#include "fileops/FileOperationQuestions.h"
#include "fileops/FileSystemOps.h"
#include "fileops/RawPath.h"
#include "platform/MessageSink.h"

namespace fileops_test {

using pelandor::FileOperationQuestions;
using pelandor::RawPath;

class ScriptedQuestions : public FileOperationQuestions {
public:
    bool confirmAnswer = true;
    QList<Reply> replaceReplies;   // taken in turn; Cancel when used up
    QList<Reply> permanentReplies; // likewise
    QList<QList<QByteArray>> confirmCalls;
    QList<QByteArray> replaceCalls; // the targets
    QList<Conflict> conflicts;
    QList<QByteArray> permanentCalls;
    // Runs inside each question (delete, replace), before it is answered.
    std::function<void()> whileAsked;

    bool confirmDelete(const QList<QByteArray> &paths, bool) override
    {
        confirmCalls.append(paths);
        if (whileAsked)
            whileAsked();
        return confirmAnswer;
    }
    Reply askReplace(const Conflict &conflict, bool) override
    {
        replaceCalls.append(conflict.target);
        conflicts.append(conflict);
        if (whileAsked)
            whileAsked();
        return replaceReplies.isEmpty() ? Reply{} : replaceReplies.takeFirst();
    }
    Reply askDeletePermanently(const QByteArray &path, bool) override
    {
        permanentCalls.append(path);
        return permanentReplies.isEmpty() ? Reply{} : permanentReplies.takeFirst();
    }
};

class RecordingSink : public pelandor::MessageSink {
public:
    QStringList messages;
    void showMessage(const QString &text) override { messages.append(text); }
};

class CancellingProgress : public pelandor::FileOperationProgress {
public:
    int cancelAfterProgressCalls = -1; // never
    int progressCalls = 0;
    qint64 lastDone = 0;
    void start(const QString &, qint64) override {}
    void setCurrentFile(const QByteArray &) override {}
    void setProgress(qint64 done, qint64) override
    {
        ++progressCalls;
        lastDone = done;
    }
    bool cancelRequested() override
    {
        return cancelAfterProgressCalls >= 0 && progressCalls >= cancelAfterProgressCalls;
    }
    void finish() override {}
};

// System calls, with faults switched on by the test.
class FaultyOps : public pelandor::FileSystemOps {
public:
    // rename between different folders reports EXDEV, as between two file systems
    bool crossDevice = false;
    // writes fail with this error once this many bytes were written (-1: never)
    qint64 writeLimit = -1;
    int writeError = ENOSPC;
    // creating a file whose folder is this one fails with this error
    QByteArray readOnlyFolder;
    int readOnlyError = EROFS;
    // unlink of exactly this path fails with EACCES
    QByteArray undeletable;
    // rename from exactly this path fails with EACCES
    QByteArray unrenamable;
    int fsyncError = 0;
    // reads report the end of the file once this many bytes were read (-1:
    // never), as when a file shrinks while it is copied
    qint64 readLimit = -1;

    // just before the first rename onto this path, another program saves a
    // file there with this content
    QByteArray intruderPath;
    QByteArray intruderContent;
    // runs once, after the first read of a file being copied
    std::function<void()> afterFirstRead;

    qint64 written = 0;
    qint64 readTotal = 0;

    ssize_t read(int fd, void *buffer, size_t size) override
    {
        if (readLimit >= 0)
            size = size_t(qMin(qint64(size), qMax(qint64(0), readLimit - readTotal)));
        const ssize_t n = size ? FileSystemOps::read(fd, buffer, size) : 0;
        if (n > 0)
            readTotal += n;
        if (afterFirstRead)
            std::exchange(afterFirstRead, nullptr)();
        return n;
    }

    int open(const QByteArray &path, int flags, mode_t mode) override
    {
        if ((flags & O_CREAT) && !readOnlyFolder.isEmpty() && RawPath::parent(path) == readOnlyFolder) {
            errno = readOnlyError;
            return -1;
        }
        return FileSystemOps::open(path, flags, mode);
    }
    ssize_t write(int fd, const void *buffer, size_t size) override
    {
        if (writeLimit >= 0 && written + qint64(size) > writeLimit) {
            const qint64 room = writeLimit - written;
            if (room <= 0) {
                errno = writeError;
                return -1;
            }
            size = size_t(room);
        }
        const ssize_t n = FileSystemOps::write(fd, buffer, size);
        if (n > 0)
            written += n;
        return n;
    }
    int fsync(int fd) override
    {
        if (fsyncError) {
            errno = fsyncError;
            return -1;
        }
        return FileSystemOps::fsync(fd);
    }
    int rename(const QByteArray &from, const QByteArray &to) override
    {
        if (!allowRename(from, to))
            return -1;
        return FileSystemOps::rename(from, to);
    }
    int renameNoReplace(const QByteArray &from, const QByteArray &to) override
    {
        if (!allowRename(from, to))
            return -1;
        return FileSystemOps::renameNoReplace(from, to);
    }
    bool allowRename(const QByteArray &from, const QByteArray &to)
    {
        if (from == unrenamable) {
            errno = EACCES;
            return false;
        }
        if (crossDevice && RawPath::parent(from) != RawPath::parent(to)) {
            errno = EXDEV;
            return false;
        }
        if (!intruderPath.isEmpty() && to == intruderPath) {
            const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                (void)!::write(fd, intruderContent.constData(), size_t(intruderContent.size()));
                ::close(fd);
            }
            intruderPath.clear();
        }
        return true;
    }

    int unlink(const QByteArray &path) override
    {
        if (path == undeletable) {
            errno = EACCES;
            return -1;
        }
        return FileSystemOps::unlink(path);
    }
};

inline QByteArray sha(const QByteArray &data) { return QCryptographicHash::hash(data, QCryptographicHash::Sha256); }

// Writes size pseudo-random bytes to path (raw bytes) and returns them.
inline QByteArray makeFile(const QByteArray &path, qint64 size, quint32 seed, mode_t mode = 0640)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (qint64 i = 0; i < size; ++i)
        data[i] = char(generator.generate() & 0xff);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return QByteArray();
    const bool ok = ::write(fd, data.constData(), size_t(size)) == size;
    ::fchmod(fd, mode);
    ::close(fd);
    return ok ? data : QByteArray();
}

inline QByteArray readFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0)
        return QByteArray();
    QByteArray data;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, n);
    ::close(fd);
    return data;
}

inline bool exists(const QByteArray &path)
{
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0;
}

// Every regular file below root, by raw name, walking with the system calls
// (QDirIterator cannot name files that are not valid UTF-8).
inline QList<QByteArray> allFiles(const QByteArray &root)
{
    QList<QByteArray> files;
    std::function<void(const QByteArray &)> walk = [&](const QByteArray &dir) {
        DIR *d = ::opendir(dir.constData());
        if (!d)
            return;
        while (dirent *e = ::readdir(d)) {
            const QByteArray name(e->d_name);
            if (name == "." || name == "..")
                continue;
            const QByteArray path = RawPath::join(dir, name);
            struct stat info {};
            if (::lstat(path.constData(), &info) != 0)
                continue;
            if (S_ISDIR(info.st_mode))
                walk(path);
            else if (S_ISREG(info.st_mode))
                files.append(path);
        }
        ::closedir(d);
    };
    walk(root);
    return files;
}

// Removes root and everything below it. QDir::removeRecursively (and so
// QTemporaryDir) cannot remove names that are not valid UTF-8.
inline void removeTree(const QByteArray &root)
{
    ::nftw(
        root.constData(),
        [](const char *path, const struct stat *, int type, struct FTW *) {
            return type == FTW_DP ? ::rmdir(path) : ::unlink(path);
        },
        16, FTW_DEPTH | FTW_PHYS);
}

// The hashes of every file below the roots.
inline QSet<QByteArray> contentsBelow(const QList<QByteArray> &roots)
{
    QSet<QByteArray> hashes;
    for (const QByteArray &root : roots) {
        for (const QByteArray &path : allFiles(root))
            hashes.insert(sha(readFile(path)));
    }
    return hashes;
}

// Files whose names mark them as the engine's unfinished copies.
inline QList<QByteArray> leftoverTemporaries(const QByteArray &root)
{
    QList<QByteArray> found;
    for (const QByteArray &path : allFiles(root)) {
        if (RawPath::baseName(path).contains(".pelandor-"))
            found.append(path);
    }
    return found;
}

} // namespace fileops_test
