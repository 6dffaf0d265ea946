// External tools: the entries at the end of the context menu that start a
// user-registered program on the selected files, the tools dialog, and the
// deletion of the stored settings. The window's handlers forward to its
// ToolCommands.
#include "app/TMainWindow.h"

#include <QMenu>

#include "app/ToolCommands.h"

namespace pelandor {

void TMainWindow::setUpToolCommands(MainWindowServices &services)
{
    // Every item PopupMenu1 holds by now stays in front of the tool entries.
    ToolCommands::Controls controls;
    controls.window = this;
    controls.menu = PopupMenu1;
    controls.guard = m_guard;
    controls.messages = m_messages;
    controls.selectedPaths = [this] { return SelectedFullPaths(); };
    m_toolCommands = new ToolCommands(std::move(controls), services.settingsFile,
        std::move(services.processStarter), this);
}

const ToolList &TMainWindow::tools() const { return m_toolCommands->tools(); }
int TMainWindow::fixedPopupItemCount() const { return m_toolCommands->fixedPopupItemCount(); }

void TMainWindow::ReloadTools() { m_toolCommands->ReloadTools(); }
void TMainWindow::ToolMenuItemClick(int toolIndex) { m_toolCommands->ToolMenuItemClick(toolIndex); }
void TMainWindow::mnuOption_toolsClick() { m_toolCommands->editTools(); }
void TMainWindow::mnuFile_del_regClick() { m_toolCommands->deleteStoredSettings(); }

} // namespace pelandor
