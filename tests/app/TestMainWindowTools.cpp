// The external tools wired into the main window, with a settings file in a
// temporary folder, a starter that records instead of starting and a sink
// that keeps the messages: the tool entries after the fixed context-menu
// items, a chosen entry starting its own tool once per selected file, the
// tools dialog saving on OK and reloading on every close, the deletion of
// the stored settings, and a start-up that cannot load the tools.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/ApplicationShell.h"
#include "app/TMainWindow.h"
#include "app/ToolCommands.h"
#include "listing/CommandGuard.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "platform/ErrorBoxText.h"
#include "platform/MessageSink.h"
#include "platform/PelandorError.h"
#include "RecordingStarter.h"
#include "tools/ProcessStarter.h"
#include "tools/SettingsStore.h"
#include "tools/TExtToolsDialog.h"
#include "tools/ToolStore.h"

using namespace pelandor;

namespace {

// Keeps the messages, and whether the window's command guard was held when
// each was shown.
class RecordingSink : public MessageSink {
public:
    void showMessage(const QString &text) override
    {
        messages.append(text);
        guardHeld.append(guard && guard->busy());
        startsWhenShown.append(starter ? int(starter->starts.size()) : -1);
    }
    const CommandGuard *guard = nullptr;
    const RecordingStarter *starter = nullptr;
    QList<int> startsWhenShown;
    QStringList messages;
    QList<bool> guardHeld;
};

ToolList threeTools()
{
    ToolList tools;
    tools.append(QStringLiteral("Viewer"), QStringLiteral("/opt/viewer/bin/view"));
    tools.append(QStringLiteral("画像 エディタ"), QStringLiteral("/opt/my tools/edit"));
    tools.append(QStringLiteral("&Print"), QStringLiteral("/usr/bin/lp"));
    return tools;
}

// Runs `act` on the first modal widget of type T as soon as it shows.
template <typename T> void whenModalOpens(QObject *owner, const std::function<void(T *)> &act)
{
    auto *timer = new QTimer(owner);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto *widget = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!widget)
            return;
        timer->stop();
        timer->deleteLater();
        act(widget);
    });
    timer->start();
}

} // namespace

class TestMainWindowTools : public QObject {
    Q_OBJECT

    QTemporaryDir m_modules; // no import modules
    QTemporaryDir m_root;
    QString m_folder;  // four bitmaps, "a 1.bmp" .. "d.bmp"
    QString m_settingsFile;
    QTemporaryDir m_config;
    RecordingSink m_sink;
    RecordingStarter *m_starter = nullptr; // owned by the window
    std::unique_ptr<TMainWindow> m_window;

    std::unique_ptr<TMainWindow> makeWindow()
    {
        auto starter = std::make_unique<RecordingStarter>();
        m_starter = starter.get();
        MainWindowServices services;
        services.settingsFile = m_settingsFile;
        services.processStarter = std::move(starter);
        services.messages = &m_sink;
        return std::make_unique<TMainWindow>(m_modules.path(), std::move(services));
    }

