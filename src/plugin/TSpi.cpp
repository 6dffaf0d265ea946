// Import module host. Modules are loaded by absolute path (a bare name would
// make the dynamic loader search the library path). Every block a module
// hands back is measured with malloc_usable_size and checked against what its
// header says the module must have written (convertModulePicture) before
// anything past the header is read, so a module that lies about its picture
// fails the call instead of making the host read foreign memory. The
// allocator's slack (a few bytes for small blocks, less than a page for large
// ones) cannot be told from the block itself; the header's own image size is
// what catches rows the module computed too short.
#include "plugin/TSpi.h"

#include "plugin/HelperProcessModuleBackend.h"
#include "plugin/InProcessModuleBackend.h"
#include "plugin/WineModuleBackend.h"
#include "plugin/WineModuleHost.h"

#include "decode/Bitmap.h"
#include "plugin/ModulePicture.h"
#include "platform/MessageSink.h"
#include "platform/NativeName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace pelandor {

namespace {

constexpr int32_t HeaderOffset = 128;

// Owns the two blocks a GetPicture call stored, whatever its result, and frees
// each of them once (a module may store the same block twice).
class StoredHandles {
public:
    StoredHandles() = default;
    ~StoredHandles()
    {
        std::free(info);
        if (bits != info)
            std::free(bits);
    }
    StoredHandles(const StoredHandles &) = delete;
    StoredHandles &operator=(const StoredHandles &) = delete;

    SpiHandle info = nullptr;
    SpiHandle bits = nullptr;
};

// Opens `path` read-only for IsSupported. Only regular files are offered to a
// module: a FIFO or device would block or never end. -1 when that fails.
int openForModule(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

} // namespace

TSpi::TSpi(const QString &moduleFolder, MessageSink &messages, QObject *parent)
    : QObject(parent)
    , m_folder(QDir(moduleFolder).absolutePath())
    , m_messages(messages)
    , m_backendFactory(&TSpi::defaultBackend)
{
}

TSpi::~TSpi()
{
    FreeSpi();
}

namespace {

// $XDG_DATA_HOME, by default ~/.local/share.
QString dataHome()
{
    const QString configured = qEnvironmentVariable("XDG_DATA_HOME");
    return QDir::isAbsolutePath(configured) ? configured : QDir::homePath() + QStringLiteral("/.local/share");
}

} // namespace

QString TSpi::userModuleFolder()
{
    return QDir::cleanPath(dataHome() + QStringLiteral("/pelandor/plugins"));
}

QStringList TSpi::moduleFolders() const
{
    QStringList folders{m_folder};
    const QString user = userModuleFolder();
    if (user != m_folder)
        folders.append(user);
    return folders;
}

QString TSpi::locate(const QString &fileName) const
{
    // A name with a folder part would reach outside the module folder.
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) || fileName.contains(QChar(0)))
        return QString();
    for (const QString &folder : moduleFolders()) {
        const QString candidate = folder + QLatin1Char('/') + fileName;
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return QString();
}

void TSpi::LoadSpi(const QString &fileName)
{
    FreeSpi();
    const QString found = locate(fileName);
    if (found.isEmpty())
        return;
    std::unique_ptr<ModuleBackend> backend = m_backendFactory(found);
    if (!backend)
        return;
    backend->setWhileWaiting(m_whileWaiting);
    if (backend->load(NativeName::encode(found).toStdString()))
        m_backend = std::move(backend);
}

void TSpi::setWhileWaiting(std::function<void()> hook)
{
    m_whileWaiting = std::move(hook);
    if (m_backend)
        m_backend->setWhileWaiting(m_whileWaiting);
}

void TSpi::setBackendFactory(BackendFactory factory)
{
    FreeSpi();
    m_backendFactory = std::move(factory);
}

QString TSpi::moduleHostPath()
{
    const QString configured = qEnvironmentVariable("PELANDOR_MODULE_HOST");
    if (!configured.isEmpty())
        return configured;
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath() + QStringLiteral("/pelandor-module-host");
}

