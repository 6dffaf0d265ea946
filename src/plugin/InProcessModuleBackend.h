// A module loaded into this process with dlopen and called directly.
#pragma once

#include "plugin/ModuleBackend.h"

namespace pelandor {

class InProcessModuleBackend : public ModuleBackend {
public:
    InProcessModuleBackend() = default;
    ~InProcessModuleBackend() override;

    bool load(const std::string &path) override;
    void unload() override;
    bool isLoaded() const override { return m_module != nullptr; }

    int32_t getPluginInfo(int32_t infoNo, char *buffer, int32_t length) override;
    int32_t isSupported(const char *path, uint32_t data) override;
    int32_t getPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info) override;
    int32_t getPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo,
                       SpiHandle *bitmapBits, SpiProgressCallback progress, int32_t callbackData) override;

private:
    void *m_module = nullptr;
    SpiGetPluginInfoFn m_getPluginInfo = nullptr;
    SpiIsSupportedFn m_isSupported = nullptr;
    SpiGetPictureInfoFn m_getPictureInfo = nullptr;
    SpiGetPictureFn m_getPicture = nullptr;
};

} // namespace pelandor
