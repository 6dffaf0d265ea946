// Host side of the module host helper. The helper is started with
// posix_spawn (it sets its own parent-death signal and checks that its parent
// is still this process) in a process group of its own, gets its end of a
// socket pair as descriptor 3 and /dev/null as standard output and error, and
// no other descriptor of ours: a module that prints, floods or leaves a child
// behind never holds or fills the program's output. The group is ended with
// the helper, so a child the module forked goes with it.
#include "plugin/HelperProcessModuleBackend.h"

#include "plugin/ModuleHostProtocol.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <utility>

extern char **environ;

namespace pelandor {

using namespace modulehost;

namespace {

// How long a helper whose socket was closed may take to exit by itself.
constexpr int64_t ExitGraceMs = 2000;

} // namespace

HelperProcessModuleBackend::HelperProcessModuleBackend(std::string helperPath, int callTimeoutMs)
    : RemoteModuleBackend(callTimeoutMs)
    , m_helperPath(std::move(helperPath))
{
}

HelperProcessModuleBackend::~HelperProcessModuleBackend()
{
    unload();
}

bool HelperProcessModuleBackend::load(const std::string &path)
{
    unload();
    forgetTimedOutFile();
    if (path.empty() || path.front() != '/')
        return false;
    m_modulePath = path;
    if (!start(nowMs() + timeoutMs())) {
        m_modulePath.clear();
        return false;
    }
    return true;
}

void HelperProcessModuleBackend::unload()
{
    stop(false);
    m_modulePath.clear();
}

bool HelperProcessModuleBackend::start(int64_t deadline)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], HelperSocketFd);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, HelperSocketFd + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const std::string parent = std::to_string(::getpid());
    char *argv[] = {m_helperPath.data(), const_cast<char *>(parent.c_str()), m_modulePath.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, m_helperPath.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (spawned != 0) {
        ::close(pair[0]);
        return false;
    }
    m_pid = pid;
    m_socket = pair[0];
    ::fcntl(m_socket, F_SETFL, ::fcntl(m_socket, F_GETFL) | O_NONBLOCK);

    std::string body;
    int fd = -1;
    int32_t loaded = 0;
    if (receiveMessage(m_socket, body, &fd, deadline, whileWaiting())) {
        Reader in(body);
        Op op{};
        if (!in.op(op) || op != Op::Ready || !in.get(loaded))
            loaded = 0;
    }
    if (fd >= 0)
        ::close(fd);
    if (loaded != 1) {
        stop(true);
        return false;
    }
    return true;
}

void HelperProcessModuleBackend::stop(bool kill)
{
    m_area.reset();
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
    if (m_pid <= 0)
        return;
    if (kill)
        ::kill(-m_pid, SIGKILL);
    // Without its socket the helper exits at once; one that does not is
    // killed. Whatever else is left in its group (a child the module forked)
    // is killed before the helper is reaped, while the group's number is
    // still surely ours.
    const int64_t deadline = nowMs() + ExitGraceMs;
    for (long pauseNs = 50000;; pauseNs = std::min(pauseNs * 2, 20000000L)) {
        siginfo_t info{};
        const int waited = ::waitid(P_PID, id_t(m_pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if (waited == 0 && info.si_pid == m_pid)
            break;
        if (waited < 0 && errno != EINTR)
            break;
        if (nowMs() >= deadline) {
            ::kill(-m_pid, SIGKILL);
            break;
        }
        const timespec pause{0, pauseNs};
        ::nanosleep(&pause, nullptr);
    }
    ::kill(-m_pid, SIGKILL);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
}

bool HelperProcessModuleBackend::exchange(const std::string &request, int fd, std::string &reply, int *replyFd,
                                          int64_t &deadline)
{
    if (m_pid <= 0 && !start(deadline))
        return false;
    if (sendMessage(m_socket, request, fd, deadline, whileWaiting())
        && receiveMessage(m_socket, reply, replyFd, deadline, whileWaiting()))
        return true;
    stop(true);
    return false;
}

bool HelperProcessModuleBackend::receiveBlocks(PictureAnswer &answer, int replyFd, int64_t &, void *&infoBlock,
                                               void *&bitsBlock)
{
    // The area comes with the first answer that uses it.
    if (replyFd >= 0)
        m_area.reset(replyFd);
    // A block out of measure is left in the area: the caller gets none.
    const bool takeInfo = (answer.stored & InfoStored) && infoBlockFits(answer.infoSize);
    infoBlock = takeInfo ? m_area.copyBlock(0, answer.infoSize) : nullptr;
    bool complete = infoBlock || !takeInfo;
    // The bits block is measured against its header before it is copied.
    const bool takeBits = complete && (answer.stored & BitsStored) && infoBlock
        && bitsBlockFits(infoBlock, answer.infoSize, answer.bitsSize);
    if (takeBits) {
        bitsBlock = m_area.copyBlock(answer.infoSize, answer.bitsSize);
        complete = bitsBlock != nullptr;
    }
    if (complete) {
        // An area grown for a large picture is not kept: the helper drops
        // it too and makes a new one for the next picture.
        if (m_area.size() > LargeArea)
            m_area.reset();
        return true;
    }
    // An area that cannot be read is a failed helper: the next call starts a new one with a new area.
    std::free(infoBlock);
    std::free(bitsBlock);
    infoBlock = bitsBlock = nullptr;
    stop(true);
    return false;
}

} // namespace pelandor
