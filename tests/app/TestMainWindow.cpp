// The main window's contents and start-up state, and the context-menu rule.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "app/StatusPanel.h"
#include "WindowControls.h"
#include "app/TMainWindow.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include <QItemSelectionModel>
#include "shell/TDriveComboEx.h"
#include "shell/TFolderTree.h"

using namespace pelandor;

class TestMainWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_modules; // an empty module folder: no plug-ins
    std::unique_ptr<TMainWindow> m_window;
    // The window's list and folder tree, found by name.
    FileListView *listView() const { return control<FileListView>(*m_window, "ListView1"); }

    QAction *action(const char *name)
    {
        return m_window->findChild<QAction *>(QLatin1String(name));
    }

private slots:
    void init() { m_window = std::make_unique<TMainWindow>(m_modules.path()); }
    void cleanup() { m_window.reset(); }

    void windowFrame()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Pelandor"));
        QCOMPARE(m_window->size(), QSize(646, 480));
        QCOMPARE(control<QWidget>(*m_window, "Panel1")->height(), 28);
        QCOMPARE(control<TDriveComboEx>(*m_window, "DriveComboEx1")->geometry(), QRect(0, 4, 155, 22));
        QCOMPARE(control<QComboBox>(*m_window, "ComboBox1")->geometry().topLeft(), QPoint(158, 5));
        QCOMPARE(control<QComboBox>(*m_window, "ComboBox1")->width(), 155);
        QCOMPARE(m_window->font().family(), QStringLiteral("MS PGothic"));
        QCOMPARE(m_window->font().pixelSize(), 12);
    }

    void menuCaptions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("checked"); // -1 not checkable, 0 unchecked, 1 checked
        const struct {
            const char *name;
            const char *caption;
            int checked;
        } rows[] = {
            {"mnuFile_copy", "ﾌｧｲﾙｺﾋﾟｰ(&C)", -1},
            {"mnuFile_move", "ﾌｧｲﾙ移動(&M)", -1},
            {"mnuFile_delete", "ﾌｧｲﾙ削除(&D)", -1},
            {"mnuFile_del_reg", "ﾚｼﾞｽﾄﾘ情報の削除(&R)", -1},
            {"mnuFile_exit", "終了(&X)", -1},
            {"mnuView_read", "読込み(&R)", -1},
            {"mnuView_cancel", "中止(&C)", -1},
            {"mnuView_style_icon", "サムネイル(&S)", 1},
            {"mnuView_style_report", "画像情報一覧(&I)", 0},
            {"mnuView_sort_name", "名前順(&N)", 1},
            {"mnuView_sort_type", "種類順(&T)", 0},
            {"mnuView_sort_size", "サイズ順(&S)", 0},
            {"mnuView_sort_date", "日時順(&D)", 0},
            {"mnuView_sort_up", "昇順(&U)", 1},
            {"mnuView_sort_down", "降順(&D)", 0},
            {"mnuView_view", "ﾋﾞｭｰｱ表示(&V)", -1},
            {"mnuOption_tools", "外部ﾂｰﾙの設定(&T)", -1},
            {"mnuHelp_about", "ﾊﾞｰｼﾞｮﾝ情報(&A)", -1},
            {"popMnu_view", "ﾋﾞｭｰｱ表示", -1},
            {"popMnu_reflesh", "ﾘﾌﾚｯｼｭ", -1},
            {"popMnu_imagecopy", "画像ｺﾋﾟｰ", -1},
            {"popMnu_copy", "ﾌｧｲﾙｺﾋﾟｰ", -1},
            {"popMnu_move", "ﾌｧｲﾙ移動", -1},
            {"popMnu_delete", "ﾌｧｲﾙ削除", -1},
        };
        for (const auto &row : rows)
            QTest::newRow(row.name) << QString::fromLatin1(row.name) << QString::fromUtf8(row.caption) << row.checked;
    }
    void menuCaptions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(int, checked);
        QAction *a = m_window->findChild<QAction *>(name);
        QVERIFY2(a, qPrintable(name));
        QCOMPARE(a->text(), caption);
        if (checked < 0) {
            QVERIFY(!a->isCheckable());
        } else {
            QVERIFY(a->isCheckable());
            QCOMPARE(a->isChecked(), checked == 1);
        }
    }

    void topMenusInOrder()
    {
        QStringList titles;
        for (QAction *a : m_window->menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, (QStringList{QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("表示(&V)"),
                                      QStringLiteral("ｵﾌﾟｼｮﾝ(&O)"), QStringLiteral("ﾍﾙﾌﾟ(&H)")}));
        QStringList view;
        for (QAction *a : control<QMenu>(*m_window, "mnuView")->actions())
            view << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(view, (QStringList{QStringLiteral("読込み(&R)"), QStringLiteral("中止(&C)"),
                                    QStringLiteral("表示形式(&S)"), QStringLiteral("並び替え(&S)"),
                                    QStringLiteral("-"), QStringLiteral("ﾋﾞｭｰｱ表示(&V)")}));
    }

    void radioGroupsHoldOneCheck()
    {
        // Picking another key moves the check mark; the group never holds two.
        action("mnuView_sort_date")->trigger();
        QVERIFY(action("mnuView_sort_date")->isChecked());
        QVERIFY(!action("mnuView_sort_name")->isChecked());
        action("mnuView_sort_down")->trigger();
        QVERIFY(!action("mnuView_sort_up")->isChecked());
    }

    void toolButtons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("x");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<bool>("down");
        QTest::newRow("sbRead") << "sbRead" << 320 << QStringLiteral("読込み") << false;
        QTest::newRow("sbStop") << "sbStop" << 344 << QStringLiteral("中止") << false;
        QTest::newRow("sbIcon") << "sbIcon" << 374 << QStringLiteral("サムネイル表示") << true;
        QTest::newRow("sbReport") << "sbReport" << 398 << QStringLiteral("画像情報一覧") << false;
        QTest::newRow("sbSortByName") << "sbSortByName" << 428 << QStringLiteral("名前でｿｰﾄ") << true;
        QTest::newRow("sbSortByType") << "sbSortByType" << 452 << QStringLiteral("種類でｿｰﾄ") << false;
        QTest::newRow("sbSortBySize") << "sbSortBySize" << 476 << QStringLiteral("ｻｲｽﾞでｿｰﾄ") << false;
        QTest::newRow("sbSortByDate") << "sbSortByDate" << 500 << QStringLiteral("日時でｿｰﾄ") << false;
        QTest::newRow("sbUpSort") << "sbUpSort" << 530 << QStringLiteral("昇順") << true;
        QTest::newRow("sbDownSort") << "sbDownSort" << 554 << QStringLiteral("降順") << false;
    }
    void toolButtons()
    {
        QFETCH(QString, name);
        QFETCH(int, x);
        QFETCH(QString, tip);
        QFETCH(bool, down);
        auto *b = m_window->findChild<QToolButton *>(name);
        QVERIFY(b);
        QCOMPARE(b->geometry(), QRect(x, 4, 24, 24));
        QCOMPARE(b->iconSize(), QSize(20, 20));
        QVERIFY(!b->icon().isNull());
        QCOMPARE(b->toolTip(), tip);
        QCOMPARE(b->isChecked(), down);
    }

    void statusPanels()
    {
        const int widths[6] = {100, 100, 80, 100, 70, 50};
        const bool right[6] = {false, false, true, true, true, false};
        for (int i = 0; i < 6; ++i) {
            QLabel *panel = control<StatusPanel>(*m_window, qPrintable(QStringLiteral("StatusPanel%1").arg(i)));
            QCOMPARE(panel->width(), widths[i]);
            QCOMPARE(bool(panel->alignment() & Qt::AlignRight), right[i]);
            QVERIFY(panel->text().isEmpty());
        }
        QCOMPARE(control<QStatusBar>(*m_window, "StatusBar1")->height(), 18);
    }

    // A text too long for its panel is cut at its end, visibly, and never
    // reads as another number.
    void statusPanelKeepsLeadingDigits_data()
    {
        QTest::addColumn<int>("panel");
        QTest::addColumn<QString>("text");
        QTest::newRow("file size") << 2 << "38629023862902386290238629023862902Byte";
        QTest::newRow("image size") << 4 << "40004000400040004000 * 3000";
        QTest::newRow("short text is whole") << 2 << "12Byte";
    }
    void statusPanelKeepsLeadingDigits()
    {
        QFETCH(int, panel);
        QFETCH(QString, text);
        m_window->show();
        m_window->SetStatusPanel(panel, text);
        QCOMPARE(m_window->StatusPanelText(panel), text);
        const QString shown = control<StatusPanel>(*m_window, qPrintable(QStringLiteral("StatusPanel%1").arg(panel)))->shownText();
        if (shown != text) {
            QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
            QVERIFY2(text.startsWith(shown.chopped(1)), qPrintable(shown));
            QVERIFY(shown.size() > 1);
        } else {
            QCOMPARE(text, QStringLiteral("12Byte"));
        }
    }

    void contextMenuHoldsNineFixedEntries()
    {
        QCOMPARE(m_window->fixedPopupItemCount(), 9);
        const QList<QAction *> entries = control<QMenu>(*m_window, "PopupMenu1")->actions();
        QCOMPARE(entries.size(), 9); // no tools registered
        QVERIFY(entries.last()->isSeparator());
        QVERIFY(entries[2]->isSeparator());
        QVERIFY(entries[4]->isSeparator());
    }

    void typeSelectorWithoutModules()
    {
        QStringList texts;
        for (int i = 0; i < control<QComboBox>(*m_window, "ComboBox1")->count(); ++i)
            texts << control<QComboBox>(*m_window, "ComboBox1")->itemText(i);
        QCOMPARE(texts, (QStringList{QStringLiteral("*.BMP"), QStringLiteral("*.JPG"), QStringLiteral("全ての画像ﾌｧｲﾙ")}));
        QCOMPARE(control<QComboBox>(*m_window, "ComboBox1")->currentIndex(), 2);
        QVERIFY(!m_window->jpegPluginFound());
    }

    void startState()
    {
        QVERIFY(!m_window->reading());
        QVERIFY(!m_window->cancelRequested());
        QVERIFY(!listView()->isReport());
        QCOMPARE(m_window->tools().ToolCount(), 0);
    }

    void contextMenuRuleWithoutSelection()
    {
        // No item is selected: no button opens the menu.
        QVERIFY(!m_window->ContextMenuAllowed(Qt::RightButton));
        QVERIFY(!m_window->ContextMenuAllowed(Qt::LeftButton));
    }

    void contextMenuRuleWithSelection()
    {
        FileListItem item;
        item.caption = QStringLiteral("a.bmp");
        FileListModel *model = listView()->model();
        model->appendItem(item);
        listView()->selectionModel()->select(model->index(0, 0),
                                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        // Only the right button opens it, and only while the read button is up.
        QVERIFY(m_window->ContextMenuAllowed(Qt::RightButton));
        QVERIFY(!m_window->ContextMenuAllowed(Qt::LeftButton));
        QVERIFY(!m_window->ContextMenuAllowed(Qt::MiddleButton));
        control<QToolButton>(*m_window, "sbRead")->setChecked(true);
        QVERIFY(!m_window->ContextMenuAllowed(Qt::RightButton));
    }

    void resizeKeepsBevelAsWideAsWindow()
    {
        m_window->show();
        m_window->resize(800, 500);
        QTRY_COMPARE(control<QFrame>(*m_window, "Bevel1")->width(), m_window->frameGeometry().width());
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
