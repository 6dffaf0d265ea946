// Framing of the module host protocol: whole messages over a stream socket,
// with at most one descriptor beside each, and plain bytes over pipes; with a
// deadline for the program's side.
#include "plugin/ModuleHostProtocol.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace pelandor::modulehost {

namespace {

// Waits until `socket` is ready for `events` or the deadline passes, calling
// whileWaiting between short waits when there is one.
bool waitFor(int socket, short events, int64_t deadline, const WaitHook &whileWaiting)
{
    for (;;) {
        int timeout = -1;
        if (deadline >= 0) {
            const int64_t left = deadline - nowMs();
            if (left <= 0)
                return false;
            timeout = int(left);
        }
        if (whileWaiting && (timeout < 0 || timeout > WaitHookIntervalMs))
            timeout = WaitHookIntervalMs;
        pollfd p{socket, events, 0};
        const int n = ::poll(&p, 1, timeout);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
        if (n == 0 && whileWaiting)
            whileWaiting();
    }
}

void closeReceived(msghdr &message)
{
    for (cmsghdr *c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
            ::close(fd);
        }
    }
}

// Reads `size` bytes; the first descriptor that comes with them goes to
// `*fd` when that is -1, any other is closed.
bool receiveBytes(int socket, char *out, size_t size, int *fd, int64_t deadline, const WaitHook &whileWaiting)
{
    size_t done = 0;
    while (done < size) {
        iovec io{out + done, size - done};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)];
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(socket, POLLIN, deadline, whileWaiting))
                continue;
            return false;
        }
        if (n == 0)
            return false;
        cmsghdr *c = CMSG_FIRSTHDR(&message);
        if (c && c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS && *fd < 0
            && c->cmsg_len == CMSG_LEN(sizeof(int))) {
            std::memcpy(fd, CMSG_DATA(c), sizeof(int));
        } else {
            closeReceived(message);
        }
        done += size_t(n);
    }
    return true;
}

} // namespace

int64_t nowMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

bool sendMessage(int socket, const std::string &body, int fd, int64_t deadline, const WaitHook &whileWaiting)
{
    if (body.size() > MaxMessage)
        return false;
    std::string framed;
    const uint32_t size = uint32_t(body.size());
    framed.append(reinterpret_cast<const char *>(&size), sizeof size);
    framed.append(body);
    size_t done = 0;
    bool fdSent = fd < 0;
    while (done < framed.size()) {
        iovec io{framed.data() + done, framed.size() - done};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        if (!fdSent) {
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            cmsghdr *c = CMSG_FIRSTHDR(&message);
            c->cmsg_level = SOL_SOCKET;
            c->cmsg_type = SCM_RIGHTS;
            c->cmsg_len = CMSG_LEN(sizeof(int));
            std::memcpy(CMSG_DATA(c), &fd, sizeof(int));
        }
        const ssize_t n = ::sendmsg(socket, &message, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(socket, POLLOUT, deadline, whileWaiting))
                continue;
            return false;
        }
        fdSent = true;
        done += size_t(n);
    }
    return true;
}

bool receiveMessage(int socket, std::string &body, int *fd, int64_t deadline, const WaitHook &whileWaiting)
{
    *fd = -1;
    uint32_t size = 0;
    bool ok = receiveBytes(socket, reinterpret_cast<char *>(&size), sizeof size, fd, deadline, whileWaiting) && size >= 1
        && size <= MaxMessage;
    if (ok) {
        body.resize(size);
        ok = receiveBytes(socket, body.data(), size, fd, deadline, whileWaiting);
    }
    if (!ok && *fd >= 0) {
        ::close(*fd);
        *fd = -1;
    }
    return ok;
}

bool readFully(int fd, void *out, size_t size, int64_t deadline, const WaitHook &whileWaiting)
{
    auto *at = static_cast<char *>(out);
    while (size > 0) {
        const ssize_t n = ::read(fd, at, size);
        if (n > 0) {
            at += n;
            size -= size_t(n);
        } else if (n == 0) {
            return false;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFor(fd, POLLIN, deadline, whileWaiting))
                return false;
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

namespace {

// Keeps SIGPIPE away from this thread while it writes into a pipe whose
// reader may have died: the write fails with EPIPE instead, and a SIGPIPE it
// raised is taken off the thread again. One that was already pending stays.
class NoPipeSignal {
public:
    NoPipeSignal()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~NoPipeSignal()
    {
        if (!m_wasPending) {
            const timespec none{0, 0};
            while (sigtimedwait(&m_pipe, nullptr, &none) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    NoPipeSignal(const NoPipeSignal &) = delete;
    NoPipeSignal &operator=(const NoPipeSignal &) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_old;
    bool m_wasPending = false;
};

} // namespace

bool writeFully(int fd, const void *data, size_t size, int64_t deadline, const WaitHook &whileWaiting)
{
    const NoPipeSignal noPipeSignal;
    const auto *at = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, at, size);
        if (n > 0) {
            at += n;
            size -= size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, deadline, whileWaiting))
                return false;
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

} // namespace pelandor::modulehost
