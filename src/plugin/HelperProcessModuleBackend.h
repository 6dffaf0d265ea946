// A module run in a helper process of ours (pelandor-module-host), one helper
// per loaded module. Each call has a time limit; a helper that crashes, exits
// or does not answer in time fails that call as a module failure and is
// started again for the next call. The helper dies with this process. Once a
// call about a file has run out of time, further calls about the same file
// fail at once (until a call about another file), so that one file that makes
// the module hang costs one time limit, not one per call.
#pragma once

#include <sys/types.h>

#include "plugin/ModuleBackend.h"
#include "plugin/PictureArea.h"

namespace pelandor {

class HelperProcessModuleBackend : public ModuleBackend {
public:
    // Time limit of each call, starting the helper included.
    static constexpr int DefaultCallTimeoutMs = 10000;

    // `helperPath` is the absolute path of pelandor-module-host.
    explicit HelperProcessModuleBackend(std::string helperPath, int callTimeoutMs = DefaultCallTimeoutMs);
    ~HelperProcessModuleBackend() override;

    bool load(const std::string &path) override;
    void unload() override;
    bool isLoaded() const override { return !m_modulePath.empty(); }

    int32_t getPluginInfo(int32_t infoNo, char *buffer, int32_t length) override;
    int32_t isSupported(const char *path, uint32_t data) override;
    int32_t getPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info) override;
    int32_t getPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo,
                       SpiHandle *bitmapBits, SpiProgressCallback progress, int32_t callbackData) override;

    void setWhileWaiting(std::function<void()> hook) override { m_whileWaiting = std::move(hook); }

    // The running helper's process id, -1 when none runs.
    pid_t helperPid() const { return m_pid; }

private:
    // Starts the helper and waits for its Ready; false when it does not load
    // the module in time.
    bool start(int64_t deadline);
    // Ends the helper: closes its socket, waits a moment, then kills it.
    void stop(bool kill);
    // Sends `request` about the file `path` (with `fd` beside it, -1: none)
    // and receives the reply, starting the helper first when none runs. On
    // any failure the helper is killed and false returned.
    bool call(const char *path, const std::string &request, int fd, std::string &reply, int *replyFd);

    std::string m_helperPath;
    int m_timeoutMs;
    std::function<void()> m_whileWaiting;
    std::string m_modulePath;
    std::string m_timedOutPath; // the file of the call that last ran out of time
    pid_t m_pid = -1;
    int m_socket = -1;
    // The helper's shared area for pictures, kept while the helper runs.
    PictureArea m_area;
};

} // namespace pelandor
