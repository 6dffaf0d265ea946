// The Windows module host under Wine. Children are started with fork and
// exec rather than posix_spawn so that they can ask for the kill signal on
// this process's death before they exec (Wine's loader keeps it). Wine is
// run with its debug output off, in the program's own prefix, with the
// installers of Mono and Gecko, the menu builder and the crash debugger
// disabled, and without a display, so that no Wine window ever appears.
#include "plugin/WineModuleHost.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <vector>

extern char **environ;

namespace pelandor {

using namespace modulehost;

namespace {

// A first start that has to make the prefix takes Wine many seconds.
constexpr int64_t NewPrefixStartMs = 180000;
// The pipe buffer for pictures (the most an unprivileged process may ask
// for by default).
constexpr int PictureBufferSize = 1 << 20;
// How long the host may take to go once its pipes are closed.
constexpr int64_t HostExitGraceMs = 1000;
// How long `wineserver -k` may take to end the prefix's processes.
constexpr int64_t ServerEndMs = 5000;
// Whether a Wine server we started is still there after this long tells
// whether it holds the prefix or found another server holding it.
constexpr int64_t ServerSettleMs = 100;

const char *const OwnVariables[] = {"WINEPREFIX=", "WINEDEBUG=", "WINEDLLOVERRIDES=", "WINEARCH=", "WINESERVER=",
                                    "WINELOADER=", "DISPLAY=", "WAYLAND_DISPLAY="};

void pause(long ns)
{
    const timespec t{0, ns};
    ::nanosleep(&t, nullptr);
}

// Waits for `pid` until `deadline`; true when it was reaped.
bool reap(pid_t pid, int64_t deadline)
{
    for (long pauseNs = 50000;; pauseNs = std::min(pauseNs * 2, 20000000L)) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            return true;
        if (nowMs() >= deadline)
            return false;
        pause(pauseNs);
    }
}

void killAndReap(pid_t pid)
{
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Starts `argv` with `environment`, standard input and output on `in` and
// `out` (-1: /dev/null), standard error on /dev/null, in a process group of
// its own, killed when this process dies. -1 when it cannot be started.
pid_t startChild(const std::vector<std::string> &argv, const std::vector<std::string> &environment, int in, int out)
{
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char *> env;
    for (const std::string &entry : environment)
        env.push_back(const_cast<char *>(entry.c_str()));
    env.push_back(nullptr);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0)
        return -1;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        ::setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::dup2(in >= 0 ? in : null, STDIN_FILENO) < 0 || ::dup2(out >= 0 ? out : null, STDOUT_FILENO) < 0
            || ::dup2(null, STDERR_FILENO) < 0)
            ::_exit(127);
        ::close_range(3, ~0u, 0);
        ::execve(args[0], args.data(), env.data());
        ::_exit(127);
    }
    ::close(null);
    return pid;
}

