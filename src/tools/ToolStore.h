// The external tools kept in the settings store, under the current user:
//
//   Software\Tobrek\Pelandor\Tools     "Count"     REG_DWORD  number of tools
//   Software\Tobrek\Pelandor\Tools\<i>  "Exe_file"  REG_SZ     program of tool i
//                                       "Name"      REG_SZ     registered name of tool i
//
// Each function raises PelandorError with the message the standard error box
// shows when a value cannot be written or read, or has the wrong type.
#pragma once

#include <QString>

namespace pelandor {

class SettingsStore;
class ToolList;

namespace ToolKeys {
inline const QString Maker = QStringLiteral("Software\\Tobrek");
inline const QString Product = QStringLiteral("Software\\Tobrek\\Pelandor");
inline const QString Tools = QStringLiteral("Software\\Tobrek\\Pelandor\\Tools");
inline const QString Count = QStringLiteral("Count");
inline const QString ExeFile = QStringLiteral("Exe_file");
inline const QString Name = QStringLiteral("Name");
} // namespace ToolKeys

// A "Count" above this is a damaged value, reported as one that cannot be
// read: every tool past the stored subkeys would be an empty one, and a
// damaged count must not make the program build millions of them.
inline constexpr int MaxToolCount = 4096;

// Appends the stored tools to `tools` (the caller clears it first). Creates
// the key with "Count" = 0 when "Count" is missing. After a failure `tools`
// holds the tools read so far.
void LoadTools(SettingsStore &store, ToolList &tools);
// Replaces the stored "Tools" key by `tools`, numbered from 0, in one write:
// after a failure the stored list is the one before.
void SaveTools(SettingsStore &store, const ToolList &tools);
void ClearTools(ToolList &tools);
// Deletes "Software\Tobrek\Pelandor" with everything below it; "Software\Tobrek"
// stays. A missing key is no error.
void DeleteRegistryInfo(SettingsStore &store);

// The three messages, the value's name in place of %s.
QString settingFailedText(const QString &valueName);
QString readingFailedText(const QString &valueName);
QString wrongTypeText(const QString &valueName);
// Why a tool list that was read only in part is not saved.
QString toolsNotReadWholeText();

} // namespace pelandor
