// One non-blocking open checked to be a regular file, a size query, a read of
// the signature (or the header), one read of the rest: no mapping, so a file that shrinks while it is read
// gives a short read instead of a fault.
#include "decode/ImageFile.h"
#include "platform/NativeName.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelandor {

namespace {

// Closes the descriptor on every path.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Reads exactly `length` bytes from `at`; false when the file ends first.
bool readAt(int fd, char *buffer, qint64 length, qint64 at)
{
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, buffer + done, size_t(length - done), off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

ImageFileData readImageFile(const QString &path, QByteArrayView signature)
{
    return readImageFileJudged(path, signature, signature.size(), [](QByteArrayView, qint64 fileSize) {
        return fileSize;
    });
}

ImageFileData readImageFileJudged(const QString &path, QByteArrayView signature, qint64 headLength,
                                  const ImageFileJudge &judge)
{
    ImageFileData result;
    if (path.isEmpty())
        return result;
    // Opening a FIFO or a device without O_NONBLOCK could wait for ever, also
    // when one was renamed over the file a moment ago; only regular files are
    // read, and reading those never waits on the flag.
    const QByteArray local = NativeName::encode(path);
    const FileDescriptor file(::open(local.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return result;
    const qint64 size = st.st_size;
    if (size < 0 || size > MaxImageFileSize)
        return result;
    if (size == 0) {
        result.status = ImageFileStatus::Read;
        return result;
    }
    const qint64 head = qMin<qint64>(qMax<qint64>(signature.size(), headLength), size);
    QByteArray prefix(head, Qt::Uninitialized);
    if (!readAt(file.get(), prefix.data(), head, 0))
        return result;
    if (prefix.size() < signature.size() || !prefix.startsWith(signature)) {
        result.status = ImageFileStatus::WrongSignature;
        return result;
    }
    const qint64 wanted = judge(QByteArrayView(prefix), size);
    if (wanted < 0 || wanted > size)
        return result;
    if (wanted <= head) {
        prefix.truncate(wanted);
        result.status = ImageFileStatus::Read;
        result.bytes = std::move(prefix);
        return result;
    }
    QByteArray data(wanted, Qt::Uninitialized);
    std::copy(prefix.cbegin(), prefix.cend(), data.begin());
    if (!readAt(file.get(), data.data() + head, wanted - head, head))
        return result;
    result.status = ImageFileStatus::Read;
    result.bytes = std::move(data);
    return result;
}

} // namespace pelandor
