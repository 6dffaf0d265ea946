// External tools: the entries at the end of the context menu that start a
// user-registered program on the selected files, the tools dialog, and the
// deletion of the stored settings. The store, the dialogs and the launching
// live in src/tools; the handlers here connect them to the window.
#include "app/TMainWindow.h"

#include <QMenu>

#include "listing/CommandGuard.h"
#include "platform/PelandorError.h"
#include "platform/MessageSink.h"
#include "tools/RegistryDeleteQuestion.h"
#include "tools/SettingsStore.h"
#include "tools/TExtToolsDialog.h"
#include "tools/ToolLauncher.h"
#include "tools/ToolMenuEntries.h"
#include "tools/ToolStore.h"

namespace pelandor {

void TMainWindow::ReloadTools()
{
    // A failed load leaves the menu without tool entries until the next
    // successful reload.
    ClearTools(m_tools);
    ToolMenuEntries::RemoveToolMenuItems(PopupMenu1, m_fixedPopupItemCount);
    m_toolsReadWhole = false;
    LoadTools(*m_settings, m_tools);
    m_toolsReadWhole = true;
    ToolMenuEntries::AddToolMenuItems(PopupMenu1, m_tools, [this](int toolIndex) {
        RunCommand([this, toolIndex] { ToolMenuItemClick(toolIndex); });
    });
}

void TMainWindow::ToolMenuItemClick(int toolIndex)
{
    if (toolIndex < 0 || toolIndex >= m_tools.ToolCount())
        return;
    const QString program = m_tools.ToolExeFiles()[toolIndex];
    const QStringList paths = SelectedFullPaths();
    if (paths.isEmpty())
        return;
    // A failure is shown in a modal box, which processes events: the command
    // holds the guard, so that nothing re-reads the list meanwhile.
    const CommandGuard::Token token = m_guard->hold();
    // Each file's failure is shown before the next file's tool is started.
    ToolLauncher(*m_starter).launch(program, paths, [this](const ToolLauncher::Failure &failure) {
        Messages().showMessage(failure.errorText);
    });
}

void TMainWindow::mnuOption_toolsClick()
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
        this);
    connect(dialog, &TExtToolsDialog::formClosed, this, [this] { RunCommand([this] { ReloadTools(); }); });
    dialog->exec();
}

void TMainWindow::mnuFile_del_regClick()
{
    // The tools stay in memory and in the menu until the next reload.
    if (RegistryDeleteQuestion::Ask(this))
        DeleteRegistryInfo(*m_settings);
}

} // namespace pelandor
