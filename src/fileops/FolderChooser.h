// The folder chooser of the copy and move commands.
#pragma once

#include <QString>

class QWidget;

namespace pelandor {

class FolderChooser {
public:
    // The chosen folder; empty when the user cancelled. The chooser starts
    // at startFolder (the home folder when it is empty or gone).
    static QString chooseCopyDestination(QWidget *parent, const QString &startFolder);
    static QString chooseMoveDestination(QWidget *parent, const QString &startFolder);
};

} // namespace pelandor
