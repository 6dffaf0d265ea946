// pelandor-module-host: runs one import module in a process of its own, so
// that a module that crashes, exits or never returns cannot take the program
// down with it. Started by the plug-in host as
//     pelandor-module-host PARENT_PID MODULE_PATH
// with its end of a socket pair as descriptor 3 and standard output on
// /dev/null; it loads the module, answers Ready, then serves the module's
// calls (see ModuleHostProtocol.h) until the host closes the socket.
#include "plugin/InProcessModuleBackend.h"
#include "plugin/ModuleHostProtocol.h"

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

using namespace pelandor;
using namespace pelandor::modulehost;

namespace {

constexpr int Socket = HelperSocketFd;

[[noreturn]] void quit()
{
    // No destructors or atexit handlers of the module: they may be what hangs.
    ::_exit(0);
}

void reply(const std::string &body, int fd = -1)
{
    if (!sendMessage(Socket, body, fd, -1))
        quit();
}

void serveGetPluginInfo(InProcessModuleBackend &module, Reader &in)
{
    PluginInfoRequest request;
    if (!request.decode(in))
        quit();
    reply(answerPluginInfo(request, [&module](int32_t infoNo, char *buffer, int32_t length) {
              return module.getPluginInfo(infoNo, buffer, length);
          }).encode());
}

void serveIsSupported(InProcessModuleBackend &module, Reader &in, int fd)
{
    // The descriptor came beside the request, already at its position.
    FileRequest request;
    if (!request.decode(in))
        quit();
    reply(ResultAnswer{module.isSupported(request.path.c_str(), uint32_t(fd))}.encode(Op::IsSupported));
}

void serveGetPictureInfo(InProcessModuleBackend &module, Reader &in)
{
    PictureInfoRequest request;
    if (!request.decode(in))
        quit();
    PictureInfoAnswer answer;
    answer.result = module.getPictureInfo(request.path.c_str(), request.offset, request.flag, &answer.info);
    reply(answer.encode());
}

// The area shared with the host: a memfd that can grow but never shrink, so
// the host may read all of it at any time without a fault.
struct SharedArea {
    int fd = -1;
    char *map = nullptr;
    size_t size = 0;
};

// Makes the area hold at least `total` bytes; `fresh` is set when the host
// has not seen its descriptor yet. False when it cannot be made.
bool reserve(SharedArea &area, size_t total, bool &fresh)
{
    fresh = false;
    if (area.fd < 0) {
        area.fd = ::memfd_create("pelandor-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (area.fd < 0 || ::fcntl(area.fd, F_ADD_SEALS, F_SEAL_SHRINK) != 0)
            return false;
        fresh = true;
    }
    if (total <= area.size)
        return true;
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    const size_t size = (std::max(total, area.size * 2) + page - 1) / page * page;
    if (::ftruncate(area.fd, off_t(size)) != 0)
        return false;
    if (area.map)
        ::munmap(area.map, area.size);
    void *map = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, area.fd, 0);
    area.map = map == MAP_FAILED ? nullptr : static_cast<char *>(map);
    area.size = area.map ? size : 0;
    return area.map != nullptr;
}

void serveGetPicture(InProcessModuleBackend &module, SharedArea &area, Reader &in)
{
    PictureRequest request;
    if (!request.decode(in))
        quit();
    SpiHandle info = nullptr;
    SpiHandle bits = nullptr;
    // A progress callback cannot cross processes; the host never passes one.
    const int32_t result = module.getPicture(request.path.c_str(), request.offset, request.flag, &info, &bits, nullptr,
                                             request.callbackData);

    // A handle that is not a malloc() block makes malloc_usable_size fail
    // here, in this process, which the host sees as a failed call.
    uint8_t stored = 0;
    size_t infoSize = 0;
    size_t bitsSize = 0;
    if (info) {
        infoSize = malloc_usable_size(info);
        if (infoSize <= MaxBlock)
            stored |= InfoStored;
    }
    if (bits && bits == info) {
        stored |= (stored & InfoStored) ? SameBlock : 0;
    } else if (bits) {
        bitsSize = malloc_usable_size(bits);
        if (bitsSize <= MaxBlock)
            stored |= BitsStored;
    }
    if (!(stored & InfoStored))
        infoSize = 0;
    if (!(stored & BitsStored))
        bitsSize = 0;
    int fd = -1;
    if (stored) {
        bool fresh = false;
        if (reserve(area, infoSize + bitsSize, fresh)) {
            if (infoSize)
                std::memcpy(area.map, info, infoSize);
            if (bitsSize)
                std::memcpy(area.map + infoSize, bits, bitsSize);
            fd = fresh ? area.fd : -1;
        } else {
            stored = 0;
        }
    }
    std::free(info);
    if (bits != info)
        std::free(bits);

    PictureAnswer answer;
    answer.result = result;
    answer.stored = stored;
    answer.infoSize = stored ? infoSize : 0;
    answer.bitsSize = stored ? bitsSize : 0;
    reply(answer.encode(), fd);
    // The program holds the area until it has copied the blocks, then drops
    // a large one as this side does.
    if (area.size > LargeArea) {
        ::munmap(area.map, area.size);
        ::close(area.fd);
        area = SharedArea{};
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    // Die with the program, and do not outlive a parent that is already gone.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (std::strtol(argv[1], nullptr, 10) != long(::getppid()))
        quit();
    ::signal(SIGPIPE, SIG_IGN);

    InProcessModuleBackend module;
    SharedArea area;
    const bool loaded = module.load(argv[2]);
    Writer ready(Op::Ready);
    ready.put(int32_t(loaded ? 1 : 0));
    reply(ready.body());
    if (!loaded)
        quit();

    std::string body;
    for (;;) {
        int fd = -1;
        if (!receiveMessage(Socket, body, &fd, -1))
            quit();
        Reader in(body);
        Op op{};
        if (!in.op(op))
            quit();
        switch (op) {
        case Op::GetPluginInfo:
            serveGetPluginInfo(module, in);
            break;
        case Op::IsSupported:
            serveIsSupported(module, in, fd);
            break;
        case Op::GetPictureInfo:
            serveGetPictureInfo(module, in);
            break;
        case Op::GetPicture:
            serveGetPicture(module, area, in);
            break;
        default:
            quit();
        }
        if (fd >= 0)
            ::close(fd);
    }
}
