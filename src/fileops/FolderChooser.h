// The folder chooser of the copy and move commands.
#pragma once

#include <QString>

class QWidget;

namespace pelandor {

class FolderChooser {
public:
    // The chosen folder; empty when the user cancelled.
    static QString chooseCopyDestination(QWidget *parent);
    static QString chooseMoveDestination(QWidget *parent);
};

} // namespace pelandor