bool TSpi::isShippedModule(const QString &modulePath)
{
    // The modules built and installed with the program, beside its executable.
    static const QStringList Shipped{
        QStringLiteral("png.spi"),  QStringLiteral("gif.spi"),  QStringLiteral("tiff.spi"), QStringLiteral("webp.spi"),
        QStringLiteral("avif.spi"), QStringLiteral("heif.spi"), QStringLiteral("jxl.spi"),
    };
    const QFileInfo module(modulePath);
    return Shipped.contains(module.fileName())
        && module.canonicalPath() == QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

namespace {

QString absoluteEnvironmentPath(const char *name)
{
    const QString value = qEnvironmentVariable(name);
    return QDir::isAbsolutePath(value) ? value : QString();
}

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isFile() && info.isExecutable();
}

// Wine's loader for the machine type: $PELANDOR_WINE64 or $PELANDOR_WINE32
// when set, else Debian's (wine64 on the path or in /usr/lib/wine; the
// 32-bit loader of wine32 in /usr/lib/wine). Empty when there is none.
QString wineLoader(WineModuleHost::Machine machine)
{
    const bool win64 = machine == WineModuleHost::Machine::Win64;
    const char *variable = win64 ? "PELANDOR_WINE64" : "PELANDOR_WINE32";
    if (qEnvironmentVariableIsSet(variable)) {
        const QString configured = qEnvironmentVariable(variable);
        return isExecutableFile(configured) ? configured : QString();
    }
    if (win64) {
        const QString onPath = QStandardPaths::findExecutable(QStringLiteral("wine64"));
        if (!onPath.isEmpty())
            return onPath;
        const QString debian = QStringLiteral("/usr/lib/wine/wine64");
        return isExecutableFile(debian) ? debian : QString();
    }
    const QString debian = QStringLiteral("/usr/lib/wine/wine");
    return isExecutableFile(debian) ? debian : QString();
}

// The Wine server that goes with `loader`: beside it, else on the path.
QString wineServer(const QString &loader)
{
    const QString beside = QFileInfo(QFileInfo(loader).canonicalFilePath()).absolutePath() + QStringLiteral("/wineserver");
    if (isExecutableFile(beside))
        return beside;
    return QStandardPaths::findExecutable(QStringLiteral("wineserver"));
}

QString windowsHostPath(WineModuleHost::Machine machine)
{
    const QString name = machine == WineModuleHost::Machine::Win64 ? QStringLiteral("pelandor-module-host-win64.exe")
                                                                   : QStringLiteral("pelandor-module-host-win32.exe");
    return QFileInfo(TSpi::moduleHostPath()).absolutePath() + QLatin1Char('/') + name;
}

WineModuleHost::Machine machineOf(const QString &modulePath)
{
    return WineModuleHost::machineOf(NativeName::encode(modulePath).toStdString());
}

} // namespace

namespace {

// Why a module of `machine` cannot be served with `loader` and the Windows
// host at `hostPath`; empty when it can.
QString problemOf(const QString &name, WineModuleHost::Machine machine, const QString &loader, const QString &hostPath)
{
    switch (machine) {
    case WineModuleHost::Machine::Native:
        return QString();
    case WineModuleHost::Machine::OtherWindows:
        return QStringLiteral("pelandor: %1 is a Windows module for a processor other than x86-64 or i386; "
                              "it is left out")
            .arg(name);
    case WineModuleHost::Machine::Win64:
    case WineModuleHost::Machine::Win32:
        break;
    }
    if (loader.isEmpty()) {
        return machine == WineModuleHost::Machine::Win64
            ? QStringLiteral("pelandor: %1 is a 64-bit Windows module; install the package wine64 to use "
                             "it (it is left out)")
                  .arg(name)
            : QStringLiteral("pelandor: %1 is a 32-bit Windows module; install the package wine32 to use "
                             "it, on a machine that runs 32-bit x86 code (it is left out)")
                  .arg(name);
    }
    if (!QFileInfo(hostPath).isFile()) {
        return QStringLiteral("pelandor: %1 is a Windows module, but this build has no %2 (build Pelandor with the "
                              "package mingw-w64 installed); it is left out")
            .arg(name, QFileInfo(hostPath).fileName());
    }
    return QString();
}

} // namespace

QString TSpi::moduleProblem(const QString &modulePath)
{
    const WineModuleHost::Machine machine = machineOf(modulePath);
    if (machine == WineModuleHost::Machine::Native)
        return QString();
    return problemOf(QFileInfo(modulePath).fileName(), machine, wineLoader(machine), windowsHostPath(machine));
}

std::unique_ptr<ModuleBackend> TSpi::defaultBackend(const QString &modulePath)
{
    // The shipped modules stay in this process: the helper costs about 7 % on
    // a folder of PNG files. Every other module runs in the helper, or in
    // the Windows module host when it is a Windows module.
    if (isShippedModule(modulePath))
        return std::make_unique<InProcessModuleBackend>();
    if (machineOf(modulePath) == WineModuleHost::Machine::Native)
        return std::make_unique<HelperProcessModuleBackend>(NativeName::encode(moduleHostPath()).toStdString());
    return windowsBackend(modulePath, WineModuleBackend::DefaultCallTimeoutMs);
}

