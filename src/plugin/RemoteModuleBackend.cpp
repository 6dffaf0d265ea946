#include "plugin/RemoteModuleBackend.h"

#include "decode/DibDecoder.h"
#include "plugin/ModuleHostProtocol.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace pelandor {

using namespace modulehost;

namespace {

// The largest info block taken: a header (124 bytes at most), its masks and a
// colour table of 256 entries fit many times over.
constexpr uint64_t MaxInfoBlock = 64 * 1024;
// What an allocator may hand out beyond the bytes asked for: a page and its
// bookkeeping for a block of its own mapping, an eighth for a heap that
// rounds sizes up.
constexpr uint64_t BlockSlack = 64 * 1024;

// Closes a descriptor that came with an answer that should carry none.
void dropDescriptor(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

} // namespace

bool RemoteModuleBackend::bitsBlockFits(const void *info, uint64_t infoSize, uint64_t bitsSize)
{
    const auto *header = static_cast<const uchar *>(info);
    const size_t infoNeeded = info ? dibInfoSize(header, size_t(infoSize)) : 0;
    const uint64_t needed = infoNeeded ? dibBitsSize(header, infoNeeded) : 0;
    return needed != 0 && bitsSize <= needed + needed / 8 + BlockSlack;
}

bool RemoteModuleBackend::infoBlockFits(uint64_t infoSize)
{
    return infoSize <= MaxInfoBlock;
}

RemoteModuleBackend::RemoteModuleBackend(int callTimeoutMs)
    : m_timeoutMs(callTimeoutMs)
{
}

bool RemoteModuleBackend::call(const char *path, const std::string &request, int fd, std::string &reply, int *replyFd,
                               int64_t &deadline)
{
    *replyFd = -1;
    if (!isLoaded())
        return false;
    const std::string file = path ? path : "";
    if (file.empty() || file != m_budgetPath) {
        m_budgetPath = file;
        m_budgetDeadline = nowMs() + m_timeoutMs;
    } else if (nowMs() >= m_budgetDeadline) {
        return false;
    }
    deadline = m_budgetDeadline;
    const bool answered = exchange(request, fd, reply, replyFd, deadline);
    // The first start of Wine may have moved the deadline on.
    m_budgetDeadline = deadline;
    if (answered && !reply.empty() && reply.front() == request.front())
        return true;
    dropDescriptor(*replyFd);
    *replyFd = -1;
    return false;
}

int32_t RemoteModuleBackend::getPluginInfo(int32_t infoNo, char *buffer, int32_t length)
{
    PluginInfoRequest request;
    request.infoNo = infoNo;
    request.length = std::min(length, MaxInfoLength);
    request.hasBuffer = buffer != nullptr;
    if (buffer)
        request.buffer.assign(buffer, request.carried());
    std::string reply;
    int replyFd = -1;
    int64_t deadline = 0;
    if (!call(nullptr, request.encode(), -1, reply, &replyFd, deadline))
        return -1;
    dropDescriptor(replyFd);
    Reader in(reply);
    PluginInfoAnswer answer;
    if (!answer.decode(in, request.carried()))
        return -1;
    if (buffer)
        std::memcpy(buffer, answer.buffer.data(), answer.buffer.size());
    return answer.result;
}

int32_t RemoteModuleBackend::isSupported(const char *path, uint32_t data)
{
    FileRequest request;
    request.path = pathFor(path);
    // A number that is no open descriptor of ours goes over as none. A
    // process that opens the file itself moves to where ours stands.
    const int fd = ::fcntl(int(data), F_GETFD) >= 0 ? int(data) : -1;
    const off_t position = fd >= 0 ? ::lseek(fd, 0, SEEK_CUR) : 0;
    request.position = position > 0 ? int64_t(position) : 0;
    std::string reply;
    int replyFd = -1;
    int64_t deadline = 0;
    if (!call(path, request.encode(), fd, reply, &replyFd, deadline))
        return 0;
    dropDescriptor(replyFd);
    Reader in(reply);
    ResultAnswer answer;
    return answer.decode(in, Op::IsSupported) ? answer.result : 0;
}

int32_t RemoteModuleBackend::getPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info)
{
    PictureInfoRequest request;
    request.offset = offset;
    request.flag = flag;
    request.path = pathFor(source);
    std::string reply;
    int replyFd = -1;
    int64_t deadline = 0;
    if (!call(source, request.encode(), -1, reply, &replyFd, deadline))
        return ModuleFailedResult;
    dropDescriptor(replyFd);
    Reader in(reply);
    PictureInfoAnswer answer;
    if (!answer.decode(in))
        return ModuleFailedResult;
    if (info)
        *info = answer.info;
    return answer.result;
}

int32_t RemoteModuleBackend::getPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo,
                                        SpiHandle *bitmapBits, SpiProgressCallback progress, int32_t callbackData)
{
    // A callback of this process cannot be called from another.
    if (progress)
        return ModuleFailedResult;
    PictureRequest request;
    request.offset = offset;
    request.flag = flag;
    request.callbackData = callbackData;
    request.path = pathFor(source);
    std::string reply;
    int replyFd = -1;
    int64_t deadline = 0;
    if (!call(source, request.encode(), -1, reply, &replyFd, deadline))
        return ModuleFailedResult;
    Reader in(reply);
    PictureAnswer answer;
    if (!answer.decode(in)) {
        dropDescriptor(replyFd);
        abandon();
        return ModuleFailedResult;
    }
    void *infoBlock = nullptr;
    void *bitsBlock = nullptr;
    if (!receiveBlocks(answer, replyFd, deadline, infoBlock, bitsBlock))
        return ModuleFailedResult;
    // Whatever the caller does not take is freed, one block once. An answer
    // that says both handles are one block yet sent a bits block of its own
    // loses that block here.
    if (answer.stored & SameBlock) {
        if (bitsBlock != infoBlock)
            std::free(bitsBlock);
        bitsBlock = infoBlock;
    }
    if (bitmapInfo && infoBlock)
        *bitmapInfo = infoBlock;
    if (bitmapBits && bitsBlock)
        *bitmapBits = bitsBlock;
    if (!bitmapInfo && !(bitmapBits && bitsBlock == infoBlock))
        std::free(infoBlock);
    if (!bitmapBits && bitsBlock != infoBlock)
        std::free(bitsBlock);
    return answer.result;
}

} // namespace pelandor
