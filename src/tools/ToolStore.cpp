#include "tools/ToolStore.h"

#include <QCoreApplication>
#include "platform/PelandorError.h"
#include "tools/SettingsStore.h"
#include "tools/ToolList.h"

namespace pelandor {

namespace {

// A store that could not lock, read or write its file: the message of the
// first value concerned (a load reports reading unless only its write of a
// missing count failed; a save or delete reports setting), then the file
// and the system's reason.
enum class Work { Loading, Saving };

[[noreturn]] void raiseStoreFailure(const SettingsStore &store, SettingsStore::Result result, Work work,
                                    const QString &name)
{
    const bool reading = work == Work::Loading && result == SettingsStore::Result::ReadFailed;
    const QString text = reading ? readingFailedText(name) : settingFailedText(name);
    throw PelandorError(text + QLatin1Char('\n') + store.errorString());
}

QString readText(const RegistryTree &tree, const QString &keyPath, const QString &name)
{
    const std::optional<RegistryValue> value = tree.value(keyPath, name);
    if (!value || value->data.isEmpty())
        return QString();
    if (value->type != REG_SZ && value->type != REG_EXPAND_SZ)
        throw PelandorError(wrongTypeText(name));
    return value->text();
}

void setValue(RegistryTree &tree, const QString &keyPath, const QString &name, const RegistryValue &value)
{
    if (!tree.setValue(keyPath, name, value))
        throw PelandorError(settingFailedText(name));
}

} // namespace

QString settingFailedText(const QString &valueName)
{
    return QCoreApplication::translate("ToolStore", "'%1' の設定に失敗しました").arg(valueName);
}

QString readingFailedText(const QString &valueName)
{
    return QCoreApplication::translate("ToolStore", "'%1' の取得に失敗しました").arg(valueName);
}

QString wrongTypeText(const QString &valueName)
{
    return QCoreApplication::translate("ToolStore", "'%1' のﾃﾞｰﾀ型が不正です").arg(valueName);
}

QString toolsNotReadWholeText()
{
    return QCoreApplication::translate("ToolStore", "外部ﾂｰﾙの設定を最後まで読めなかったため、保存しません (読めなかったﾂｰﾙが失われます)");
}

void LoadTools(SettingsStore &store, ToolList &tools)
{
    const SettingsStore::Result result = store.update([&tools](RegistryTree &tree) {
        bool changed = false;
        if (!tree.value(ToolKeys::Tools, ToolKeys::Count)) {
            setValue(tree, ToolKeys::Tools, ToolKeys::Count, RegistryValue::fromDword(0));
            changed = true;
        }
        const RegistryValue count = *tree.value(ToolKeys::Tools, ToolKeys::Count);
        if (count.type != REG_DWORD)
            throw PelandorError(wrongTypeText(ToolKeys::Count));
        quint32 stored = 0;
        if (!count.toDword(&stored))
            throw PelandorError(readingFailedText(ToolKeys::Count));
        // A count below 0 means no tools; one above the bound is damaged
        // (every tool past the stored subkeys would be an empty one).
        if (qint32(stored) > MaxToolCount)
            throw PelandorError(readingFailedText(ToolKeys::Count));
        const int toolCount = qMax(0, qint32(stored));

        // A numbered subkey that is missing reads as a tool with empty texts.
        for (int i = 0; i < toolCount; ++i) {
            const QString key = ToolKeys::Tools + QLatin1Char('\\') + QString::number(i);
            const QString exeFile = readText(tree, key, ToolKeys::ExeFile);
            const QString name = readText(tree, key, ToolKeys::Name);
            tools.append(name, exeFile);
        }
        return changed;
    });
    if (result != SettingsStore::Result::Done)
        raiseStoreFailure(store, result, Work::Loading, ToolKeys::Count);
}

void SaveTools(SettingsStore &store, const ToolList &tools)
{
    const SettingsStore::Result result = store.update([&tools](RegistryTree &tree) {
        tree.createKey(ToolKeys::Product);
        tree.deleteKey(ToolKeys::Tools);
        setValue(tree, ToolKeys::Tools, ToolKeys::Count, RegistryValue::fromDword(quint32(tools.ToolCount())));
        for (int i = 0; i < tools.ToolCount(); ++i) {
            const QString key = ToolKeys::Tools + QLatin1Char('\\') + QString::number(i);
            setValue(tree, key, ToolKeys::ExeFile, RegistryValue::fromText(tools.ToolExeFiles()[i]));
            setValue(tree, key, ToolKeys::Name, RegistryValue::fromText(tools.ToolNames()[i]));
        }
        return true;
    });
    if (result != SettingsStore::Result::Done)
        raiseStoreFailure(store, result, Work::Saving, ToolKeys::Count);
}

void ClearTools(ToolList &tools)
{
    tools.clear();
}

void DeleteRegistryInfo(SettingsStore &store)
{
    const SettingsStore::Result result = store.update([](RegistryTree &tree) {
        tree.createKey(ToolKeys::Maker);
        tree.deleteKey(ToolKeys::Product);
        return true;
    });
    if (result != SettingsStore::Result::Done)
        raiseStoreFailure(store, result, Work::Saving, QStringLiteral("Pelandor"));
}

} // namespace pelandor