    // The window's controls, found as a user's script would find them.
    template <typename T> T *control(const char *name) const
    {
        T *found = m_window->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QMenu *popupMenu() const { return control<QMenu>("PopupMenu1"); }
    FileListView *list() const { return control<FileListView>("ListView1"); }
    ToolCommands &commands() const { return m_window->toolCommands(); }

    QStringList toolEntryCaptions() const
    {
        QStringList captions;
        const QList<QAction *> items = popupMenu()->actions();
        for (qsizetype k = commands().fixedPopupItemCount(); k < items.size(); ++k)
            captions.append(items[k]->text());
        return captions;
    }

    // Selects the rows in the given order (not list order).
    void select(const QList<int> &rows)
    {
        QItemSelectionModel *selection = list()->selectionModel();
        selection->clearSelection();
        for (int row : rows)
            selection->select(list()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    ToolList storedTools()
    {
        RecordingSink sink;
        SettingsStore store(m_settingsFile, sink);
        ToolList tools;
        LoadTools(store, tools);
        return tools;
    }

    bool productKeyStored()
    {
        RecordingSink sink;
        SettingsStore store(m_settingsFile, sink);
        bool exists = false;
        store.update([&exists](RegistryTree &tree) {
            exists = tree.keyExists(ToolKeys::Product);
            return false;
        });
        return exists;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("pics")));
        m_folder = m_root.filePath(QStringLiteral("pics"));
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        for (const char *name : {"a 1.bmp", "b $(x).bmp", "c.bmp", "d.bmp"})
            QVERIFY(image.save(QDir(m_folder).filePath(QLatin1String(name)), "BMP"));
        m_settingsFile = m_config.filePath(QStringLiteral("pelandor/settings.reg"));
    }

    void init()
    {
        QFile::remove(m_settingsFile);
        RecordingSink sink;
        SettingsStore store(m_settingsFile, sink);
        SaveTools(store, threeTools());
        m_sink.messages.clear();
        m_sink.guardHeld.clear();
        m_sink.startsWhenShown.clear();
        m_window = makeWindow();
        m_sink.guard = &m_window->commandGuard();
        m_sink.starter = m_starter;
        m_window->show();
        m_window->OpenFolder(m_folder);
        QTRY_COMPARE(list()->model()->count(), 4);
        QTRY_VERIFY(!m_window->reading());
    }

    void cleanup()
    {
        m_sink.guard = nullptr;
        m_window.reset();
    }

    void storedToolsFollowTheFixedEntries()
    {
        QCOMPARE(commands().fixedPopupItemCount(), 9);
        QCOMPARE(popupMenu()->actions()[8]->objectName(), QStringLiteral("popMnu_separate2"));
        QCOMPARE(toolEntryCaptions(), threeTools().ToolNames());
        QCOMPARE(commands().tools(), threeTools());
    }

    // Entry k starts tool k once per selected file, in list order, each with
    // the file's full path as its one argument; a file that cannot be
    // started is reported once, while the command holds the guard, and the
    // files after it are still tried.
    void entryStartsItsToolPerSelectedFile_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QStringList>("refused"); // file names
        QTest::newRow("first tool") << 0 << QStringList{};
        QTest::newRow("second tool, program path with a blank") << 1 << QStringList{};
        QTest::newRow("every start fails") << 2 << QStringList{"a 1.bmp", "b $(x).bmp", "d.bmp"};
        QTest::newRow("the middle start fails") << 1 << QStringList{"b $(x).bmp"};
    }
    void entryStartsItsToolPerSelectedFile()
    {
        QFETCH(int, entry);
        QFETCH(QStringList, refused);
        const QStringList expected = {QDir(m_folder).filePath("a 1.bmp"), QDir(m_folder).filePath("b $(x).bmp"),
                                      QDir(m_folder).filePath("d.bmp")};
        for (const QString &name : refused)
            m_starter->refused.append(QDir(m_folder).filePath(name));
        select({3, 0, 1}); // c.bmp (row 2) stays unselected

        popupMenu()->actions()[commands().fixedPopupItemCount() + entry]->trigger();

        QCOMPARE(m_starter->starts.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(m_starter->starts[i].program, threeTools().ToolExeFiles()[entry]);
            QCOMPARE(m_starter->starts[i].arguments, QStringList{expected[i]});
        }
        QCOMPARE(m_sink.messages.size(), refused.size());
        for (int i = 0; i < refused.size(); ++i) {
            QCOMPARE(m_sink.messages[i], QStringLiteral("No such file or directory"));
            QVERIFY(m_sink.guardHeld[i]);
            // Shown before the next file's tool is started.
            QCOMPARE(m_sink.startsWhenShown[i], int(expected.indexOf(QDir(m_folder).filePath(refused[i]))) + 1);
        }
        QVERIFY(!m_window->commandGuard().busy());
    }

