// A small window with the left pane's two controls, the volume combo above
// the folder tree, wired the way the main window wires them. For looking at
// the controls by eye (for example under Xvfb).
//
// Usage: shell_demo [folder to select]
#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include "shell/TDriveComboEx.h"
#include "shell/TFolderTree.h"

using namespace pelandor;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Pelandor shell controls"));
    auto *layout = new QVBoxLayout(&window);
    auto *combo = new TDriveComboEx(&window);
    combo->setFixedSize(155, 22);
    auto *tree = new TFolderTree(&window);
    tree->setIndentation(19);
    auto *status = new QLabel(&window);
    layout->addWidget(combo);
    layout->addWidget(tree, 1);
    layout->addWidget(status);

    QObject::connect(combo, &TDriveComboEx::changed, tree, [=] {
        if (combo->Drive() != tree->Drive())
            tree->SetDrive(combo->Drive());
    });
    QObject::connect(tree, &TFolderTree::changed, status, [=] { status->setText(tree->GetFolderPath()); });
    tree->SetDrive(combo->Drive());
    if (argc > 1) {
        const QString folder = QString::fromLocal8Bit(argv[1]);
        combo->SetDrive(VolumeList::current().volumeOf(folder));
        tree->SetDrive(combo->Drive());
        tree->selectFolder(folder);
    }
    window.resize(260, 480);
    window.show();
    return app.exec();
}
