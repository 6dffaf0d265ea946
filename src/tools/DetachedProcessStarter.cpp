#include "tools/DetachedProcessStarter.h"
#include "platform/NativeName.h"

#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace pelandor {

namespace {

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool DetachedProcessStarter::startDetached(const QString &program, const QStringList &arguments, QString *errorText)
{
    // A bare name is looked up on PATH, as a shell would; a path is taken as
    // it is.
    const QString found = program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    if (found.isEmpty()) {
        *errorText = reasonOf(ENOENT);
        return false;
    }
    // Everything the child needs is made before the fork: a child of a
    // threaded process may only make calls that take no lock.
    const QByteArray file = NativeName::encode(found);
    std::vector<QByteArray> bytes{NativeName::encode(program)};
    for (const QString &argument : arguments)
        bytes.push_back(NativeName::encode(argument));
    std::vector<char *> argv;
    for (QByteArray &argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    // The highest descriptor number there can be, for the child's fallback.
    const long openMax = ::sysconf(_SC_OPEN_MAX);
    const int lastFd = openMax > 0 && openMax < (1 << 20) ? int(openMax) - 1 : (1 << 16) - 1;

    // The grandchild reports a failed exec through the pipe; a successful
    // one closes it (close-on-exec) and the read sees its end.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        *errorText = reasonOf(errno);
        return false;
    }
    const pid_t middle = ::fork();
    if (middle < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        *errorText = reasonOf(error);
        return false;
    }
    if (middle == 0) {
        // The middle process only forks the tool and ends, so the tool is
        // nobody's child to wait for, and it leaves our session.
        ::close(report[0]);
        ::setsid();
        const pid_t tool = ::fork();
        if (tool == 0) {
            // The tool starts with the signal state of a fresh process, not
            // with whatever this program ignores or blocks.
            ::signal(SIGPIPE, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            // Only standard input, output and error go to the tool: every
            // other descriptor (also those this program itself inherited)
            // closes at the exec, the report pipe with them.
            if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
                for (int fd = 3; fd <= lastFd; ++fd)
                    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            }
            ::execv(file.constData(), argv.data());
            const int error = errno;
            [[maybe_unused]] const ssize_t n = ::write(report[1], &error, sizeof error);
            ::_exit(127);
        }
        if (tool < 0) {
            const int error = errno;
            [[maybe_unused]] const ssize_t n = ::write(report[1], &error, sizeof error);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (n == ssize_t(sizeof error)) {
        *errorText = reasonOf(error);
        return false;
    }
    return true;
}

} // namespace pelandor
