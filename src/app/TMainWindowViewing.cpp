// Opening viewers, refreshing thumbnails and copying an image.
#include "app/TMainWindow.h"

namespace pelandor {

void TMainWindow::ListView1DblClick() {}
void TMainWindow::popMnu_viewClick() {}
void TMainWindow::popMnu_refleshClick() {}
void TMainWindow::popMnu_imagecopyClick() {}

} // namespace pelandor
