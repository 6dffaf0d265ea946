// A Windows module (a PE DLL named *.spi) served by the Windows module host
// of its machine type under Wine (WineModuleHost). The calls, their results
// and their failures are those of a module in the Linux helper process: each
// call has a time limit, a host that crashes, exits or does not answer in
// time fails that call as a module failure and is started again for the next
// one, and once a call about a file has run out of time the further calls
// about that file fail at once.
#pragma once

#include <memory>

#include "plugin/ModuleBackend.h"

namespace pelandor {

class WineModuleHost;
namespace modulehost {
struct PictureAnswer;
}

class WineModuleBackend : public ModuleBackend {
public:
    static constexpr int DefaultCallTimeoutMs = 10000;

    WineModuleBackend(std::shared_ptr<WineModuleHost> host, int callTimeoutMs = DefaultCallTimeoutMs);
    ~WineModuleBackend() override;

    bool load(const std::string &path) override;
    void unload() override;
    bool isLoaded() const override { return m_module != 0; }

    int32_t getPluginInfo(int32_t infoNo, char *buffer, int32_t length) override;
    int32_t isSupported(const char *path, uint32_t data) override;
    int32_t getPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info) override;
    int32_t getPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo,
                       SpiHandle *bitmapBits, SpiProgressCallback progress, int32_t callbackData) override;

    void setWhileWaiting(std::function<void()> hook) override { m_whileWaiting = std::move(hook); }

private:
    // Sends `request` about the file `path` and receives the answer; false
    // (a module failure) on any failure. `deadline` receives the call's.
    bool call(const std::string &path, const std::string &request, std::string &answer, int64_t &deadline);
    // Copies the blocks of a GetPicture answer into new malloc() blocks,
    // from wherever the host left them; false (nothing allocated) when they
    // cannot be had.
    bool receiveBlocks(modulehost::PictureAnswer &answer, int64_t &deadline, void *&infoBlock, void *&bitsBlock);

    std::shared_ptr<WineModuleHost> m_host;
    int m_timeoutMs;
    std::function<void()> m_whileWaiting;
    uint32_t m_module = 0;
    std::string m_timedOutPath; // the file of the call that last ran out of time
};

} // namespace pelandor
