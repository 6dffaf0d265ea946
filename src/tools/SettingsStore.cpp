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
        QLockFile lock(m_filePath + QStringLiteral(".lock"));
        if (!lock.tryLock(LockTimeoutMs)) {
            if (lock.error() == QLockFile::LockFailedError)
                m_error = QCoreApplication::translate("SettingsStore", "%1: 他の Pelandor が使用中です").arg(m_filePath);
            else if (lock.error() == QLockFile::PermissionError)
                m_error = QCoreApplication::translate("SettingsStore", "%1.lock: ﾛｯｸﾌｧｲﾙを作る権限がありません").arg(m_filePath);
            else
                m_error = QCoreApplication::translate("SettingsStore", "%1.lock: ﾛｯｸﾌｧｲﾙを作れません").arg(m_filePath);
            return Result::ReadFailed;
        }
        RegistryTree tree;
        if (!read(&tree, &notice)) {
            result = Result::ReadFailed;
        } else if (change(tree)) {
            QString reason;
            if (!m_writer(m_filePath, RegFile::write(tree), &reason)) {
                m_error = m_filePath + QStringLiteral(": ") + reason;
                result = Result::WriteFailed;
            }
        }
    }
    // Told only after the lock is released, so that another instance is not
    // kept waiting while the box is open.
    if (!notice.isEmpty())
        m_messages.showMessage(notice);
    return result;
}

bool SettingsStore::read(RegistryTree *tree, QString *notice)
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

    // Keep the unreadable file for the user and start afresh.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_filePath + QStringLiteral(".broken-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_filePath + QStringLiteral(".broken-") + stamp + QLatin1Char('-') + QString::number(n);
    const QString where = QCoreApplication::translate("SettingsStore", "設定ﾌｧｲﾙ '%1' の %2 行目が読めません (%3)")
                              .arg(m_filePath)
                              .arg(fault.line)
                              .arg(fault.reason);
    if (!QFile::rename(m_filePath, aside)) {
        m_error = where + QCoreApplication::translate("SettingsStore", "\n'%1' に移すこともできません").arg(aside);
        return false;
    }
    *notice = where + QCoreApplication::translate("SettingsStore", "。\nこのﾌｧｲﾙは '%1' に残し、新しい設定ﾌｧｲﾙを作ります。").arg(aside);
    *tree = RegistryTree();
    return true;
}

} // namespace pelandor
