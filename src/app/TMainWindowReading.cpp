// Reading a folder into the file list.
#include "app/TMainWindow.h"

namespace pelandor {

void TMainWindow::FolderTree1Change() {}
bool TMainWindow::FolderTree1Changing() { return !Reading; }
void TMainWindow::DriveComboEx1Change() {}
void TMainWindow::mnuView_readClick() {}
void TMainWindow::mnuView_cancelClick() {}
void TMainWindow::ReadFolder(const QString &, const QString &) {}
void TMainWindow::OpenFolder(const QString &) {}

} // namespace pelandor
