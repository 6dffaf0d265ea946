// The main window's external tools: the entries at the end of the context
// menu that start a user-registered program on the selected files, the tools
// dialog that edits the list, and the deletion of the stored settings. The
// store, the dialogs and the launching live in src/tools; this helper holds
// the list and connects them to the window's controls. The window owns one
// and forwards its handlers here.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "tools/ProcessStarter.h"
#include "tools/ToolList.h"

class QMenu;
class QWidget;

namespace pelandor {

class CommandGuard;
class MessageSink;
class SettingsStore;

class ToolCommands : public QObject {
    Q_OBJECT

public:
    // The controls the commands work with; all outlive this object (the
    // window owns them and it).
    struct Controls {
        // The parent of the dialogs and the error boxes.
        QWidget *window = nullptr;
        // The context menu; the items it holds now stay in front of the tool
        // entries.
        QMenu *menu = nullptr;
        CommandGuard *guard = nullptr;
        MessageSink *messages = nullptr;
        // Full paths of the selected files, in list order.
        std::function<QStringList()> selectedPaths;
    };

    // settingsFile: where the tools are stored (SettingsStore::defaultFilePath()
    // when empty); starter: what starts them (DetachedProcessStarter when
    // null). The list starts empty: ReloadTools reads it.
    ToolCommands(Controls controls, const QString &settingsFile, std::unique_ptr<ProcessStarter> starter,
        QObject *parent);
    ~ToolCommands() override;

    // The tools as last loaded (while the tools dialog is open: as edited there).
    const ToolList &tools() const { return m_tools; }
    // Number of fixed items of the context menu; the tool entries follow them.
    int fixedPopupItemCount() const { return m_fixedPopupItemCount; }

    // Reads the tools from the store again and rebuilds their entries at the
    // end of the context menu. Throws PelandorError when they cannot be read;
    // the menu then holds no tool entries.
    void ReloadTools();
    // Starts tool number toolIndex once on each selected file.
    void ToolMenuItemClick(int toolIndex);
    // Opens the tools dialog (modal).
    void editTools();
    // Asks, then deletes the stored settings.
    void deleteStoredSettings();

private:
    Controls m_controls;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<ProcessStarter> m_starter;
    ToolList m_tools;
    // False while m_tools may hold only part of the stored list (its load
    // failed part-way): such a list is never saved over the whole.
    bool m_toolsReadWhole = false;
    int m_fixedPopupItemCount = 0;
};

} // namespace pelandor
