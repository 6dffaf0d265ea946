// The tools dialogs and the tool entries of the context menu: add, edit and
// delete against the selection, the rule that enables OK, OK saving while
// every other close discards the edits, and the menu entries after the fixed
// items reporting their tool number.
#include <QApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "ToolTestSupport.h"
#include "tools/ExecutableFileFilter.h"
#include "tools/SettingsStore.h"
#include "tools/TExtToolsDialog.h"
#include "tools/TToolInfoDialog.h"
#include "tools/ToolList.h"
#include "tools/ToolMenuEntries.h"
#include "tools/ToolStore.h"

using namespace pelandor;

namespace {

ToolList abc()
{
    ToolList tools;
    tools.append("A", "/a");
    tools.append("B", "/b");
    tools.append("C", "/c");
    return tools;
}

QStringList lines(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

// Runs `act` on the edit dialog as soon as it is shown modally; gives up
// when `owner` (the tools dialog) goes.
void whenEditDialogOpens(QObject *owner, const std::function<void(TToolInfoDialog *)> &act)
{
    auto *timer = new QTimer(owner);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto *info = qobject_cast<TToolInfoDialog *>(QApplication::activeModalWidget());
        if (!info)
            return;
        timer->stop();
        timer->deleteLater();
        act(info);
    });
    timer->start();
}

} // namespace

class TestToolsDialogs : public QObject {
    Q_OBJECT

private slots:
    void commands_data()
    {
        QTest::addColumn<int>("selected"); // -1: none
        QTest::addColumn<bool>("clickBelowLines");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("exeFiles");
        QTest::newRow("add without selection") << -1 << false << "add" << QStringList{"A", "B", "C", "N"}
                                               << QStringList{"/a", "/b", "/c", "/n"};
        QTest::newRow("add before line 1") << 1 << false << "add" << QStringList{"A", "N", "B", "C"}
                                           << QStringList{"/a", "/n", "/b", "/c"};
        QTest::newRow("add after a click below the lines")
            << 1 << true << "add" << QStringList{"A", "B", "C", "N"} << QStringList{"/a", "/b", "/c", "/n"};
        QTest::newRow("edit line 1") << 1 << false << "edit" << QStringList{"A", "N", "C"}
                                     << QStringList{"/a", "/n", "/c"};
        QTest::newRow("edit without selection") << -1 << false << "edit" << QStringList{"A", "B", "C"}
                                                << QStringList{"/a", "/b", "/c"};
        QTest::newRow("delete line 0") << 0 << false << "delete" << QStringList{"B", "C"} << QStringList{"/b", "/c"};
        QTest::newRow("delete without selection") << -1 << false << "delete" << QStringList{"A", "B", "C"}
                                                  << QStringList{"/a", "/b", "/c"};
        // No button answers Return: it neither adds, edits nor closes.
        QTest::newRow("Return in the list") << 1 << false << "return" << QStringList{"A", "B", "C"}
                                            << QStringList{"/a", "/b", "/c"};
    }
    void commands()
    {
        QFETCH(int, selected);
        QFETCH(bool, clickBelowLines);
        QFETCH(QString, command);
        QFETCH(QStringList, names);
        QFETCH(QStringList, exeFiles);

        ToolList tools = abc();
        QPointer<TExtToolsDialog> dialog = new TExtToolsDialog(tools, [] { return true; });
        dialog->show();
        QCOMPARE(dialog->SelectedLine(), -1);
        if (selected >= 0)
            dialog->ListBox1->setCurrentRow(selected);
        if (clickBelowLines)
            QTest::mouseClick(dialog->ListBox1->viewport(), Qt::LeftButton, {},
                              QPoint(10, dialog->ListBox1->viewport()->height() - 3));

        QString shownName;
        QString shownExe;
        bool okEnabled = false;
        whenEditDialogOpens(dialog, [&](TToolInfoDialog *info) {
            shownName = info->Edit1->text();
            shownExe = info->Edit2->text();
            okEnabled = info->btn_ok->isEnabled();
            info->Edit1->setText("N");
            info->Edit2->setText("/n");
            QTest::mouseClick(info->btn_ok, Qt::LeftButton);
        });
        if (command == QLatin1String("add"))
            QTest::mouseClick(dialog->btn_add, Qt::LeftButton);
        else if (command == QLatin1String("edit"))
            QTest::mouseClick(dialog->btn_edit, Qt::LeftButton);
        else if (command == QLatin1String("return")) {
            dialog->activateWindow();
            dialog->ListBox1->setFocus();
            QTRY_VERIFY(dialog->ListBox1->hasFocus());
            QTest::keyClick(dialog->ListBox1, Qt::Key_Return);
        }
        else
            QTest::mouseClick(dialog->btn_delete, Qt::LeftButton);
        QVERIFY(dialog->isVisible());
        // After a delete no line is selected: a second delete only beeps,
        // and an add appends.
        if (command == QLatin1String("delete"))
            QCOMPARE(dialog->SelectedLine(), -1);

        QCOMPARE(tools.ToolNames(), names);
        QCOMPARE(tools.ToolExeFiles(), exeFiles);
        QCOMPARE(lines(dialog->ListBox1), names);
        if (command == QLatin1String("edit") && selected >= 0) {
            QCOMPARE(shownName, QStringLiteral("B"));
            QCOMPARE(shownExe, QStringLiteral("/b"));
            QVERIFY(okEnabled);
        } else if (command == QLatin1String("add")) {
            QCOMPARE(shownName, QString());
            QVERIFY(!okEnabled);
        }
        QVERIFY(!qobject_cast<TToolInfoDialog *>(QApplication::activeModalWidget()));
        delete dialog;
    }

