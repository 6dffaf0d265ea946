// The program's side of the module host protocol: one call made through the
// Linux helper's backend, whose answer is the input, received over a real
// socket pair by the real framing code, with descriptors beside it as a
// hostile helper may send them. The input:
//   byte 0     bits 0-1: the call (GetPluginInfo, IsSupported,
//              GetPictureInfo, GetPicture); bit 2: a memory file goes
//              beside the answer, sealed against shrinking unless bit 3;
//              bit 4: a pipe's end goes beside it too (two descriptors in
//              one message); bit 5: each in a message of its own
//   bytes 1-2  how many of the following bytes the memory file holds
//   then       the memory file's bytes, then the bytes of the stream (each
//              message a 32-bit length and its body)
// After each call every descriptor the program was given must be closed: the
// count of open descriptors is the same as before, or the target aborts.
#include "plugin/HelperProcessModuleBackend.h"
#include "plugin/ModuleHostProtocol.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace pelandor;

namespace {

int openDescriptors()
{
    int count = 0;
    if (DIR *dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir))
            ++count;
        ::closedir(dir);
    }
    return count;
}

// Sends `bytes` with `fds` beside its first byte, or beside one byte each.
void sendWithDescriptors(int socket, const std::string &bytes, const std::vector<int> &fds, bool apart)
{
    size_t done = 0;
    size_t nextFd = 0;
    while (done < bytes.size()) {
        const size_t count = nextFd < fds.size() ? (apart ? 1 : fds.size()) : 0;
        iovec io{const_cast<char *>(bytes.data() + done), count ? 1 : bytes.size() - done};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)] = {};
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        if (count) {
            message.msg_control = control;
            message.msg_controllen = CMSG_SPACE(sizeof(int) * count);
            cmsghdr *c = CMSG_FIRSTHDR(&message);
            c->cmsg_level = SOL_SOCKET;
            c->cmsg_type = SCM_RIGHTS;
            c->cmsg_len = CMSG_LEN(sizeof(int) * count);
            std::memcpy(CMSG_DATA(c), fds.data() + nextFd, sizeof(int) * count);
        }
        const ssize_t sent = ::sendmsg(socket, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent <= 0)
            return;
        nextFd += count;
        done += size_t(sent);
    }
}

// The helper's backend with its process replaced by the input.
class ReplayedHelper : public HelperProcessModuleBackend {
public:
    ReplayedHelper(std::string stream, std::vector<int> fds, bool apart)
        : HelperProcessModuleBackend("/nonexistent/pelandor-module-host", 1000)
        , m_stream(std::move(stream))
        , m_fds(std::move(fds))
        , m_apart(apart)
    {
    }
    ~ReplayedHelper() override { closeDescriptors(); }
    bool isLoaded() const override { return true; }

protected:
    bool exchange(const std::string &, int, std::string &reply, int *replyFd, int64_t &deadline) override
    {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return false;
        sendWithDescriptors(pair[1], m_stream, m_fds, m_apart);
        // The sending side's copies: the program holds its own from here.
        closeDescriptors();
        ::close(pair[1]);
        ::fcntl(pair[0], F_SETFL, O_NONBLOCK);
        const bool received = modulehost::receiveMessage(pair[0], reply, replyFd, deadline);
        ::close(pair[0]);
        return received;
    }

private:
    void closeDescriptors()
    {
        for (const int fd : m_fds)
            ::close(fd);
        m_fds.clear();
    }

    std::string m_stream;
    std::vector<int> m_fds;
    bool m_apart;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const uint8_t flags = data[0];
    const size_t areaSize = std::min(size - 3, size_t(data[1] | (data[2] << 8)));
    const std::string stream(reinterpret_cast<const char *>(data) + 3 + areaSize, size - 3 - areaSize);
    const int before = openDescriptors();

    std::vector<int> fds;
    if (flags & 4) {
        const int area = ::memfd_create("fuzz-area", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (area >= 0) {
            if (areaSize && ::write(area, data + 3, areaSize) < 0) {
                // An area shorter than its bytes is an input like another.
            }
            if (!(flags & 8))
                ::fcntl(area, F_ADD_SEALS, F_SEAL_SHRINK);
            fds.push_back(area);
        }
    }
    int pipeEnds[2] = {-1, -1};
    if ((flags & 16) && ::pipe2(pipeEnds, O_CLOEXEC) == 0)
        fds.push_back(pipeEnds[0]);
    {
        ReplayedHelper helper(stream, fds, flags & 32);
        if (pipeEnds[1] >= 0)
            ::close(pipeEnds[1]);
        char buffer[256] = {};
        const char path[] = "/nonexistent/picture";
        PictureInfo info{};
        SpiHandle infoBlock = nullptr;
        SpiHandle bitsBlock = nullptr;
        switch (flags & 3) {
        case 0:
            helper.getPluginInfo(2, buffer, sizeof buffer);
            break;
        case 1:
            helper.isSupported(path, uint32_t(-1));
            break;
        case 2:
            helper.getPictureInfo(path, 0, 0, &info);
            break;
        default:
            if (helper.getPicture(path, 0, 0, &infoBlock, &bitsBlock, nullptr, 0) == 0 || infoBlock || bitsBlock) {
                std::free(infoBlock);
                if (bitsBlock != infoBlock)
                    std::free(bitsBlock);
            }
            break;
        }
    }
    if (openDescriptors() != before)
        std::abort();
    return 0;
}
