// A Windows module (a PE DLL named *.spi) served by the Windows module host
// of its machine type under Wine (WineModuleHost); the calls, their time
// limit and their failures are those of a module in the Linux helper
// (RemoteModuleBackend).
#pragma once

#include <memory>

#include "plugin/RemoteModuleBackend.h"

namespace pelandor {

class WineModuleHost;

class WineModuleBackend : public RemoteModuleBackend {
public:
    explicit WineModuleBackend(std::shared_ptr<WineModuleHost> host, int callTimeoutMs = DefaultCallTimeoutMs);
    ~WineModuleBackend() override;

    bool load(const std::string &path) override;
    void unload() override;
    bool isLoaded() const override { return m_module != 0; }

protected:
    bool exchange(const std::string &request, int fd, std::string &reply, int *replyFd, int64_t &deadline) override;
    bool receiveBlocks(modulehost::PictureAnswer &answer, int replyFd, int64_t &deadline, void *&infoBlock,
                       void *&bitsBlock) override;
    void abandon() override;
    // Paths the Windows code page cannot spell go as links with plain names.
    std::string pathFor(const char *path) override;

private:
    std::shared_ptr<WineModuleHost> m_host;
    uint32_t m_module = 0;
};

} // namespace pelandor
