// One reading of a folder by the main window on the offscreen platform, for
// bench_thumbnail_speed to measure as a whole process: the window is made,
// the folder tree selects the folder, the reading runs to its end (sort and
// beep included) and the program ends.
//   usage: bench_window_reading FOLDER
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <cstdio>

#include "app/TMainWindow.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "shell/TDriveComboEx.h"
#include "shell/TFolderTree.h"

using namespace pelandor;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_window_reading FOLDER\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    TMainWindow window(QCoreApplication::applicationDirPath());
    const QString volume = QFileInfo(folder).absolutePath();
    window.DriveComboEx1->SetDrive(volume);
    {
        const QSignalBlocker blocker(window.FolderTree1);
        window.FolderTree1->SetDrive(volume);
    }
    window.show();
    app.processEvents();
    if (!window.FolderTree1->selectFolder(folder)) {
        std::fprintf(stderr, "the tree cannot select %s\n", qPrintable(folder));
        return 1;
    }
    app.processEvents();
    std::printf("%d files listed\n", window.ListView1->model()->count());
    return 0;
}
