// Modules loaded by absolute path (a bare name would make the dynamic loader
// search the library path). Plain C++ with no Qt: the module host helper
// process uses this class too.
#include "plugin/InProcessModuleBackend.h"

#include <dlfcn.h>

namespace pelandor {

namespace {

template<typename Fn>
Fn resolve(void *module, const char *name)
{
    return reinterpret_cast<Fn>(dlsym(module, name));
}

} // namespace

InProcessModuleBackend::~InProcessModuleBackend()
{
    unload();
}

bool InProcessModuleBackend::load(const std::string &path)
{
    unload();
    if (path.empty() || path.front() != '/')
        return false;
    m_module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_module)
        return false;
    m_getPluginInfo = resolve<SpiGetPluginInfoFn>(m_module, "GetPluginInfo");
    m_isSupported = resolve<SpiIsSupportedFn>(m_module, "IsSupported");
    m_getPictureInfo = resolve<SpiGetPictureInfoFn>(m_module, "GetPictureInfo");
    m_getPicture = resolve<SpiGetPictureFn>(m_module, "GetPicture");
    return true;
}

void InProcessModuleBackend::unload()
{
    if (m_module)
        dlclose(m_module);
    m_module = nullptr;
    m_getPluginInfo = nullptr;
    m_isSupported = nullptr;
    m_getPictureInfo = nullptr;
    m_getPicture = nullptr;
}

int32_t InProcessModuleBackend::getPluginInfo(int32_t infoNo, char *buffer, int32_t length)
{
    if (!m_getPluginInfo)
        return -1;
    return m_getPluginInfo(infoNo, buffer, length);
}

int32_t InProcessModuleBackend::isSupported(const char *path, uint32_t data)
{
    if (!m_isSupported)
        return 0;
    return m_isSupported(path, data);
}

int32_t InProcessModuleBackend::getPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info)
{
    if (!m_getPictureInfo)
        return -1;
    return m_getPictureInfo(source, offset, flag, info);
}

int32_t InProcessModuleBackend::getPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo,
                                           SpiHandle *bitmapBits, SpiProgressCallback progress,
                                           int32_t callbackData)
{
    if (!m_getPicture)
        return -1;
    return m_getPicture(source, offset, flag, bitmapInfo, bitmapBits, progress, callbackData);
}

} // namespace pelandor
