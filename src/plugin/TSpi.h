// Host for import plug-in modules: loads one "*.spi" module at a time from the
// module folder, passes the four module calls through to it and turns a file
// into a Bitmap through the loaded module.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

#include "decode/PictureSource.h"
#include "pelandor/spi_plugin.h"

namespace pelandor {

class Bitmap;
class MessageSink;
class ModuleBackend;

class TSpi : public QObject, public PictureSource {
    Q_OBJECT
public:
    // GetBitmap's result when the module claimed success but handed back a
    // picture that cannot be read (missing, undersized or inconsistent blocks).
    static constexpr int InvalidPictureResult = 3;
    // GetBitmap's result when the module does not support the file.
    static constexpr int NotSupportedResult = 2;

    // Modules are loaded from `moduleFolder` (made absolute when relative)
    // and, for names not found there, from the user's module folder.
    TSpi(const QString &moduleFolder, MessageSink &messages, QObject *parent = nullptr);
    ~TSpi() override;

    TSpi(const TSpi &) = delete;
    TSpi &operator=(const TSpi &) = delete;

    // Releases the present module, then loads `fileName` (a bare file name)
    // from the first of moduleFolders() that holds it. A module that cannot
    // be loaded leaves the host unloaded; nothing is reported here.
    void LoadSpi(const QString &fileName);
    void FreeSpi();
    bool isLoaded() const;
    QString moduleFolder() const { return m_folder; }
    // Where modules are looked for, in order: the module folder, then the
    // user's own (a user cannot write into an installed program's folder).
    QStringList moduleFolders() const;

    // $XDG_DATA_HOME/pelandor/plugins (by default ~/.local/share/pelandor/plugins).
    static QString userModuleFolder();
    // The module file LoadSpi takes for `fileName`, or empty when none.
    QString locate(const QString &fileName) const;

    // Makes the backend that loads the module at an absolute path. By default
    // the shipped modules are loaded into this process, a Windows module (a
    // PE DLL) is served by the Windows module host of its machine type under
    // Wine, and every other one runs in a helper process
    // (pelandor-module-host).
    using BackendFactory = std::function<std::unique_ptr<ModuleBackend>(const QString &modulePath)>;
    void setBackendFactory(BackendFactory factory);
    static std::unique_ptr<ModuleBackend> defaultBackend(const QString &modulePath);
    // The backend of a Windows module, with the given time limit per call;
    // nullptr when moduleProblem() names one. `transport` is a
    // WineModuleHost::Setup::Transport (tests try each way).
    static std::unique_ptr<ModuleBackend> windowsBackend(const QString &modulePath, int callTimeoutMs,
                                                         int transport = 0);
    // Called about every 50 ms while a call waits for a module running in a
    // helper process (the window pumps its events there, so a module that
    // takes seconds does not freeze it); empty: none. Kept across loads.
    void setWhileWaiting(std::function<void()> hook);
    // The helper beside this program's executable, or $PELANDOR_MODULE_HOST
    // when set (the tests' executables live elsewhere).
    static QString moduleHostPath();
    // Whether `modulePath` is one of the modules shipped with the program, in
    // the folder of this program's executable.
    static bool isShippedModule(const QString &modulePath);
    // Why the module at `modulePath` cannot be served here (a Windows module
    // without Wine or without a Windows module host), as one line for
    // standard error; empty when it can.
    static QString moduleProblem(const QString &modulePath);

    // Pass-through calls. With no module loaded each shows its own message and
    // returns -1. A loaded module that lacks the export is not called: the
    // result is then -1, except for IsSupported, which answers 0 ("does not
    // decode this file") so that callers treat the file as unsupported.
    int GetPluginInfo(int infoNo, char *buf, int len);
    int IsSupported(const char *path, uint32_t data);
    int GetPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info) override;
    int GetPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo, SpiHandle *bitmapBits,
                   SpiProgressCallback progress, int32_t callbackData);

    // Decodes `path` through the loaded module into `target`, keeping the
    // target's pixel format. 0 on success, -1 with no module loaded,
    // NotRegularFileResult (no module call at all) when the file cannot be
    // opened as a regular file, NotSupportedResult when the module rejects
    // it, otherwise the module's error code from its second attempt (or
    // InvalidPictureResult). The target is untouched on every failure.
    int GetBitmap(Bitmap &target, const QString &path) override;

private:
    int notLoaded(const char *call);
    // One GetPicture attempt at `offset`, decoded into `out`; 0 on success.
    int decodeAt(const QByteArray &path, int32_t offset, Bitmap &out);

    QString m_folder;
    MessageSink &m_messages;
    BackendFactory m_backendFactory;
    std::unique_ptr<ModuleBackend> m_backend; // set while a module is loaded
    std::function<void()> m_whileWaiting;
};

} // namespace pelandor
