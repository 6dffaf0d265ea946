// A Windows module's calls through the Windows module host. The host opens
// files itself, so IsSupported sends the position the open descriptor stands
// at instead of the descriptor. The picture's blocks, in the shared area or
// behind the answer on the pipe, are copied into blocks of this process,
// which the caller checks exactly like those of any other module.
#include "plugin/WineModuleBackend.h"

#include "plugin/WineModuleHost.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace pelandor {

using namespace modulehost;

WineModuleBackend::WineModuleBackend(std::shared_ptr<WineModuleHost> host, int callTimeoutMs)
    : m_host(std::move(host))
    , m_timeoutMs(callTimeoutMs)
{
}

WineModuleBackend::~WineModuleBackend()
{
    unload();
}

bool WineModuleBackend::load(const std::string &path)
{
    unload();
    m_timedOutPath.clear();
    if (path.empty() || path.front() != '/')
        return false;
    m_module = m_host->addModule(path, nowMs() + m_timeoutMs, m_whileWaiting);
    return m_module != 0;
}

void WineModuleBackend::unload()
{
    if (m_module)
        m_host->removeModule(m_module);
    m_module = 0;
}

bool WineModuleBackend::call(const std::string &path, const std::string &request, std::string &answer,
                             int64_t &deadline)
{
    if (!isLoaded())
        return false;
    if (!m_timedOutPath.empty()) {
        if (path == m_timedOutPath)
            return false;
        m_timedOutPath.clear();
    }
    deadline = nowMs() + m_timeoutMs;
    if (m_host->call(m_module, request, answer, deadline, m_whileWaiting))
        return true;
    if (nowMs() >= deadline)
        m_timedOutPath = path;
    return false;
}

int32_t WineModuleBackend::getPluginInfo(int32_t infoNo, char *buffer, int32_t length)
{
    PluginInfoRequest request;
    request.infoNo = infoNo;
    request.length = std::min(length, MaxInfoLength);
    request.hasBuffer = buffer != nullptr;
    if (buffer)
        request.buffer.assign(buffer, request.carried());
    std::string reply;
    int64_t deadline = 0;
    if (!call(std::string(), request.encode(), reply, deadline))
        return -1;
    Reader in(reply);
    PluginInfoAnswer answer;
    if (!answer.decode(in, request.carried()))
        return -1;
    if (buffer)
        std::memcpy(buffer, answer.buffer.data(), answer.buffer.size());
    return answer.result;
}

int32_t WineModuleBackend::isSupported(const char *path, uint32_t data)
{
    FileRequest request;
    request.path = path ? path : "";
    // The host opens the file itself and moves to where our descriptor stands.
    const off_t position = ::lseek(int(data), 0, SEEK_CUR);
    request.position = position > 0 ? int64_t(position) : 0;
    request.path = m_host->spell(request.path, "file");
    std::string reply;
    int64_t deadline = 0;
    if (!call(path ? path : "", request.encode(), reply, deadline))
        return 0;
    Reader in(reply);
    ResultAnswer answer;
    return answer.decode(in, Op::IsSupported) ? answer.result : 0;
}

int32_t WineModuleBackend::getPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info)
{
    PictureInfoRequest request;
    request.offset = offset;
    request.flag = flag;
    request.path = m_host->spell(source ? source : "", "file");
    std::string reply;
    int64_t deadline = 0;
    if (!call(source ? source : "", request.encode(), reply, deadline))
        return ModuleFailedResult;
    Reader in(reply);
    PictureInfoAnswer answer;
    if (!answer.decode(in))
        return ModuleFailedResult;
    if (info)
        *info = answer.info;
    return answer.result;
}

bool WineModuleBackend::receiveBlocks(PictureAnswer &answer, int64_t &deadline, void *&infoBlock, void *&bitsBlock)
{
    const bool hasInfo = answer.stored & InfoStored;
    const bool hasBits = answer.stored & BitsStored;
    if ((!hasInfo && answer.infoSize) || (!hasBits && answer.bitsSize))
        return false;
    infoBlock = hasInfo ? PictureArea::newBlock(answer.infoSize) : nullptr;
    bitsBlock = hasBits ? PictureArea::newBlock(answer.bitsSize) : nullptr;
    bool complete = (infoBlock || !hasInfo) && (bitsBlock || !hasBits);
    if (complete && (answer.stored & InHost)) {
        if (m_host->readHostMemory(infoBlock, size_t(answer.infoSize), answer.infoAddress)
            && m_host->readHostMemory(bitsBlock, size_t(answer.bitsSize), answer.bitsAddress)) {
            m_host->post(m_module, Writer(Op::ReleasePicture).body());
            return true;
        }
        // Not allowed to read the host (a stricter ptrace policy): it sends
        // this picture's blocks and every later one's.
        std::string reply;
        Reader in(reply);
        PictureAnswer copied;
        if (!m_host->call(m_module, Writer(Op::CopyPicture).body(), reply, deadline, m_whileWaiting)
            || !copied.decode(in, Op::CopyPicture) || (copied.stored & InHost) || copied.infoSize != answer.infoSize
            || copied.bitsSize != answer.bitsSize) {
            complete = false;
        } else {
            answer = copied;
        }
    }
    if (complete && (answer.stored & InShared)) {
        complete = (!hasInfo || m_host->readShared(infoBlock, answer.infoSize, 0))
            && (!hasBits || m_host->readShared(bitsBlock, answer.bitsSize, answer.infoSize));
    } else if (complete) {
        complete = m_host->readBlock(infoBlock, size_t(answer.infoSize), deadline, m_whileWaiting)
            && m_host->readBlock(bitsBlock, size_t(answer.bitsSize), deadline, m_whileWaiting);
    }
    if (!complete) {
        std::free(infoBlock);
        std::free(bitsBlock);
        infoBlock = bitsBlock = nullptr;
    }
    return complete;
}

int32_t WineModuleBackend::getPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo,
                                      SpiHandle *bitmapBits, SpiProgressCallback progress, int32_t callbackData)
{
    // A callback of this process cannot be called from the host.
    if (progress)
        return ModuleFailedResult;
    PictureRequest request;
    request.offset = offset;
    request.flag = flag;
    request.callbackData = callbackData;
    request.path = m_host->spell(source ? source : "", "file");
    std::string reply;
    int64_t deadline = 0;
    if (!call(source ? source : "", request.encode(), reply, deadline))
        return ModuleFailedResult;
    Reader in(reply);
    PictureAnswer answer;
    void *infoBlock = nullptr;
    void *bitsBlock = nullptr;
    if (!answer.decode(in) || !receiveBlocks(answer, deadline, infoBlock, bitsBlock)) {
        m_host->fail();
        return ModuleFailedResult;
    }
    if (answer.stored & SameBlock)
        bitsBlock = infoBlock;
    if (infoBlock && bitmapInfo)
        *bitmapInfo = infoBlock;
    else if (infoBlock != bitsBlock)
        std::free(infoBlock);
    if (bitsBlock && bitmapBits)
        *bitmapBits = bitsBlock;
    else if (bitsBlock && bitsBlock != infoBlock)
        std::free(bitsBlock);
    return answer.result;
}

} // namespace pelandor