    void okNeedsBothTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("exeFile");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("both empty") << "" << "" << false;
        QTest::newRow("no program") << "A" << "" << false;
        QTest::newRow("no name") << "" << "/a" << false;
        QTest::newRow("blanks count") << " " << " " << true;
        QTest::newRow("both given") << "A" << "/a" << true;
    }
    void okNeedsBothTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, exeFile);
        QFETCH(bool, enabled);
        ToolList tools;
        TExtToolsDialog dialog(tools, [] { return true; });
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        auto *info = new TToolInfoDialog(&dialog);
        info->Edit1->setText("x");
        info->Edit2->setText("y");
        info->Edit1->setText(name);
        info->Edit2->setText(exeFile);
        QCOMPARE(info->btn_ok->isEnabled(), enabled);

        info->TakePickedFile("/usr/local/bin/my tool.sh");
        QCOMPARE(info->Edit1->text(), QStringLiteral("my tool.sh"));
        QCOMPARE(info->Edit2->text(), QStringLiteral("/usr/local/bin/my tool.sh"));
        QVERIFY(info->btn_ok->isEnabled());
    }

    void everyCloseReloads_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("names"); // after the close
        QTest::newRow("OK") << "ok" << QStringList{"B", "N"};
        QTest::newRow("cancel") << "cancel" << QStringList{"A", "B"};
        QTest::newRow("Esc") << "esc" << QStringList{"A", "B"};
        QTest::newRow("close box") << "closebox" << QStringList{"A", "B"};
        QTest::newRow("OK with a failing save") << "okfails" << QStringList{"B", "N"};
    }
    void everyCloseReloads()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, names);
        QTemporaryDir dir;
        RecordingMessageSink messages;
        SettingsStore store(dir.filePath("settings.reg"), messages);
        ToolList stored;
        stored.append("A", "/a");
        stored.append("B", "/b");
        SaveTools(store, stored);
        const QByteArray storedFile = readAllOf(store.filePath());

        // What the main window does: edit its list, reload it on every close.
        ToolList tools;
        LoadTools(store, tools);
        int closes = 0;
        const bool saveFails = how == QLatin1String("okfails");
        QPointer<TExtToolsDialog> dialog = new TExtToolsDialog(tools, [&] {
            if (saveFails)
                return false;
            SaveTools(store, tools);
            return true;
        });
        connect(dialog, &TExtToolsDialog::formClosed, this, [&] {
            ++closes;
            ClearTools(tools);
            LoadTools(store, tools);
        });
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(QApplication::focusWidget(), dialog->btn_cancel);

        dialog->AddEditFlag = 1;
        dialog->ApplyToolInfo("N", "/n");
        dialog->ListBox1->setCurrentRow(0);
        dialog->btn_deleteClick();

        if (how == QLatin1String("ok") || saveFails)
            QTest::mouseClick(dialog->btn_ok, Qt::LeftButton);
        else if (how == QLatin1String("cancel"))
            QTest::mouseClick(dialog->btn_cancel, Qt::LeftButton);
        else if (how == QLatin1String("esc"))
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            dialog->close();

        QCOMPARE(tools.ToolNames(), names);
        if (saveFails) {
            QVERIFY(dialog && dialog->isVisible());
            QCOMPARE(closes, 0);
            QCOMPARE(lines(dialog->ListBox1), names);
            delete dialog;
        } else {
            QCOMPARE(closes, 1);
            QTRY_VERIFY(!dialog);
        }
        if (how != QLatin1String("ok"))
            QCOMPARE(readAllOf(store.filePath()), storedFile);
        QVERIFY(messages.messages.isEmpty());
    }

    // The chooser of "参照" lists this system's programs first: files the
    // user may run (folders to move around), whatever their names.
    void programChooserListsExecutableFiles()
    {
        QTemporaryDir dir;
        for (const char *name : {"run-me", "notes.txt", "setup.exe"}) {
            QFile file(dir.filePath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::setPermissions(dir.filePath("run-me"), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QFileSystemModel files;
        QSignalSpy loaded(&files, &QFileSystemModel::directoryLoaded);
        const QModelIndex root = files.setRootPath(dir.path());
        QTRY_VERIFY(!loaded.isEmpty());
        QTRY_COMPARE(files.rowCount(root), 4);
        ExecutableFileFilter programs;
        programs.setSourceModel(&files);
        const auto shown = [&] {
            QStringList names;
            const QModelIndex parent = programs.mapFromSource(root);
            for (int row = 0; row < programs.rowCount(parent); ++row)
                names << programs.index(row, 0, parent).data().toString();
            names.sort();
            return names;
        };
        QCOMPARE(shown(), (QStringList{"run-me", "sub"}));
        programs.setActive(false);
        QCOMPARE(shown(), (QStringList{"notes.txt", "run-me", "setup.exe", "sub"}));
        QCOMPARE(QString::fromUtf8(TToolInfoDialog::OpenDialogFilter).split(";;").value(1), QStringLiteral("ﾌﾟﾛｸﾞﾗﾑﾌｧｲﾙ (*.exe)"));
    }

    void menuEntriesFollowTheFixedItems()
    {
        QMenu menu;
        menu.addAction("view");
        menu.addSeparator();
        menu.addAction("copy");
        menu.addSeparator();
        const int fixed = int(menu.actions().size());
        QList<int> chosen;
        auto record = [&chosen](int i) { chosen.append(i); };

        ToolMenuEntries::AddToolMenuItems(&menu, abc(), record);
        QCOMPARE(menu.actions().size(), fixed + 3);
        QCOMPARE(menu.actions()[fixed + 1]->text(), QStringLiteral("B"));
        menu.actions()[fixed + 2]->trigger();
        menu.actions()[fixed]->trigger();
        QCOMPARE(chosen, (QList<int>{2, 0}));
        QCOMPARE(ToolMenuEntries::ToolIndexOf(menu.actions()[fixed + 1]), 1);
        QCOMPARE(ToolMenuEntries::ToolIndexOf(menu.actions()[0]), -1);

        // A reload after tool 0 was deleted: the entries move up and each
        // still reports its own tool.
        ToolList fewer = abc();
        fewer.removeAt(0);
        ToolMenuEntries::RemoveToolMenuItems(&menu, fixed);
        ToolMenuEntries::AddToolMenuItems(&menu, fewer, record);
        QCOMPARE(menu.actions().size(), fixed + 2);
        QCOMPARE(menu.actions()[fixed]->text(), QStringLiteral("B"));
        menu.actions()[fixed + 1]->trigger();
        QCOMPARE(chosen.last(), 1);

        ToolMenuEntries::RemoveToolMenuItems(&menu, fixed);
        QCOMPARE(menu.actions().size(), fixed);
        QVERIFY(menu.actions().last()->isSeparator());
    }
};

QTEST_MAIN(TestToolsDialogs)
#include "TestToolsDialogs.moc"
