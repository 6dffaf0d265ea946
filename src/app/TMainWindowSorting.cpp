// Sorting, view style and the status bar.
#include "app/TMainWindow.h"

namespace pelandor {

void TMainWindow::mnuView_sort_nameClick() {}
void TMainWindow::mnuView_sort_typeClick() {}
void TMainWindow::mnuView_sort_sizeClick() {}
void TMainWindow::mnuView_sort_dateClick() {}
void TMainWindow::mnuView_sort_upClick() {}
void TMainWindow::mnuView_sort_downClick() {}
void TMainWindow::mnuView_style_iconClick() {}
void TMainWindow::mnuView_style_reportClick() {}
void TMainWindow::ListView1Change(int) {}
void TMainWindow::ResortByCheckedKey() {}

} // namespace pelandor
