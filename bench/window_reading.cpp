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
    // The controls, found by the names they carry.
    auto *drives = window.findChild<TDriveComboEx *>(QStringLiteral("DriveComboEx1"));
    auto *tree = window.findChild<TFolderTree *>(QStringLiteral("FolderTree1"));
    auto *list = window.findChild<FileListView *>(QStringLiteral("ListView1"));
    const QString volume = QFileInfo(folder).absolutePath();
    drives->SetDrive(volume);
    {
        const QSignalBlocker blocker(tree);
        tree->SetDrive(volume);
    }
    window.show();
    app.processEvents();
    if (!tree->selectFolder(folder)) {
        std::fprintf(stderr, "the tree cannot select %s\n", qPrintable(folder));
        return 1;
    }
    app.processEvents();
    std::printf("%d files listed\n", list->model()->count());
    return 0;
}
