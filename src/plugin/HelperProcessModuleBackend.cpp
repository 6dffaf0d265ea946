// Host side of the module host helper. The helper is started with
// posix_spawn (it sets its own parent-death signal and checks that its parent
// is still this process), gets its end of a socket pair as descriptor 3 and
// /dev/null as standard output, and no other descriptor of ours.
#include "plugin/HelperProcessModuleBackend.h"

#include "plugin/ModuleHostProtocol.h"

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
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
    : m_helperPath(std::move(helperPath))
    , m_timeoutMs(callTimeoutMs)
{
}

HelperProcessModuleBackend::~HelperProcessModuleBackend()
{
    unload();
}

bool HelperProcessModuleBackend::load(const std::string &path)
{
    unload();
    m_timedOutPath.clear();
    if (path.empty() || path.front() != '/')
        return false;
    m_modulePath = path;
    if (!start(nowMs() + m_timeoutMs)) {
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
    posix_spawn_file_actions_addclosefrom_np(&actions, HelperSocketFd + 1);
    const std::string parent = std::to_string(::getpid());
    char *argv[] = {m_helperPath.data(), const_cast<char *>(parent.c_str()), m_modulePath.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, m_helperPath.c_str(), &actions, nullptr, argv, environ);
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
    if (receiveMessage(m_socket, body, &fd, deadline, m_whileWaiting)) {
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
        ::kill(m_pid, SIGKILL);
    // Without its socket the helper exits at once; one that does not is killed.
    const int64_t deadline = nowMs() + ExitGraceMs;
    int status = 0;
    for (long pauseNs = 50000;; pauseNs = std::min(pauseNs * 2, 20000000L)) {
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid || (done < 0 && errno != EINTR))
            break;
        if (nowMs() >= deadline) {
            ::kill(m_pid, SIGKILL);
            while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        const timespec pause{0, pauseNs};
        ::nanosleep(&pause, nullptr);
    }
    m_pid = -1;
}

bool HelperProcessModuleBackend::call(const char *path, const std::string &request, int fd, std::string &reply,
                                      int *replyFd)
{
    *replyFd = -1;
    if (!isLoaded())
        return false;
    const std::string file = path ? path : "";
    if (!m_timedOutPath.empty()) {
        if (file == m_timedOutPath)
            return false;
        m_timedOutPath.clear();
    }
    const int64_t deadline = nowMs() + m_timeoutMs;
    if (m_pid <= 0 && !start(deadline))
        return false;
    // A reply is the answer to its request when it names the same call.
    if (sendMessage(m_socket, request, fd, deadline, m_whileWaiting)
        && receiveMessage(m_socket, reply, replyFd, deadline, m_whileWaiting)
        && reply.front() == request.front())
        return true;
    if (*replyFd >= 0)
        ::close(*replyFd);
    *replyFd = -1;
    if (nowMs() >= deadline)
        m_timedOutPath = file;
    stop(true);
    return false;
}

int32_t HelperProcessModuleBackend::getPluginInfo(int32_t infoNo, char *buffer, int32_t length)
{
    PluginInfoRequest request;
    request.infoNo = infoNo;
    request.length = std::min(length, MaxInfoLength);
    request.hasBuffer = buffer != nullptr;
    if (buffer)
        request.buffer.assign(buffer, request.carried());
    std::string reply;
    int fd = -1;
    if (!call(nullptr, request.encode(), -1, reply, &fd))
        return -1;
    Reader in(reply);
    PluginInfoAnswer answer;
    if (!answer.decode(in, request.carried()))
        return -1;
    if (buffer)
        std::memcpy(buffer, answer.buffer.data(), answer.buffer.size());
    return answer.result;
}

int32_t HelperProcessModuleBackend::isSupported(const char *path, uint32_t data)
{
    FileRequest request;
    request.path = path ? path : "";
    // A number that is no open descriptor of ours goes over as none.
    const int fd = ::fcntl(int(data), F_GETFD) >= 0 ? int(data) : -1;
    const off_t position = fd >= 0 ? ::lseek(fd, 0, SEEK_CUR) : 0;
    request.position = position > 0 ? int64_t(position) : 0;
    std::string reply;
    int replyFd = -1;
    if (!call(path, request.encode(), fd, reply, &replyFd))
        return 0;
    Reader in(reply);
    ResultAnswer answer;
    return answer.decode(in, Op::IsSupported) ? answer.result : 0;
}

int32_t HelperProcessModuleBackend::getPictureInfo(const char *source, int32_t offset, uint32_t flag,
                                                   PictureInfo *info)
{
    PictureInfoRequest request;
    request.offset = offset;
    request.flag = flag;
    request.path = source ? source : "";
    std::string reply;
    int fd = -1;
    if (!call(source, request.encode(), -1, reply, &fd))
        return ModuleFailedResult;
    Reader in(reply);
    PictureInfoAnswer answer;
    if (!answer.decode(in))
        return ModuleFailedResult;
    if (info)
        *info = answer.info;
    return answer.result;
}

int32_t HelperProcessModuleBackend::getPicture(const char *source, int32_t offset, uint32_t flag,
                                               SpiHandle *bitmapInfo, SpiHandle *bitmapBits,
                                               SpiProgressCallback progress, int32_t callbackData)
{
    // A callback of this process cannot be called from the helper.
    if (progress)
        return ModuleFailedResult;
    PictureRequest request;
    request.offset = offset;
    request.flag = flag;
    request.callbackData = callbackData;
    request.path = source ? source : "";
    std::string reply;
    int fd = -1;
    if (!call(source, request.encode(), -1, reply, &fd))
        return ModuleFailedResult;
    Reader in(reply);
    PictureAnswer answer;
    const bool read = answer.decode(in);
    const int32_t result = answer.result;
    const uint8_t stored = answer.stored;
    const uint64_t infoSize = answer.infoSize;
    const uint64_t bitsSize = answer.bitsSize;
    if (fd >= 0)
        m_area.reset(fd);
    if (!read || !stored)
        return read ? result : ModuleFailedResult;
    void *infoBlock = (stored & InfoStored) ? m_area.copyBlock(0, infoSize) : nullptr;
    void *bitsBlock = (stored & BitsStored) ? m_area.copyBlock(infoSize, bitsSize) : nullptr;
    if ((!infoBlock && (stored & InfoStored)) || (!bitsBlock && (stored & BitsStored))) {
        // An area that cannot be read is a failed helper: the next call
        // starts a new one with a new area.
        std::free(infoBlock);
        std::free(bitsBlock);
        stop(true);
        return ModuleFailedResult;
    }
    if (stored & SameBlock)
        bitsBlock = infoBlock;
    if (infoBlock && bitmapInfo)
        *bitmapInfo = infoBlock;
    else if (infoBlock != bitsBlock)
        std::free(infoBlock);
    if (bitsBlock && bitmapBits)
        *bitmapBits = bitsBlock;
    else if (bitsBlock && bitsBlock != infoBlock)
        std::free(bitsBlock);
    return result;
}

} // namespace pelandor
