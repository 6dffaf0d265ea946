// Copying, moving and deleting the selected files, and dragging them onto a
// folder or volume. The commands are bound to their menu entries and keys;
// the file-operation engine they call into is not part of this build yet,
// so they do nothing.
#include "app/TMainWindow.h"

namespace pelandor {

void TMainWindow::popMnu_copyClick() {}
void TMainWindow::popMnu_moveClick() {}
void TMainWindow::popMnu_deleteClick() {}
void TMainWindow::ListView1KeyUp(QKeyEvent *) {}
void TMainWindow::ListView1StartDrag() {}
void TMainWindow::ListView1EndDrag() {}
void TMainWindow::FolderTree1DragDrop() {}
void TMainWindow::FolderTree1DragOver() {}
void TMainWindow::DriveComboEx1DragDrop() {}
void TMainWindow::DriveComboEx1DragOver() {}
void TMainWindow::Timer1Timer() {}

} // namespace pelandor
