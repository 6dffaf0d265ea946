#include "app/ToolCommands.h"

#include <QMenu>

#include "app/ErrorBox.h"
#include "listing/CommandGuard.h"
#include "platform/MessageSink.h"
#include "platform/PelandorError.h"
#include "tools/DetachedProcessStarter.h"
#include "tools/RegistryDeleteQuestion.h"
#include "tools/SettingsStore.h"
#include "tools/TExtToolsDialog.h"
#include "tools/ToolLauncher.h"
#include "tools/ToolMenuEntries.h"
#include "tools/ToolStore.h"

namespace pelandor {

ToolCommands::ToolCommands(
    Controls controls, const QString &settingsFile, std::unique_ptr<ProcessStarter> starter, QObject *parent)
    : QObject(parent)
    , m_controls(std::move(controls))
    , m_settings(std::make_unique<SettingsStore>(
          settingsFile.isEmpty() ? SettingsStore::defaultFilePath() : settingsFile, *m_controls.messages))
    , m_starter(starter ? std::move(starter) : std::make_unique<DetachedProcessStarter>())
    , m_fixedPopupItemCount(int(m_controls.menu->actions().size()))
{
}

ToolCommands::~ToolCommands() = default;

void ToolCommands::ReloadTools()
{
    // A failed load leaves the menu without tool entries until the next
    // successful reload.
    ClearTools(m_tools);
    ToolMenuEntries::RemoveToolMenuItems(m_controls.menu, m_fixedPopupItemCount);
    m_toolsReadWhole = false;
    LoadTools(*m_settings, m_tools);
    m_toolsReadWhole = true;
    ToolMenuEntries::AddToolMenuItems(m_controls.menu, m_tools, [this](int toolIndex) {
        runGuarded(m_controls.window, [this, toolIndex] { ToolMenuItemClick(toolIndex); });
    });
}

void ToolCommands::ToolMenuItemClick(int toolIndex)
{
    if (toolIndex < 0 || toolIndex >= m_tools.ToolCount())
        return;
    const QString program = m_tools.ToolExeFiles()[toolIndex];
    const QStringList paths = m_controls.selectedPaths();
    if (paths.isEmpty())
        return;
    // A failure is shown in a modal box, which processes events: the command
    // holds the guard, so that nothing re-reads the list meanwhile.
    const CommandGuard::Token token = m_controls.guard->hold();
    // Each file's failure is shown before the next file's tool is started.
    ToolLauncher(*m_starter).launch(program, paths, [this](const ToolLauncher::Failure &failure) {
        m_controls.messages->showMessage(failure.errorText);
    });
}

void ToolCommands::editTools()
{
    // The dialog edits m_tools itself; OK saves it (a failed save keeps the
    // dialog open), and every close reloads list and menu from the store,
    // which is what makes cancel discard the edits. The dialog deletes itself
    // on close; its save handler runs only while it is open.
    TExtToolsDialog *dialog = nullptr;
    dialog = new TExtToolsDialog(
        m_tools,
        [this, &dialog] {
            bool saved = false;
            runGuarded(dialog, [this, &saved] {
                // Saving a list that was read only in part would lose the
                // tools that could not be read.
                if (!m_toolsReadWhole)
                    throw PelandorError(toolsNotReadWholeText());
                SaveTools(*m_settings, m_tools);
                saved = true;
            });
            return saved;
        },
        m_controls.window);
    connect(dialog, &TExtToolsDialog::formClosed, this,
        [this] { runGuarded(m_controls.window, [this] { ReloadTools(); }); });
    dialog->exec();
}

void ToolCommands::deleteStoredSettings()
{
    // The tools stay in memory and in the menu until the next reload.
    if (RegistryDeleteQuestion::Ask(m_controls.window))
        DeleteRegistryInfo(*m_settings);
}

} // namespace pelandor
