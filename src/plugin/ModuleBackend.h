// How the plug-in host reaches a loaded module: one object per loaded module
// that makes the module's four calls. A backend either loads the module into
// this process or runs it in a helper process of its own; the host sees the
// same arguments and results either way.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "pelandor/spi_plugin.h"

namespace pelandor {

class ModuleBackend {
public:
    // Result of GetPictureInfo and GetPicture when the module could not
    // answer at all (it crashed, exited or ran out of time).
    static constexpr int32_t ModuleFailedResult = -2;

    virtual ~ModuleBackend() = default;

    // Loads the module at the absolute `path`; false when it cannot be loaded.
    virtual bool load(const std::string &path) = 0;
    virtual void unload() = 0;
    virtual bool isLoaded() const = 0;

    // The module's calls. A loaded module that lacks the export is not
    // called: the result is then -1, except for isSupported, which answers 0.
    // A module that fails in the call answers -1 (getPluginInfo), 0
    // (isSupported) or ModuleFailedResult. GetPicture's blocks come back as
    // malloc() blocks that the caller frees.
    virtual int32_t getPluginInfo(int32_t infoNo, char *buffer, int32_t length) = 0;
    virtual int32_t isSupported(const char *path, uint32_t data) = 0;
    virtual int32_t getPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info) = 0;
    virtual int32_t getPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo,
                               SpiHandle *bitmapBits, SpiProgressCallback progress, int32_t callbackData) = 0;

    // Called now and then while a call waits for a module that runs
    // elsewhere (a window keeps painting there); a module loaded into this
    // process runs on the caller's thread, so nothing can be called then.
    virtual void setWhileWaiting(std::function<void()> hook) { (void)hook; }

    // The calls that follow are about one file read anew (the loader asks
    // IsSupported, GetPicture and GetPictureInfo about it): a module run
    // elsewhere gives them one time limit together.
    virtual void startFile() {}

protected:
    ModuleBackend() = default;
    ModuleBackend(const ModuleBackend &) = delete;
    ModuleBackend &operator=(const ModuleBackend &) = delete;
};

} // namespace pelandor