bool isRegularFile(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

uint16_t le16(const unsigned char *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t le32(const unsigned char *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// The registry of kept hosts, one per setup.
std::map<WineModuleHost::Setup, std::shared_ptr<WineModuleHost>> &keptHosts()
{
    static std::map<WineModuleHost::Setup, std::shared_ptr<WineModuleHost>> hosts;
    return hosts;
}

// Further hosts of a setup, made while the kept one was busy; each ends with
// the last module that uses it.
std::map<WineModuleHost::Setup, std::vector<std::weak_ptr<WineModuleHost>>> &extraHosts()
{
    static std::map<WineModuleHost::Setup, std::vector<std::weak_ptr<WineModuleHost>>> hosts;
    return hosts;
}

// Marks a host busy for as long as one exchange with it runs.
class BusyMark {
public:
    explicit BusyMark(int &depth)
        : m_depth(depth)
    {
        ++m_depth;
    }
    ~BusyMark() { --m_depth; }
    BusyMark(const BusyMark &) = delete;
    BusyMark &operator=(const BusyMark &) = delete;

private:
    int &m_depth;
};

} // namespace

bool WineModuleHost::Setup::operator<(const Setup &other) const
{
    return std::tie(loader, server, hostExe, prefix, aliasDir, transport)
        < std::tie(other.loader, other.server, other.hostExe, other.prefix, other.aliasDir, other.transport);
}

WineModuleHost::Machine WineModuleHost::machineOf(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Machine::Native;
    unsigned char dos[64] = {};
    unsigned char pe[6] = {};
    Machine machine = Machine::Native;
    if (::pread(fd, dos, sizeof dos, 0) == ssize_t(sizeof dos) && dos[0] == 'M' && dos[1] == 'Z') {
        const uint32_t at = le32(dos + 0x3c);
        if (::pread(fd, pe, sizeof pe, off_t(at)) == ssize_t(sizeof pe) && std::memcmp(pe, "PE\0\0", 4) == 0) {
            const uint16_t type = le16(pe + 4);
            machine = type == 0x8664 ? Machine::Win64 : type == 0x014c ? Machine::Win32 : Machine::OtherWindows;
        }
    }
    ::close(fd);
    return machine;
}

std::shared_ptr<WineModuleHost> WineModuleHost::instance(const Setup &setup)
{
    std::shared_ptr<WineModuleHost> &kept = keptHosts()[setup];
    if (!kept)
        kept = std::make_shared<WineModuleHost>(setup);
    if (!kept->busy())
        return kept;
    // A command that runs while another waits for the host (the window
    // pumps its events then) gets a host of its own: one pipe carries one
    // exchange at a time.
    std::vector<std::weak_ptr<WineModuleHost>> &extra = extraHosts()[setup];
    std::erase_if(extra, [](const std::weak_ptr<WineModuleHost> &host) { return host.expired(); });
    for (const std::weak_ptr<WineModuleHost> &candidate : extra) {
        std::shared_ptr<WineModuleHost> host = candidate.lock();
        if (host && !host->busy())
            return host;
    }
    auto host = std::make_shared<WineModuleHost>(setup);
    extra.push_back(host);
    return host;
}

void WineModuleHost::endAll()
{
    extraHosts().clear();
    keptHosts().clear();
}

WineModuleHost::WineModuleHost(Setup setup)
    : m_setup(std::move(setup))
{
}

WineModuleHost::~WineModuleHost()
{
    stopHost(false);
    endServer();
    for (const auto &alias : m_aliases)
        ::unlink(alias.second.second.c_str());
    if (!m_privateFolder.empty())
        ::rmdir(m_privateFolder.c_str());
}

bool WineModuleHost::prefixIsNew() const
{
    // Wine writes this stamp once it has filled or updated the prefix.
    return !isRegularFile(m_setup.prefix + "/.update-timestamp");
}

namespace {

std::vector<std::string> wineEnvironment(const std::string &prefix)
{
    std::vector<std::string> env;
    for (char **entry = environ; entry && *entry; ++entry) {
        const bool own = std::any_of(std::begin(OwnVariables), std::end(OwnVariables), [entry](const char *name) {
            return std::strncmp(*entry, name, std::strlen(name)) == 0;
        });
        if (!own)
            env.emplace_back(*entry);
    }
    env.push_back("WINEPREFIX=" + prefix);
    env.emplace_back("WINEDEBUG=-all");
    env.emplace_back("WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe,winedbg.exe=");
    return env;
}

} // namespace

void WineModuleHost::holdServer()
{
    int status = 0;
    if (m_serverPid > 0 && ::waitpid(m_serverPid, &status, WNOHANG) != 0)
        m_serverPid = -1; // ended from outside (`wineserver -k` of another run)
    if (m_serverPid > 0 || m_setup.server.empty())
        return;
    m_serverPid = startChild({m_setup.server, "-f", "-p"}, wineEnvironment(m_setup.prefix), -1, -1);
    if (m_serverPid <= 0)
        return;
    // A server that is already there for the prefix makes ours quit at once;
    // the prefix is then held by whoever started that one.
    if (reap(m_serverPid, nowMs() + ServerSettleMs))
        m_serverPid = -1;
}

void WineModuleHost::endServer()
{
    if (m_serverPid <= 0)
        return;
    int status = 0;
    if (::waitpid(m_serverPid, &status, WNOHANG) == 0) {
        // The server ends every process of the prefix (the ones Wine starts
        // for itself too), then itself.
        const pid_t killer = startChild({m_setup.server, "-k"}, wineEnvironment(m_setup.prefix), -1, -1);
        if (killer > 0 && !reap(killer, nowMs() + ServerEndMs))
            killAndReap(killer);
        if (!reap(m_serverPid, nowMs() + ServerEndMs))
            killAndReap(m_serverPid);
    }
    m_serverPid = -1;
}

bool WineModuleHost::startHost(int64_t deadline, const WaitHook &whileWaiting)
{
    const BusyMark busy(m_depth);
    if (m_setup.loader.empty() || !isRegularFile(m_setup.hostExe))
        return false;
    if (prefixIsNew()) {
        // Wine fills a new prefix on the first start; its folder is made
        // here, private, so that the server can be started in it first.
        for (size_t at = 1; at <= m_setup.prefix.size(); ++at) {
            if (at == m_setup.prefix.size() || m_setup.prefix[at] == '/')
                ::mkdir(m_setup.prefix.substr(0, at).c_str(), 0700);
        }
        deadline = std::max(deadline, nowMs() + NewPrefixStartMs);
    }
    holdServer();
    int toHost[2];
    int fromHost[2];
    if (::pipe2(toHost, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(fromHost, O_CLOEXEC) != 0) {
        ::close(toHost[0]);
        ::close(toHost[1]);
        return false;
    }
    // The area for pictures; the host is told its path and opens it.
    std::vector<std::string> argv{m_setup.loader, m_setup.hostExe};
    if (m_setup.transport != Setup::Transport::Pipe && m_area.create())
        argv.push_back(m_area.procPath());
    m_hostPid = startChild(argv, wineEnvironment(m_setup.prefix), toHost[0], fromHost[1]);
    ::close(toHost[0]);
    ::close(fromHost[1]);
    m_toHost = toHost[1];
    m_fromHost = fromHost[0];
    if (m_hostPid <= 0) {
        stopHost(true);
        return false;
    }
    ::fcntl(m_toHost, F_SETFL, ::fcntl(m_toHost, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_fromHost, F_SETFL, ::fcntl(m_fromHost, F_GETFL) | O_NONBLOCK);
    // Pictures cross this pipe: a larger buffer means fewer turns, and under
    // Wine each full buffer costs the host a round trip to its server.
    ::fcntl(m_fromHost, F_SETPIPE_SZ, PictureBufferSize);
    std::string ready;
    uint32_t header[2] = {};
    int32_t served = 0;
    if (readFully(m_fromHost, header, sizeof header, deadline, whileWaiting) && header[0] >= 1
        && header[0] <= MaxMessage) {
        ready.resize(header[0]);
        Reader in(ready);
        if (!readFully(m_fromHost, ready.data(), ready.size(), deadline, whileWaiting) || !in.expect(Op::Ready)
            || !in.get(served))
            served = 0;
    }
    if (served != 1) {
        stopHost(true);
        return false;
    }
    return true;
}

void WineModuleHost::stopHost(bool kill)
{
    if (m_toHost >= 0)
        ::close(m_toHost);
    if (m_fromHost >= 0)
        ::close(m_fromHost);
    m_area.reset();
    m_toHost = -1;
    m_fromHost = -1;
    m_loaded.clear();
    if (m_hostPid <= 0)
        return;
    // Without its input the host ends by itself; one that does not, and
    // whatever it started, is killed with its process group.
    if (kill || !reap(m_hostPid, nowMs() + HostExitGraceMs)) {
        ::kill(-m_hostPid, SIGKILL);
        killAndReap(m_hostPid);
    }
    m_hostPid = -1;
}

bool WineModuleHost::sendFrame(uint32_t module, const std::string &request, int64_t deadline,
                               const WaitHook &whileWaiting)
{
    if (request.empty() || request.size() > MaxMessage || m_toHost < 0)
        return false;
    std::string frame(8, '\0');
    const uint32_t header[2] = {uint32_t(request.size()), module};
    std::memcpy(frame.data(), header, sizeof header);
    frame += request;
    return writeFully(m_toHost, frame.data(), frame.size(), deadline, whileWaiting);
}

void WineModuleHost::post(uint32_t module, const std::string &request)
{
    if (!sendFrame(module, request, nowMs() + HostExitGraceMs, {}))
        stopHost(true);
}

bool WineModuleHost::exchange(uint32_t module, const std::string &request, std::string &answer, int64_t deadline,
                              const WaitHook &whileWaiting)
{
    // A caller that reached this host from inside another's wait would mix
    // their messages; instance() gives it another host, so this is only a
    // guard.
    if (m_depth > 0)
        return false;
    const BusyMark busy(m_depth);
    uint32_t reply[2] = {};
    if (!sendFrame(module, request, deadline, whileWaiting)
        || !readFully(m_fromHost, reply, sizeof reply, deadline, whileWaiting) || reply[0] < 1
        || reply[0] > MaxMessage || reply[1] != module)
        return false;
    answer.resize(reply[0]);
    // An answer belongs to its request when it names the same operation.
    return readFully(m_fromHost, answer.data(), answer.size(), deadline, whileWaiting)
        && answer.front() == request.front();
}

bool WineModuleHost::ensureLoaded(uint32_t module, int64_t &deadline, const WaitHook &whileWaiting)
{
    if (m_hostPid > 0) {
        // A host that went away between calls (ended from outside) is
        // replaced before the call rather than failing it.
        int status = 0;
        if (::waitpid(m_hostPid, &status, WNOHANG) != 0) {
            m_hostPid = -1;
            stopHost(true);
        }
    }
    if (m_hostPid <= 0) {
        // The time Wine takes to fill a new prefix is not the module's.
        const bool newPrefix = prefixIsNew();
        const int64_t before = nowMs();
        if (!startHost(deadline, whileWaiting))
            return false;
        if (newPrefix)
            deadline += nowMs() - before;
    }
    if (m_loaded.count(module))
        return true;
    const auto found = m_modules.find(module);
    if (found == m_modules.end())
        return false;
    std::string answer;
    if (!exchange(module, LoadRequest{spell(found->second, "module" + std::to_string(module))}.encode(), answer,
                  deadline, whileWaiting)) {
        stopHost(true);
        return false;
    }
    Reader in(answer);
    ResultAnswer loaded;
    if (!loaded.decode(in, Op::LoadModule) || loaded.result != 1)
        return false;
    m_loaded.insert(module);
    return true;
}

uint32_t WineModuleHost::addModule(const std::string &path, int64_t deadline, const WaitHook &whileWaiting)
{
    const uint32_t module = m_nextModule++;
    m_modules[module] = path;
    if (!ensureLoaded(module, deadline, whileWaiting)) {
        m_modules.erase(module);
        return 0;
    }
    return module;
}

void WineModuleHost::removeModule(uint32_t module)
{
    if (m_loaded.count(module) && m_hostPid > 0) {
        std::string answer;
        Writer out(Op::UnloadModule);
        if (!exchange(module, out.body(), answer, nowMs() + HostExitGraceMs, {}))
            stopHost(true);
    }
    m_loaded.erase(module);
    m_modules.erase(module);
    const auto alias = m_aliases.find("module" + std::to_string(module));
    if (alias != m_aliases.end()) {
        ::unlink(alias->second.second.c_str());
        m_aliases.erase(alias);
    }
}

bool WineModuleHost::call(uint32_t module, const std::string &request, std::string &answer, int64_t &deadline,
                          const WaitHook &whileWaiting)
{
    if (!ensureLoaded(module, deadline, whileWaiting))
        return false;
    if (exchange(module, request, answer, deadline, whileWaiting))
        return true;
    stopHost(true);
    return false;
}

bool WineModuleHost::readBlock(void *out, size_t size, int64_t deadline, const WaitHook &whileWaiting)
{
    const BusyMark busy(m_depth);
    if (m_fromHost < 0 || !readFully(m_fromHost, out, size, deadline, whileWaiting)) {
        stopHost(true);
        return false;
    }
    return true;
}

bool WineModuleHost::readHostMemory(void *out, uint64_t address, size_t size)
{
    if (m_hostPid <= 0 || m_setup.transport != Setup::Transport::Direct)
        return false;
    auto *at = static_cast<char *>(out);
    while (size > 0) {
        iovec local{at, size};
        iovec remote{reinterpret_cast<void *>(uintptr_t(address)), size};
        const ssize_t n = ::process_vm_readv(m_hostPid, &local, 1, &remote, 1, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        size -= size_t(n);
        address += uint64_t(n);
    }
    return true;
}

bool WineModuleHost::readShared(void *out, uint64_t size, uint64_t offset)
{
    if (m_area.read(out, offset, size))
        return true;
    stopHost(true);
    return false;
}

const std::string &WineModuleHost::privateFolder()
{
    if (m_privateFolder.empty()) {
        std::string base = m_setup.aliasDir;
        if (base.empty() || !windowsCanSpell(base + "/pelandor-wine-XXXXXX"))
            base = "/tmp";
        std::string pattern = base + "/pelandor-wine-XXXXXX";
        if (::mkdtemp(pattern.data()))
            m_privateFolder = pattern;
    }
    return m_privateFolder;
}

bool WineModuleHost::windowsCanSpell(const std::string &path)
{
    // Plain ASCII that every Windows code page spells alike, without the
    // characters Windows forbids in names, no component ending in a dot or a
    // blank (Windows drops those), and short enough for 8-bit path calls.
    constexpr size_t MaxPath = 240;
    if (path.empty() || path.front() != '/' || path.size() > MaxPath)
        return false;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (c < 0x20 || c > 0x7e || std::strchr("\\:*?\"<>|", c))
            return false;
        const bool endOfName = i + 1 == path.size() || path[i + 1] == '/';
        if (endOfName && (c == '.' || c == ' ') && path[i - 1] != '/')
            return false;
    }
    return true;
}

std::string WineModuleHost::spell(const std::string &path, const std::string &slot)
{
    if (windowsCanSpell(path))
        return path;
    auto found = m_aliases.find(slot);
    if (found != m_aliases.end()) {
        if (found->second.first == path)
            return found->second.second;
        ::unlink(found->second.second.c_str());
        m_aliases.erase(found);
    }
    if (privateFolder().empty())
        return path;
    // The alias keeps the extension when it is plain, as modules may look at it.
    std::string extension;
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && path.find('/', dot) == std::string::npos && path.size() - dot <= 16) {
        extension = path.substr(dot);
        if (!windowsCanSpell("/x" + extension))
            extension.clear();
    }
    const std::string link = m_privateFolder + "/" + std::to_string(++m_nameCount) + extension;
    if (::symlink(path.c_str(), link.c_str()) != 0)
        return path;
    m_aliases[slot] = {path, link};
    return link;
}

} // namespace pelandor
