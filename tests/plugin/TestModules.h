// Helpers shared by the plug-in host tests: a message sink that records what
// it is shown, and the test modules copied into a temporary module folder.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <dlfcn.h>

#include "platform/MessageSink.h"

namespace pelandor {

class RecordingSink : public MessageSink {
public:
    void showMessage(const QString &text) override { messages.append(text); }
    QStringList messages;
};

// The built test module of a variant ("plain", "two", "no_info", ...).
inline QString testModulePath(const QString &variant)
{
    return QStringLiteral(PELANDOR_TEST_MODULE_DIR "/fake_") + variant + QStringLiteral(".spi");
}

// Copies the variant's module into `folder` as `name`.
inline bool installModule(const QString &folder, const QString &variant, const QString &name)
{
    return QFile::copy(testModulePath(variant), QDir(folder).filePath(name));
}

// Whether the module at `path` is loaded in this process right now.
inline bool isResident(const QString &path)
{
    void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

} // namespace pelandor
