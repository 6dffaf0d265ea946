#include "fileops/FileOperationEngine.h"

#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <memory>

#include "fileops/FileOperationProgress.h"
#include "fileops/FileOperationTexts.h"
#include "fileops/FileSystemOps.h"
#include "fileops/FreedesktopTrash.h"
#include "fileops/RawPath.h"
#include "platform/MessageSink.h"

namespace pelandor {

namespace {

constexpr size_t BlockSize = 1 << 20;

bool sameFile(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Closes a descriptor on every way out unless released.
class Descriptor {
public:
    Descriptor(FileSystemOps &ops, int fd)
        : m_ops(ops)
        , m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            m_ops.close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    // Closes now and reports the result (a delayed write error shows here).
    int close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return m_ops.close(fd);
    }

private:
    FileSystemOps &m_ops;
    int m_fd;
};

} // namespace

FileOperationEngine::FileOperationEngine(FileOperationQuestions &questions, MessageSink &messages,
    FileOperationProgress *progress, FileSystemOps &ops)
    : m_questions(questions)
    , m_messages(messages)
    , m_progress(progress)
    , m_ops(ops)
{
}

FileOperationEngine::FileOperationEngine(FileOperationQuestions &questions, MessageSink &messages,
    FileOperationProgress *progress)
    : FileOperationEngine(questions, messages, progress, FileSystemOps::system())
{
}

bool FileOperationEngine::cancelled() { return m_progress && m_progress->cancelRequested(); }

void FileOperationEngine::fail(const QString &message) { m_messages.showMessage(message); }

bool FileOperationEngine::run(const FileOperationRequest &request)
{
    m_done = 0;
    m_total = 0;
    m_replaceAllSet = false;
    m_permanentAllSet = false;
    if (request.sources.isEmpty())
        return false;

    const bool deleting = request.operation == Operation::Delete;
    if (deleting) {
        if (!m_questions.confirmDelete(request.sources, request.toTrash))
            return true;
        m_total = request.sources.size();
    } else {
        struct stat folder {};
        if (m_ops.stat(request.destination, &folder) != 0 || !S_ISDIR(folder.st_mode)) {
            fail(FileOperationTexts::notAFolder(request.destination));
            return true;
        }
        for (const QByteArray &source : request.sources) {
            struct stat info {};
            if (m_ops.stat(source, &info) == 0)
                m_total += info.st_size;
        }
    }

    if (m_progress)
        m_progress->start(request.progressTitle, m_total);
    bool aborted = false;
    for (qsizetype i = 0; i < request.sources.size(); ++i) {
        if (cancelled()) {
            aborted = true;
            break;
        }
        const QByteArray &source = request.sources.at(i);
        const bool moreFollow = i + 1 < request.sources.size();
        if (m_progress)
            m_progress->setCurrentFile(source);
        const Step step = deleting ? remove(source, request.toTrash, moreFollow)
                                   : transfer(request.operation, source, request.destination, moreFollow);
        if (deleting) {
            ++m_done;
            if (m_progress)
                m_progress->setProgress(m_done, m_total);
        }
        if (step == Step::Done && request.operation != Operation::Copy && m_progress)
            m_progress->sourceLeft(i);
        if (step != Step::Done)
            aborted = true;
        if (step == Step::Stop)
            break;
    }
    if (m_progress)
        m_progress->finish();
    return aborted;
}

QByteArray FileOperationEngine::numberedName(const QByteArray &name, int n)
{
    // A leading dot starts a hidden name, not an extension.
    const qsizetype dot = name.lastIndexOf('.');
    const qsizetype cut = dot > 0 ? dot : name.size();
    return name.left(cut) + " (" + QByteArray::number(n) + ")" + name.mid(cut);
}

FileOperationQuestions::Answer FileOperationEngine::replaceAnswer(
    const QByteArray &source, const QByteArray &target, bool moreFollow)
{
    if (m_replaceAllSet)
        return m_replaceAll;
    FileOperationQuestions::Conflict conflict;
    conflict.source = source;
    conflict.target = target;
    struct stat info {};
    if (m_ops.stat(source, &info) == 0) {
        conflict.sourceSize = info.st_size;
        conflict.sourceTime = info.st_mtim.tv_sec;
    }
    if (m_ops.stat(target, &info) == 0) {
        conflict.targetSize = info.st_size;
        conflict.targetTime = info.st_mtim.tv_sec;
    }
    const FileOperationQuestions::Reply reply = m_questions.askReplace(conflict, moreFollow);
    if (reply.applyToAll && reply.answer != FileOperationQuestions::Answer::Cancel) {
        m_replaceAllSet = true;
        m_replaceAll = reply.answer;
    }
    return reply.answer;
}

void FileOperationEngine::take(FileOperationQuestions::Answer answer, Target &target)
{
    if (answer == FileOperationQuestions::Answer::KeepBoth)
        target.keepBoth = true;
    else
        target.replace = true;
}

FileOperationEngine::Placed FileOperationEngine::place(
    const QByteArray &from, Target &target, const QByteArray &source, bool moreFollow)
{
    const QByteArray folder = RawPath::parent(target.wanted);
    const QByteArray name = RawPath::baseName(target.wanted);
    int number = 1;
    for (;;) {
        if (target.keepBoth) {
            // The next number whose name is free now; the no-replace rename
            // below never takes it if another file gets it meanwhile.
            struct stat existing {};
            do {
                if (++number > 100000) {
                    errno = EEXIST;
                    return Placed::Failed;
                }
                target.path = RawPath::join(folder, numberedName(name, number));
            } while (m_ops.lstat(target.path, &existing) == 0);
        }
        const bool replace = target.replace && !target.keepBoth;
        if ((replace ? m_ops.rename(from, target.path) : m_ops.renameNoReplace(from, target.path)) == 0)
            return Placed::Done;
        if (errno != EEXIST || replace)
            return Placed::Failed;
        if (target.keepBoth)
            continue;
        // The name was free when it was checked and is taken now.
        const FileOperationQuestions::Answer answer = replaceAnswer(source, target.path, moreFollow);
        switch (answer) {
        case FileOperationQuestions::Answer::Skip:
            return Placed::Skipped;
        case FileOperationQuestions::Answer::Cancel:
            return Placed::Cancelled;
        default:
            take(answer, target);
        }
    }
}

FileOperationEngine::Step FileOperationEngine::transfer(
    Operation operation, const QByteArray &source, const QByteArray &destination, bool moreFollow)
{
    struct stat link {};
    struct stat info {};
    if (m_ops.lstat(source, &link) != 0 || m_ops.stat(source, &info) != 0) {
        fail(FileOperationTexts::failed(operation, source, errno));
        return Step::Stop;
    }
    if (!S_ISREG(info.st_mode)) {
        fail(FileOperationTexts::notAFile(operation, source));
        return Step::Stop;
    }
    Target target;
    target.path = RawPath::join(destination, RawPath::baseName(source));
    target.wanted = target.path;
    auto skipped = [&] {
        m_done += info.st_size;
        if (m_progress)
            m_progress->setProgress(m_done, m_total);
        return Step::Skipped;
    };

    struct stat existing {};
    if (m_ops.lstat(target.path, &existing) == 0) {
        struct stat existingFile {};
        if (sameFile(existing, link) || (m_ops.stat(target.path, &existingFile) == 0 && sameFile(existingFile, info))) {
            fail(FileOperationTexts::sameFile(operation, source));
            return Step::Stop;
        }
        if (S_ISDIR(existing.st_mode)) {
            fail(FileOperationTexts::failed(operation, source, EISDIR));
            return Step::Stop;
        }
        const FileOperationQuestions::Answer answer = replaceAnswer(source, target.path, moreFollow);
        if (answer == FileOperationQuestions::Answer::Skip)
            return skipped();
        if (answer == FileOperationQuestions::Answer::Cancel)
            return Step::Stop;
        take(answer, target);
    }

    if (operation == Operation::Move) {
        switch (place(source, target, source, moreFollow)) {
        case Placed::Done:
            m_done += info.st_size;
            if (m_progress)
                m_progress->setProgress(m_done, m_total);
            return Step::Done;
        case Placed::Skipped:
            return skipped();
        case Placed::Cancelled:
            return Step::Stop;
        case Placed::Failed:
            break;
        }
        if (errno != EXDEV) {
            fail(FileOperationTexts::failed(operation, source, errno));
            return Step::Stop;
        }
        if (S_ISLNK(link.st_mode))
            return moveLink(source, target, moreFollow);
    }

    struct stat copied {};
    switch (copyFile(operation, source, target, moreFollow, copied)) {
    case CopyResult::Skipped:
        return Step::Skipped;
    case CopyResult::Cancelled:
    case CopyResult::Failed:
        return Step::Stop;
    case CopyResult::Done:
        break;
    }
    if (operation != Operation::Move)
        return Step::Done;
    // The source goes only if it is still the file that was copied: a file
    // saved under its name meanwhile is newer than the copy.
    struct stat now {};
    if (m_ops.lstat(source, &now) != 0 || !S_ISREG(now.st_mode) || !sameFile(now, copied)
        || now.st_size != copied.st_size || now.st_mtim.tv_sec != copied.st_mtim.tv_sec
        || now.st_mtim.tv_nsec != copied.st_mtim.tv_nsec) {
        fail(FileOperationTexts::sourceChanged(source, target.path));
        return Step::Skipped;
    }
    if (m_ops.unlink(source) != 0) {
        fail(FileOperationTexts::sourceKept(source, target.path, errno));
        return Step::Stop;
    }
    return Step::Done;
}

FileOperationEngine::Step FileOperationEngine::moveLink(const QByteArray &source, Target &target, bool moreFollow)
{
    struct stat before {};
    const QByteArray linkTarget = m_ops.readlink(source);
    if (linkTarget.isEmpty() || m_ops.lstat(source, &before) != 0) {
        fail(FileOperationTexts::failed(Operation::Move, source, errno));
        return Step::Stop;
    }
    const QByteArray temporary = target.path + ".pelandor-link";
    m_ops.unlink(temporary);
    if (m_ops.symlink(linkTarget, temporary) != 0) {
        fail(FileOperationTexts::failed(Operation::Move, source, errno));
        return Step::Stop;
    }
    switch (place(temporary, target, source, moreFollow)) {
    case Placed::Done:
        break;
    case Placed::Skipped:
        m_ops.unlink(temporary);
        return Step::Skipped;
    case Placed::Cancelled:
        m_ops.unlink(temporary);
        return Step::Stop;
    case Placed::Failed: {
        const int error = errno;
        m_ops.unlink(temporary);
        fail(FileOperationTexts::failed(Operation::Move, source, error));
        return Step::Stop;
    }
    }
    syncFolder(RawPath::parent(target.path));
    struct stat now {};
    if (m_ops.lstat(source, &now) != 0 || !sameFile(now, before)) {
        fail(FileOperationTexts::sourceChanged(source, target.path));
        return Step::Skipped;
    }
    if (m_ops.unlink(source) != 0) {
        fail(FileOperationTexts::sourceKept(source, target.path, errno));
        return Step::Stop;
    }
    return Step::Done;
}

FileOperationEngine::CopyResult FileOperationEngine::copyFile(
    Operation operation, const QByteArray &source, Target &target, bool moreFollow, struct stat &info)
{
    Descriptor in(m_ops, m_ops.open(source, O_RDONLY));
    if (in.get() < 0 || m_ops.fstat(in.get(), &info) != 0) {
        fail(FileOperationTexts::failed(operation, source, errno));
        return CopyResult::Failed;
    }
    if (!S_ISREG(info.st_mode)) {
        fail(FileOperationTexts::notAFile(operation, source));
        return CopyResult::Failed;
    }

    // A hidden name next to the final one: the final name appears only by
    // the rename below, with the whole file behind it.
    const QByteArray folder = RawPath::parent(target.path);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = RawPath::join(folder,
            "." + RawPath::baseName(target.path).left(100) + ".pelandor-"
                + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".part");
        fd = m_ops.open(temporary, O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        fail(FileOperationTexts::failed(operation, target.path, errno));
        return CopyResult::Failed;
    }
    Descriptor out(m_ops, fd);
    auto discard = [&](CopyResult result, const QString &message) {
        if (out.get() >= 0)
            out.close();
        m_ops.unlink(temporary);
        if (!message.isEmpty())
            fail(message);
        return result;
    };

    const std::unique_ptr<char[]> buffer(new char[BlockSize]);
    qint64 copied = 0;
    for (;;) {
        if (cancelled())
            return discard(CopyResult::Cancelled, QString());
        const ssize_t n = m_ops.read(in.get(), buffer.get(), BlockSize);
        if (n < 0)
            return discard(CopyResult::Failed, FileOperationTexts::failed(operation, source, errno));
        if (n == 0)
            break;
        for (ssize_t written = 0; written < n;) {
            const ssize_t w = m_ops.write(out.get(), buffer.get() + written, size_t(n - written));
            if (w <= 0)
                return discard(CopyResult::Failed, FileOperationTexts::failed(operation, target.path, w < 0 ? errno : ENOSPC));
            written += w;
        }
        copied += n;
        m_done += n;
        if (m_progress)
            m_progress->setProgress(m_done, m_total);
    }

    struct stat written {};
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (m_ops.fchmod(out.get(), info.st_mode & 07777) != 0 || m_ops.futimens(out.get(), times) != 0
        || m_ops.fsync(out.get()) != 0 || m_ops.fstat(out.get(), &written) != 0)
        return discard(CopyResult::Failed, FileOperationTexts::failed(operation, target.path, errno));
    if (copied != info.st_size || written.st_size != copied)
        return discard(CopyResult::Failed, FileOperationTexts::changedWhileCopying(source));
    if (out.close() != 0)
        return discard(CopyResult::Failed, FileOperationTexts::failed(operation, target.path, errno));
    switch (place(temporary, target, source, moreFollow)) {
    case Placed::Done:
        break;
    case Placed::Skipped:
        return discard(CopyResult::Skipped, QString());
    case Placed::Cancelled:
        return discard(CopyResult::Cancelled, QString());
    case Placed::Failed:
        return discard(CopyResult::Failed, FileOperationTexts::failed(operation, target.path, errno));
    }
    syncFolder(folder);
    return CopyResult::Done;
}

void FileOperationEngine::syncFolder(const QByteArray &folder)
{
    // Makes the new name durable before a move removes the source. File
    // systems that cannot sync a folder say so; the file data is synced already.
    Descriptor dir(m_ops, m_ops.open(folder, O_RDONLY | O_DIRECTORY));
    if (dir.get() >= 0)
        m_ops.fsync(dir.get());
}

FileOperationEngine::Step FileOperationEngine::remove(const QByteArray &source, bool toTrash, bool moreFollow)
{
    struct stat info {};
    if (m_ops.lstat(source, &info) != 0) {
        fail(FileOperationTexts::failed(Operation::Delete, source, errno));
        return Step::Stop;
    }
    if (toTrash) {
        FreedesktopTrash trash(m_ops);
        const FreedesktopTrash::Result result = trash.moveToTrash(source);
        if (result.outcome == FreedesktopTrash::Outcome::Trashed)
            return Step::Done;
        if (result.outcome == FreedesktopTrash::Outcome::Failed) {
            fail(FileOperationTexts::failed(Operation::Delete, source, result.error));
            return Step::Stop;
        }
        FileOperationQuestions::Answer answer = m_permanentAll;
        if (!m_permanentAllSet) {
            const FileOperationQuestions::Reply reply = m_questions.askDeletePermanently(source, moreFollow);
            answer = reply.answer;
            if (reply.applyToAll && answer != FileOperationQuestions::Answer::Cancel) {
                m_permanentAllSet = true;
                m_permanentAll = answer;
            }
        }
        if (answer == FileOperationQuestions::Answer::Skip)
            return Step::Skipped;
        if (answer == FileOperationQuestions::Answer::Cancel)
            return Step::Stop;
    }
    if (S_ISDIR(info.st_mode)) {
        fail(FileOperationTexts::notAFile(Operation::Delete, source));
        return Step::Stop;
    }
    if (m_ops.unlink(source) != 0) {
        fail(FileOperationTexts::failed(Operation::Delete, source, errno));
        return Step::Stop;
    }
    return Step::Done;
}

} // namespace pelandor
