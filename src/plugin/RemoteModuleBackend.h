// A module run in another process: the Linux helper
// (HelperProcessModuleBackend) or the Windows module host under Wine
// (WineModuleBackend). The four calls travel as the messages of
// ModuleHostMessages.h; each call has a time limit, and a process that
// crashes, exits or does not answer in time fails that call as a module
// failure and is started again for the next call. The calls about one file
// share one time limit (from the first of them until a call about another
// file, or startFile()): once it has run out, further calls about that file
// fail at once, so that a module that hangs, or sleeps just under the limit
// in every call, costs one time limit per file, not one per call. A
// descriptor that comes with an answer that should carry none is closed.
// A picture's blocks are measured before they are copied: an info block
// larger than any header and colour table, or a bits block larger than its
// header's rows need (with the allocator's slack), is left where it is, so
// the caller gets no such block and refuses the picture.
#pragma once

#include <string>

#include "plugin/ModuleBackend.h"

namespace pelandor {

namespace modulehost {
struct PictureAnswer;
}

class RemoteModuleBackend : public ModuleBackend {
public:
    // Time limit of the calls about one file, starting the process included.
    static constexpr int DefaultCallTimeoutMs = 10000;

    int32_t getPluginInfo(int32_t infoNo, char *buffer, int32_t length) override;
    int32_t isSupported(const char *path, uint32_t data) override;
    int32_t getPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info) override;
    int32_t getPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo,
                       SpiHandle *bitmapBits, SpiProgressCallback progress, int32_t callbackData) override;

    void setWhileWaiting(std::function<void()> hook) override { m_whileWaiting = std::move(hook); }
    void startFile() override { m_budgetPath.clear(); }

protected:
    explicit RemoteModuleBackend(int callTimeoutMs);

    // Sends `request` (with `fd` beside it where the transport carries
    // descriptors, -1: none) and receives its answer by `deadline`, which
    // may be moved on (the first start of Wine); a descriptor that came
    // with the answer goes to `*replyFd`. On failure the process is ended.
    virtual bool exchange(const std::string &request, int fd, std::string &reply, int *replyFd, int64_t &deadline)
        = 0;
    // Copies the blocks of a GetPicture answer into new malloc() blocks from
    // wherever the process left them; `replyFd` came with the answer and is
    // the callee's. False, with nothing allocated and the process ended,
    // when they cannot be had.
    virtual bool receiveBlocks(modulehost::PictureAnswer &answer, int replyFd, int64_t &deadline, void *&infoBlock,
                               void *&bitsBlock)
        = 0;
    // Ends the process after an answer that makes no sense.
    virtual void abandon() = 0;
    // The path as the process is to be given it.
    virtual std::string pathFor(const char *path) { return path ? path : ""; }

    // Whether a bits block of `bitsSize` bytes is no larger than what the
    // header in `info` (`infoSize` bytes) says its rows need, give or take
    // an allocator's slack; false for a header no picture can be made of.
    static bool bitsBlockFits(const void *info, uint64_t infoSize, uint64_t bitsSize);
    // Whether an info block of `infoSize` bytes is no larger than a header
    // with its masks and a full colour table can need, many times over.
    static bool infoBlockFits(uint64_t infoSize);

    int timeoutMs() const { return m_timeoutMs; }
    const std::function<void()> &whileWaiting() const { return m_whileWaiting; }
    // A newly loaded module starts with no file's time limit running.
    void forgetTimedOutFile() { m_budgetPath.clear(); }

private:
    // One call about the file `path` (empty: none), by the deadline of that
    // file's time limit: false without asking when it has passed, else
    // exchange().
    bool call(const char *path, const std::string &request, int fd, std::string &reply, int *replyFd,
              int64_t &deadline);

    int m_timeoutMs;
    std::function<void()> m_whileWaiting;
    std::string m_budgetPath;     // the file whose calls share m_budgetDeadline
    int64_t m_budgetDeadline = 0; // a nowMs() value
};

} // namespace pelandor