    // OK saves the edited list; any other close discards it. Either way the
    // menu then shows what is stored.
    void toolsDialogSavesOnOkAndReloadsOnEveryClose_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("cancel") << false;
    }
    void toolsDialogSavesOnOkAndReloadsOnEveryClose()
    {
        QFETCH(bool, ok);
        whenModalOpens<TExtToolsDialog>(this, [ok](TExtToolsDialog *dialog) {
            dialog->ListBox1->setCurrentRow(0);
            dialog->btn_delete->click();
            (ok ? dialog->btn_ok : dialog->btn_cancel)->click();
        });
        control<QAction>("mnuOption_tools")->trigger();

        ToolList expected = threeTools();
        if (ok)
            expected.removeAt(0);
        QCOMPARE(storedTools(), expected);
        QCOMPARE(commands().tools(), expected);
        QCOMPARE(toolEntryCaptions(), expected.ToolNames());
        QVERIFY(m_sink.messages.isEmpty());

        // The entries after the deleted one start their own programs.
        select({0});
        popupMenu()->actions().last()->trigger();
        QCOMPARE(m_starter->starts.size(), 1);
        QCOMPARE(m_starter->starts[0].program, QStringLiteral("/usr/bin/lp"));
    }

    // A list whose reload failed part-way is never saved over the stored
    // one: the tools that could not be read would be lost.
    void partlyReadToolsAreNotSaved()
    {
        const QByteArray damaged = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools]\n"
                                   "\"Count\"=dword:00000002\n\n"
                                   "[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools\\0]\n"
                                   "\"Exe_file\"=\"/bin/a\"\n\"Name\"=\"A\"\n\n"
                                   "[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools\\1]\n"
                                   "\"Exe_file\"=dword:00000001\n\"Name\"=\"B\"\n";
        QFile file(m_settingsFile);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
        file.close();
        // Closing the dialog reloads the list, which stops at the second tool.
        QStringList boxes;
        auto acceptBox = [this, &boxes] {
            whenModalOpens<QMessageBox>(this, [&boxes](QMessageBox *box) {
                boxes.append(box->text());
                box->accept();
            });
        };
        whenModalOpens<TExtToolsDialog>(this, [&acceptBox](TExtToolsDialog *dialog) {
            acceptBox();
            dialog->btn_cancel->click();
        });
        control<QAction>("mnuOption_tools")->trigger();
        QTRY_COMPARE(boxes.size(), 1);
        QCOMPARE(commands().tools().ToolCount(), 1);

        // OK refuses to save (the dialog stays open) and says why.
        whenModalOpens<TExtToolsDialog>(this, [&acceptBox](TExtToolsDialog *dialog) {
            acceptBox();
            dialog->btn_ok->click();
            acceptBox();
            dialog->btn_cancel->click();
        });
        control<QAction>("mnuOption_tools")->trigger();
        QTRY_COMPARE(boxes.size(), 3);
        QVERIFY2(boxes[1].contains(toolsNotReadWholeText()), qPrintable(boxes[1]));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), damaged);
    }

    void deletingTheStoredSettingsAsksFirst_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("OK") << true;
        QTest::newRow("cancel") << false;
    }
    void deletingTheStoredSettingsAsksFirst()
    {
        QFETCH(bool, confirm);
        whenModalOpens<QMessageBox>(this, [confirm](QMessageBox *box) {
            box->button(confirm ? QMessageBox::Ok : QMessageBox::Cancel)->click();
        });
        control<QAction>("mnuFile_del_reg")->trigger();

        QCOMPARE(productKeyStored(), !confirm);
        // The tools stay in memory and in the menu until the next reload.
        QCOMPARE(toolEntryCaptions(), threeTools().ToolNames());
        QCOMPARE(commands().tools(), threeTools());
    }

    // The helper on its own, over a menu of two fixed items: a reload that
    // fails takes the old tool entries away and adds none, so no entry
    // starts a tool the store no longer holds; the next good reload puts the
    // stored tools back after the fixed items.
    void failedReloadLeavesOnlyTheFixedItems()
    {
        QWidget owner;
        auto *menu = new QMenu(&owner);
        menu->addAction(QStringLiteral("fixed"));
        menu->addSeparator();
        CommandGuard guard;
        RecordingSink sink;
        ToolCommands::Controls controls;
        controls.window = &owner;
        controls.menu = menu;
        controls.guard = &guard;
        controls.messages = &sink;
        controls.selectedPaths = [] { return QStringList{QStringLiteral("/pics/a.bmp")}; };
        auto starter = std::make_unique<RecordingStarter>();
        RecordingStarter *started = starter.get();
        ToolCommands commands(std::move(controls), m_settingsFile, std::move(starter), nullptr);
        commands.ReloadTools();
        QCOMPARE(menu->actions().size(), 2 + 3);

        QFile file(m_settingsFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools]\n\"Count\"=\"3\"\n");
        file.close();
        QVERIFY_THROWS_EXCEPTION(PelandorError, commands.ReloadTools());
        QCOMPARE(menu->actions().size(), 2);
        QCOMPARE(commands.tools().ToolCount(), 0);

        {
            SettingsStore store(m_settingsFile, sink);
            SaveTools(store, threeTools());
        }
        commands.ReloadTools();
        QCOMPARE(menu->actions().size(), 2 + 3);
        menu->actions().last()->trigger();
        QCOMPARE(started->starts.size(), 1);
        QCOMPARE(started->starts[0].program, QStringLiteral("/usr/bin/lp"));
        QCOMPARE(started->starts[0].arguments, QStringList{QStringLiteral("/pics/a.bmp")});
    }

    // A settings file whose tool count is not a number stops the start-up:
    // the window is not made, the message is shown, the status is not 0.
    void toolsThatCannotBeLoadedEndTheStartUp()
    {
        cleanup();
        QVERIFY(QFile::remove(m_settingsFile));
        QFile file(m_settingsFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools]\n\"Count\"=\"3\"\n");
        file.close();

        QString shown;
        whenModalOpens<QMessageBox>(this, [&shown](QMessageBox *box) {
            shown = box->text();
            box->accept();
        });
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        const int status = ApplicationShell::startAndRun(*app, [this] {
            m_window = makeWindow();
            QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit); // not to hang on a fault
        });

        QVERIFY(status != 0);
        QVERIFY(!m_window);
        QCOMPARE(shown, errorBoxText(wrongTypeText(QStringLiteral("Count"))));
    }
};

QTEST_MAIN(TestMainWindowTools)
#include "TestMainWindowTools.moc"
