// A main window whose drive combo and folder tree show a temporary folder
// standing in for a volume, with no import modules; and the list as the
// window tests read it.
#pragma once

#include <QDir>
#include <QSignalBlocker>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "WindowControls.h"
#include "app/MainWindowServices.h"
#include "app/TMainWindow.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "shell/TDriveComboEx.h"
#include "shell/TFolderTree.h"

class WindowOnVolume {
public:
    QTemporaryDir modules; // no import modules
    QTemporaryDir root;    // stands in for a volume
    std::unique_ptr<pelandor::TMainWindow> window;

    // Makes the window on the volume and shows it.
    void open(pelandor::MainWindowServices services = {})
    {
        window = std::make_unique<pelandor::TMainWindow>(modules.path(), std::move(services));
        control<pelandor::TDriveComboEx>(*window, "DriveComboEx1")->SetDrive(root.path());
        {
            const QSignalBlocker blocker(folderTree());
            folderTree()->SetDrive(root.path());
        }
        window->show();
    }
    void close() { window.reset(); }

    pelandor::FileListView *listView() const { return control<pelandor::FileListView>(*window, "ListView1"); }
    pelandor::TFolderTree *folderTree() const { return control<pelandor::TFolderTree>(*window, "FolderTree1"); }
    pelandor::FileListModel &model() const { return *listView()->model(); }

    QStringList captions() const
    {
        QStringList out;
        for (int row = 0; row < model().count(); ++row)
            out << model().caption(row);
        return out;
    }
    int rowOf(const QString &name) const { return int(captions().indexOf(name)); }

    // Selecting a folder in the tree starts its reading (and finishes it).
    // The tree is read again first: it read the volume before the test made
    // the folder.
    bool select(const QString &folder)
    {
        {
            const QSignalBlocker blocker(folderTree());
            folderTree()->InitFolderTree();
        }
        return folderTree()->selectFolder(folder);
    }
};