std::unique_ptr<ModuleBackend> TSpi::windowsBackend(const QString &modulePath, int callTimeoutMs, int transport)
{
    const WineModuleHost::Machine machine = machineOf(modulePath);
    const QString loader = wineLoader(machine);
    const QString hostPath = windowsHostPath(machine);
    if (machine == WineModuleHost::Machine::Native
        || !problemOf(QFileInfo(modulePath).fileName(), machine, loader, hostPath).isEmpty())
        return nullptr;
    // The links for paths Windows cannot spell go into a private folder there.
    QString runtime = absoluteEnvironmentPath("XDG_RUNTIME_DIR");
    if (!QFileInfo(runtime).isDir() || !QFileInfo(runtime).isWritable())
        runtime = QStringLiteral("/dev/shm");
    if (!QFileInfo(runtime).isDir() || !QFileInfo(runtime).isWritable())
        runtime = QStringLiteral("/tmp");
    WineModuleHost::Setup setup;
    setup.loader = NativeName::encode(loader).toStdString();
    setup.server = NativeName::encode(wineServer(loader)).toStdString();
    setup.hostExe = NativeName::encode(hostPath).toStdString();
    setup.prefix = NativeName::encode(QDir::cleanPath(dataHome() + QStringLiteral("/pelandor/wine"))).toStdString();
    setup.aliasDir = NativeName::encode(runtime).toStdString();
    setup.transport = WineModuleHost::Setup::Transport(transport);
    return std::make_unique<WineModuleBackend>(WineModuleHost::instance(setup), callTimeoutMs);
}

void TSpi::FreeSpi()
{
    m_backend.reset();
}

bool TSpi::isLoaded() const
{
    return m_backend != nullptr;
}

int TSpi::notLoaded(const char *call)
{
    m_messages.showMessage(tr("PluginがLoadされていません(%1)").arg(QLatin1String(call)));
    return -1;
}

int TSpi::GetPluginInfo(int infoNo, char *buf, int len)
{
    if (!isLoaded())
        return notLoaded("GetPluginInfo");
    return m_backend->getPluginInfo(infoNo, buf, len);
}

int TSpi::IsSupported(const char *path, uint32_t data)
{
    if (!isLoaded())
        return notLoaded("IsSpported");
    return m_backend->isSupported(path, data);
}

int TSpi::GetPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info)
{
    if (!isLoaded())
        return notLoaded("GetPictureInfo");
    return m_backend->getPictureInfo(source, offset, flag, info);
}

int TSpi::GetPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo, SpiHandle *bitmapBits,
                     SpiProgressCallback progress, int32_t callbackData)
{
    if (!isLoaded())
        return notLoaded("GetPicture");
    return m_backend->getPicture(source, offset, flag, bitmapInfo, bitmapBits, progress, callbackData);
}

int TSpi::decodeAt(const QByteArray &path, int32_t offset, Bitmap &out)
{
    StoredHandles handles;
    const int result = GetPicture(path.constData(), offset, SPI_INPUT_FILE, &handles.info, &handles.bits, nullptr, 0);
    if (result != 0)
        return result;
    if (!handles.info || !handles.bits || handles.info == handles.bits)
        return InvalidPictureResult;
    const auto *info = static_cast<const uchar *>(handles.info);
    const auto *bits = static_cast<const uchar *>(handles.bits);
    if (!convertModulePicture(info, malloc_usable_size(handles.info), bits, malloc_usable_size(handles.bits), out))
        return InvalidPictureResult;
    return 0;
}

int TSpi::GetBitmap(Bitmap &target, const QString &path)
{
    // Same outcome as asking the module with no module loaded, without
    // opening the file first.
    if (!isLoaded())
        return notLoaded("IsSpported");

    m_backend->startFile();
    const QByteArray local = NativeName::encode(path);
    const int fd = openForModule(local);
    if (fd < 0) {
        // A file that cannot be opened is one the module cannot decode; it is
        // never handed an invalid descriptor.
        m_messages.showMessage(QStringLiteral("Error:IsSupported"));
        return NotRegularFileResult;
    }
    int supported = IsSupported(local.constData(), uint32_t(fd));
    if (supported == 0) {
        if (::lseek(fd, HeaderOffset, SEEK_SET) == HeaderOffset)
            supported = IsSupported(local.constData(), uint32_t(fd));
    }
    ::close(fd);
    if (supported == 0) {
        m_messages.showMessage(QStringLiteral("Error:IsSupported"));
        return NotSupportedResult;
    }

    // The second attempt follows any failed first one, whichever offset the
    // module accepted above.
    Bitmap decoded;
    int result = decodeAt(local, 0, decoded);
    if (result != 0)
        result = decodeAt(local, HeaderOffset, decoded);
    if (result != 0) {
        m_messages.showMessage(QStringLiteral("Error:GetPicture"));
        return result;
    }
    target.assign(target.pixelFormat(), decoded.image());
    return 0;
}

} // namespace pelandor
