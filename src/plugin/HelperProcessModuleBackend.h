// A module run in a helper process of ours (pelandor-module-host), one helper
// per loaded module, reached over a socket pair; the calls, their time limit
// and their failures are RemoteModuleBackend's. The helper dies with this
// process.
#pragma once

#include <sys/types.h>

#include "plugin/PictureArea.h"
#include "plugin/RemoteModuleBackend.h"

namespace pelandor {

class HelperProcessModuleBackend : public RemoteModuleBackend {
public:
    // `helperPath` is the absolute path of pelandor-module-host.
    explicit HelperProcessModuleBackend(std::string helperPath, int callTimeoutMs = DefaultCallTimeoutMs);
    ~HelperProcessModuleBackend() override;

    bool load(const std::string &path) override;
    void unload() override;
    bool isLoaded() const override { return !m_modulePath.empty(); }

    // The running helper's process id, -1 when none runs.
    pid_t helperPid() const { return m_pid; }

protected:
    bool exchange(const std::string &request, int fd, std::string &reply, int *replyFd, int64_t &deadline) override;
    bool receiveBlocks(modulehost::PictureAnswer &answer, int replyFd, int64_t &deadline, void *&infoBlock,
                       void *&bitsBlock) override;
    void abandon() override { stop(true); }

private:
    // Starts the helper and waits for its Ready; false when it does not load
    // the module in time.
    bool start(int64_t deadline);
    // Ends the helper: closes its socket, waits a moment, then kills it.
    void stop(bool kill);

    std::string m_helperPath;
    std::string m_modulePath;
    pid_t m_pid = -1;
    int m_socket = -1;
    // The helper's shared area for pictures, kept while the helper runs.
    PictureArea m_area;
};

} // namespace pelandor
