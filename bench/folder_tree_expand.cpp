// Times the first expansion of a folder with very many subfolders in the
// folder tree: reading, sorting and inserting the children, then laying out
// and painting the view once. Run through folder_tree_expand.sh, which makes
// the folders first.
//
// Usage: bench_folder_tree_expand <folder that holds "big">
#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include "shell/FolderTreeModel.h"
#include "shell/TFolderTree.h"

using pelandor::TFolderTree;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    if (argc < 2) {
        out << "usage: bench_folder_tree_expand <folder holding big/>\n";
        return 2;
    }
    const QString base = QString::fromLocal8Bit(argv[1]);

    TFolderTree tree;
    tree.resize(300, 600);
    tree.show();
    tree.SetDrive(base);
    QCoreApplication::processEvents();

    QModelIndex big;
    const QModelIndex root = tree.folderModel()->rootIndex();
    for (int row = 0; row < tree.folderModel()->rowCount(root); ++row)
        if (tree.folderModel()->index(row, 0, root).data().toString() == QLatin1String("big"))
            big = tree.folderModel()->index(row, 0, root);
    if (!big.isValid()) {
        out << "no folder 'big' in " << base << "\n";
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    tree.expand(big);
    const qint64 expandMs = timer.elapsed();
    tree.viewport()->repaint();
    QCoreApplication::processEvents();
    const qint64 shownMs = timer.elapsed();

    const int children = tree.folderModel()->rowCount(big);
    out << "children read: " << children << "\n";
    out << "expand (read, sort, insert): " << expandMs << " ms\n";
    out << "expand until painted:        " << shownMs << " ms\n";
    out << "first child: " << tree.folderModel()->index(0, 0, big).data().toString()
        << ", last: " << tree.folderModel()->index(children - 1, 0, big).data().toString() << "\n";
    return children > 0 ? 0 : 1;
}
