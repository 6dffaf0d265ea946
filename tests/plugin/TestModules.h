// Helpers shared by the plug-in host tests: a message sink that records what
// it is shown, and the test modules copied into a temporary module folder.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <QFileInfo>
#include <QList>

#include <dlfcn.h>
#include <unistd.h>

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

// Process ids of this process's children that run the module host, zombies
// included (a child that was never waited for is one left behind too).
inline QList<int> moduleHostChildren()
{
    QList<int> children;
    const QByteArray self = QByteArray::number(qint64(getpid()));
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const int pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // "pid (name) state ppid ...": the name may hold blanks, not ")".
        const qsizetype close = line.lastIndexOf(')');
        const qsizetype open = line.indexOf('(');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() > 1 && fields[1] == self && line.mid(open + 1, close - open - 1).startsWith("pelandor-module"))
            children.append(pid);
    }
    return children;
}

// Whether the module at `path` is loaded right now: in this process, or in
// one of its module host helpers.
inline bool isResident(const QString &path)
{
    void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) {
        dlclose(handle);
        return true;
    }
    const QByteArray real = QFile::encodeName(QFileInfo(path).canonicalFilePath());
    for (const int pid : moduleHostChildren()) {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
        if (maps.open(QIODevice::ReadOnly) && maps.readAll().contains(" " + real + "\n"))
            return true;
    }
    return false;
}

} // namespace pelandor
