#include "tools/SettingsStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include "platform/MessageSink.h"
#include "tools/RegFile.h"

namespace pelandor {

SettingsStore::SettingsStore(const QString &filePath, MessageSink &messages, FileWriter writer)
    : m_filePath(filePath)
    , m_messages(messages)
    , m_writer(writer ? std::move(writer) : FileWriter(&SettingsStore::writeAtomically))
{
}

QString SettingsStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/pelandor/settings.reg");
}

bool SettingsStore::writeAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

SettingsStore::Result SettingsStore::update(const std::function<bool(RegistryTree &)> &change)
{
    m_error.clear();
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_error = QCoreApplication::translate("SettingsStore", "%1: ﾌｫﾙﾀﾞを作れません").arg(folder);
        return Result::ReadFailed;
    }

    QString notice;
    Result result = Result::Done;
    {
        const QString lockPath = m_filePath + QStringLiteral(".lock");
        QLockFile lock(lockPath);
        // A lock path taken by something that is not a file (a folder, say)
        // can never be locked: waiting for it would only delay the start.
        const QFileInfo lockInfo(lockPath);
        const bool lockBlocked = lockInfo.exists() && !lockInfo.isFile();
        QString unwritable;
        if (lockBlocked) {
            unwritable = QCoreApplication::translate("SettingsStore", "%1: ﾛｯｸﾌｧｲﾙを作れません").arg(lockPath);
        } else if (!lock.tryLock(LockTimeoutMs)) {
            if (lock.error() == QLockFile::LockFailedError) {
                m_error = QCoreApplication::translate("SettingsStore", "%1: 他の Pelandor が使用中です").arg(m_filePath);
                return Result::ReadFailed;
            }
            unwritable = lock.error() == QLockFile::PermissionError
                ? QCoreApplication::translate("SettingsStore", "%1: ﾛｯｸﾌｧｲﾙを作る権限がありません").arg(lockPath)
                : QCoreApplication::translate("SettingsStore", "%1: ﾛｯｸﾌｧｲﾙを作れません").arg(lockPath);
        }
        // A folder that cannot be written still lets the settings be read
        // (nobody can be writing them through this program either); only a
        // change is refused.
        const bool readOnly = !unwritable.isEmpty();
        RegistryTree tree;
        if (!read(&tree, &notice, readOnly)) {
            result = Result::ReadFailed;
        } else if (change(tree)) {
            QString reason;
            if (readOnly) {
                m_error = unwritable + QLatin1Char('\n') + unsavedText();
                m_toldUnsaved = true;
                result = Result::WriteFailed;
            } else if (!m_writer(m_filePath, RegFile::write(tree), &reason)) {
                m_error = m_filePath + QStringLiteral(": ") + reason;
                result = Result::WriteFailed;
            }
        } else if (readOnly && !m_toldUnsaved) {
            notice = unwritable + QLatin1Char('\n') + unsavedText();
            m_toldUnsaved = true;
        }
    }
    // Told only after the lock is released, so that another instance is not
    // kept waiting while the box is open.
    if (!notice.isEmpty())
        m_messages.showMessage(notice);
    return result;
}

QString SettingsStore::unsavedText() const
{
    return QCoreApplication::translate("SettingsStore", "設定ﾌｧｲﾙ '%1' のﾌｫﾙﾀﾞに書き込めないため、設定の変更は保存できません").arg(m_filePath);
}

bool SettingsStore::read(RegistryTree *tree, QString *notice, bool readOnly)
{
    QFile file(m_filePath);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = m_filePath + QStringLiteral(": ") + file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_error = m_filePath + QStringLiteral(": ") + file.errorString();
        return false;
    }
    file.close();

    RegFile::ParseError fault;
    if (RegFile::read(bytes, tree, &fault))
        return true;

    const QString where = QCoreApplication::translate("SettingsStore", "設定ﾌｧｲﾙ '%1' の %2 行目が読めません (%3)")
                              .arg(m_filePath)
                              .arg(fault.line)
                              .arg(fault.reason);
    if (readOnly) {
        // Nothing could be written in its place: leave it where it is.
        m_error = where;
        return false;
    }
    // Keep the unreadable file for the user and start afresh.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_filePath + QStringLiteral(".broken-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_filePath + QStringLiteral(".broken-") + stamp + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(m_filePath, aside)) {
        m_error = where + QCoreApplication::translate("SettingsStore", "\n'%1' に移すこともできません").arg(aside);
        return false;
    }
    *notice = where + QCoreApplication::translate("SettingsStore", "。\nこのﾌｧｲﾙは '%1' に残し、新しい設定ﾌｧｲﾙを作ります。").arg(aside);
    *tree = RegistryTree();
    return true;
}

} // namespace pelandor
