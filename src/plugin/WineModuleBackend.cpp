// A Windows module's calls through the Windows module host. The host opens
// files itself (no descriptor crosses to Wine), moving to the position the
// request gives. The picture's blocks, in the host's memory, the shared
// area or behind the answer on the pipe, are copied into blocks of this
// process, which the caller checks exactly like those of any other module.
#include "plugin/WineModuleBackend.h"

#include "plugin/PictureArea.h"
#include "plugin/WineModuleHost.h"

#include <cstdlib>

namespace pelandor {

using namespace modulehost;

WineModuleBackend::WineModuleBackend(std::shared_ptr<WineModuleHost> host, int callTimeoutMs)
    : RemoteModuleBackend(callTimeoutMs)
    , m_host(std::move(host))
{
}

WineModuleBackend::~WineModuleBackend()
{
    unload();
}

bool WineModuleBackend::load(const std::string &path)
{
    unload();
    forgetTimedOutFile();
    if (path.empty() || path.front() != '/')
        return false;
    m_module = m_host->addModule(path, nowMs() + timeoutMs(), whileWaiting());
    return m_module != 0;
}

void WineModuleBackend::unload()
{
    if (m_module)
        m_host->removeModule(m_module);
    m_module = 0;
}

bool WineModuleBackend::exchange(const std::string &request, int, std::string &reply, int *replyFd, int64_t &deadline)
{
    *replyFd = -1;
    return m_host->call(m_module, request, reply, deadline, whileWaiting());
}

void WineModuleBackend::abandon()
{
    m_host->fail();
}

std::string WineModuleBackend::pathFor(const char *path)
{
    return m_host->spell(path ? path : "", "file");
}

bool WineModuleBackend::receiveBlocks(PictureAnswer &answer, int, int64_t &deadline, void *&infoBlock,
                                      void *&bitsBlock)
{
    bool complete
        = ((answer.stored & InfoStored) || !answer.infoSize) && ((answer.stored & BitsStored) || !answer.bitsSize);
    if (complete && (answer.stored & InHost)) {
        // Read where the blocks are; the bits only once their header has
        // been read and says they are not larger than its rows. A block out
        // of measure is left there: the caller gets none.
        const bool takeInfo = (answer.stored & InfoStored) && infoBlockFits(answer.infoSize);
        infoBlock = takeInfo ? PictureArea::newBlock(answer.infoSize) : nullptr;
        bool read = !takeInfo
            || (infoBlock && m_host->readHostMemory(infoBlock, answer.infoAddress, size_t(answer.infoSize)));
        if (read && (answer.stored & BitsStored) && infoBlock
            && bitsBlockFits(infoBlock, answer.infoSize, answer.bitsSize)) {
            bitsBlock = PictureArea::newBlock(answer.bitsSize);
            read = bitsBlock && m_host->readHostMemory(bitsBlock, answer.bitsAddress, size_t(answer.bitsSize));
        }
        if (read) {
            m_host->post(m_module, Writer(Op::ReleasePicture).body());
            return true;
        }
        std::free(infoBlock);
        std::free(bitsBlock);
        infoBlock = bitsBlock = nullptr;
        // Not allowed to read the host (a stricter ptrace policy): it sends
        // this picture's blocks and every later one's.
        std::string reply;
        Reader in(reply);
        PictureAnswer copied;
        if (!m_host->call(m_module, Writer(Op::CopyPicture).body(), reply, deadline, whileWaiting())
            || !copied.decode(in, Op::CopyPicture) || (copied.stored & InHost) || copied.infoSize != answer.infoSize
            || copied.bitsSize != answer.bitsSize) {
            complete = false;
        } else {
            answer = copied;
        }
    }
    const bool shared = answer.stored & InShared;
    // Blocks behind the answer on the pipe cannot be left there: one out of
    // measure ends the host. In the shared area it is left unread.
    if (complete && (answer.stored & InfoStored)) {
        const bool fits = infoBlockFits(answer.infoSize);
        infoBlock = fits ? PictureArea::newBlock(answer.infoSize) : nullptr;
        complete = fits ? infoBlock
                && (shared ? m_host->readShared(infoBlock, answer.infoSize, 0)
                           : m_host->readBlock(infoBlock, size_t(answer.infoSize), deadline, whileWaiting()))
                        : shared;
    }
    if (complete && (answer.stored & BitsStored)) {
        const bool fits = infoBlock && bitsBlockFits(infoBlock, answer.infoSize, answer.bitsSize);
        bitsBlock = fits ? PictureArea::newBlock(answer.bitsSize) : nullptr;
        complete = fits ? bitsBlock
                && (shared ? m_host->readShared(bitsBlock, answer.bitsSize, answer.infoSize)
                           : m_host->readBlock(bitsBlock, size_t(answer.bitsSize), deadline, whileWaiting()))
                        : shared;
    }
    if (complete)
        return true;
    // What is left of the blocks on the pipe cannot be skipped reliably.
    std::free(infoBlock);
    std::free(bitsBlock);
    infoBlock = bitsBlock = nullptr;
    m_host->fail();
    return false;
}

} // namespace pelandor
