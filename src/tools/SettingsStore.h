// The settings store of the program, the stand-in for the current user's
// registry: one file in the text form of registry exports (RegFile), by
// default $XDG_CONFIG_HOME/pelandor/settings.reg.
//
// Every piece of work is one update: the file is locked against other running
// instances, read, changed in memory and, when changed, written back whole as
// a new file that replaces the old one in one rename. So a crash, a failed
// write or a second instance never leaves a half-written or merged file.
// A file that cannot be read as settings is never overwritten: it is renamed
// aside and the user is told where it went, then work goes on with no keys.
// When the file's folder cannot be written (the lock cannot be made), the
// file is read without the lock, an update that would change it fails, and
// the user is told once that changes cannot be saved.
#pragma once

#include <QString>
#include <functional>

#include "tools/RegistryTree.h"

namespace pelandor {

class MessageSink;

class SettingsStore {
public:
    // Writes `bytes` as the whole new content of `path`; false with a reason
    // when it could not. The default writes a new file, flushes it to disk
    // and renames it over the old one.
    using FileWriter = std::function<bool(const QString &path, const QByteArray &bytes, QString *error)>;

    enum class Result { Done, ReadFailed, WriteFailed };

    SettingsStore(const QString &filePath, MessageSink &messages, FileWriter writer = {});

    // $XDG_CONFIG_HOME/pelandor/settings.reg (default ~/.config/pelandor/settings.reg).
    static QString defaultFilePath();
    static bool writeAtomically(const QString &path, const QByteArray &bytes, QString *error);

    const QString &filePath() const { return m_filePath; }

    // Runs one update: `change` works on the stored keys and returns true
    // when they are to be written back. An exception from `change` leaves the
    // file untouched and passes on.
    Result update(const std::function<bool(RegistryTree &)> &change);
    // Why the last update failed: the file and the system's reason.
    const QString &errorString() const { return m_error; }

    // How long an update waits for another instance to finish its own.
    static constexpr int LockTimeoutMs = 10000;

private:
    bool read(RegistryTree *tree, QString *notice, bool readOnly);
    QString unsavedText() const;

    QString m_filePath;
    MessageSink &m_messages;
    FileWriter m_writer;
    QString m_error;
    bool m_toldUnsaved = false;
};

} // namespace pelandor
