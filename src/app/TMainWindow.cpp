// Construction and layout of the main window, and the handlers that belong
// to the window itself: resize, exit, version box, the context-menu rule and
// the type selector.
#include "app/TMainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/FileCommands.h"
#include "app/MessageBoxSink.h"
#include "app/StatusPanel.h"
#include "app/ToolGlyphs.h"
#include "listing/CommandGuard.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "listing/ThumbnailList.h"
#include "platform/FileNames.h"
#include "plugin/TSpi.h"
#include "plugin/TypeListBuilder.h"
#include "shell/TDriveComboEx.h"
#include "shell/TFolderTree.h"

namespace pelandor {

namespace {
constexpr int kStatusWidths[6] = {100, 100, 80, 100, 70, 50};
constexpr bool kStatusRight[6] = {false, false, true, true, true, false};
} // namespace

TMainWindow::TMainWindow(const QString &pluginFolder, MainWindowServices services, QWidget *parent)
    : QMainWindow(parent)
    , m_pluginFolder(pluginFolder)
{
    m_messages = services.messages ? services.messages : new MessageBoxSink(this);
    m_guard = new CommandGuard(this);
    // A close asked for during a long command waits for its end.
    connect(m_guard, &CommandGuard::released, this, &TMainWindow::FinishPendingClose);

    // 1. Every control and menu with its properties.
    createControls();
    createMenus();
    bindHandlers();
    setUpFileOperations();
    setUpLiveFolder();

    // 2. The JPEG codec is built in and needs no registration.
    // 3. Lists show no drag image; a drag shows only the program's cursors.
    // 4. The window always starts in the thumbnail view.
    ListView1->setViewStyle(false);

    // 5. The tree shows the volume of the combo.
    FolderTree1->SetDrive(DriveComboEx1->Drive());

    // 6. (the stop flag starts cleared)
    // 7.
    BuildTypeList();

    // 8. The tool list starts empty (member).
    // 9. and 10. Tool entries follow the fixed context-menu entries. A
    // failure to load the tools escapes: the program shows it and ends.
    setUpToolCommands(services);
    ReloadTools();
}

TMainWindow::~TMainWindow() = default;

QString TMainWindow::versionBoxText()
{
    return QStringLiteral("Pelandor Ver ") + QLatin1String(VersionText)
        + QStringLiteral("\nPelandor developers: a thumbnail image browser for your photographs");
}

MessageSink &TMainWindow::Messages()
{
    return *m_messages;
}

const QString &TMainWindow::PluginFolder() const
{
    return m_pluginFolder;
}

QToolButton *TMainWindow::makeToolButton(const char *name, int x, const QString &tip, const QString &glyph)
{
    auto *button = new QToolButton(Panel1);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(x, 4, 24, 24);
    button->setIconSize(QSize(20, 20));
    button->setIcon(ToolGlyphs::glyphIcon(glyph));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    button->setCheckable(true);
    return button;
}

void TMainWindow::createControls()
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Pelandor"));
    setWindowIcon(ToolGlyphs::applicationIcon());
    QFont font(QStringLiteral("MS PGothic"));
    font.setPixelSize(12);
    setFont(font);

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(central);

    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(28);
    column->addWidget(Panel1);

    Bevel1 = new QFrame(Panel1);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(0, 0, width(), 2);

    DriveComboEx1 = new TDriveComboEx(Panel1);
    DriveComboEx1->setObjectName(QStringLiteral("DriveComboEx1"));
    DriveComboEx1->setGeometry(0, 4, 155, 22);

    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(158, 5, 155, 20);
    ComboBox1->setEditable(false);

    createToolButtons();

    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    column->addWidget(Splitter1, 1);

    Panel2 = new QWidget(Splitter1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto *left = new QVBoxLayout(Panel2);
    left->setContentsMargins(0, 0, 0, 0);
    FolderTree1 = new TFolderTree(Panel2);
    FolderTree1->setObjectName(QStringLiteral("FolderTree1"));
    FolderTree1->setIndentation(19);
    left->addWidget(FolderTree1);

    Panel3 = new QWidget(Splitter1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    auto *right = new QVBoxLayout(Panel3);
    right->setContentsMargins(0, 0, 0, 0);
    ListView1 = new FileListView(Panel3);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    right->addWidget(ListView1);
    ImageList1 = ListView1->model()->thumbnails();

    Splitter1->addWidget(Panel2);
    Splitter1->addWidget(Panel3);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({155, OuterWidth - 155 - 3});

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(18);
    StatusBar1->setSizeGripEnabled(true);
    for (int i = 0; i < 6; ++i) {
        auto *panel = new StatusPanel(StatusBar1);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFixedWidth(kStatusWidths[i]);
        panel->setAlignment((kStatusRight[i] ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(panel);
        StatusPanels[size_t(i)] = panel;
    }
    setStatusBar(StatusBar1);

    Spi1 = new TSpi(m_pluginFolder, *m_messages, this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);

    resize(OuterWidth, OuterHeight);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TMainWindow::createToolButtons()
{
    sbRead = makeToolButton("sbRead", 320, tr("読込み"), QStringLiteral("read"));
    sbStop = makeToolButton("sbStop", 344, tr("中止"), QStringLiteral("stop"));
    sbStop->setCheckable(false);
    sbIcon = makeToolButton("sbIcon", 374, tr("サムネイル表示"), QStringLiteral("icon"));
    sbReport = makeToolButton("sbReport", 398, tr("画像情報一覧"), QStringLiteral("report"));
    sbSortByName = makeToolButton("sbSortByName", 428, tr("名前でｿｰﾄ"), QStringLiteral("name"));
    sbSortByType = makeToolButton("sbSortByType", 452, tr("種類でｿｰﾄ"), QStringLiteral("type"));
    sbSortBySize = makeToolButton("sbSortBySize", 476, tr("ｻｲｽﾞでｿｰﾄ"), QStringLiteral("size"));
    sbSortByDate = makeToolButton("sbSortByDate", 500, tr("日時でｿｰﾄ"), QStringLiteral("date"));
    sbUpSort = makeToolButton("sbUpSort", 530, tr("昇順"), QStringLiteral("up"));
    sbDownSort = makeToolButton("sbDownSort", 554, tr("降順"), QStringLiteral("down"));

    auto group = [this](std::initializer_list<QToolButton *> buttons) {
        auto *g = new QButtonGroup(this);
        g->setExclusive(true);
        for (QToolButton *b : buttons)
            g->addButton(b);
        return g;
    };
    group({sbIcon, sbReport});
    group({sbSortByName, sbSortByType, sbSortBySize, sbSortByDate});
    group({sbUpSort, sbDownSort});
    sbIcon->setChecked(true);
    sbSortByName->setChecked(true);
    sbUpSort->setChecked(true);
}

void TMainWindow::createMenus()
{
    auto action = [](QMenu *menu, const char *name, const QString &caption) {
        auto *a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    auto separator = [](QMenu *menu, const char *name) { menu->addSeparator()->setObjectName(QLatin1String(name)); };
    auto radio = [](std::initializer_list<QAction *> actions, QObject *owner) {
        auto *g = new QActionGroup(owner);
        g->setExclusive(true);
        for (QAction *a : actions) {
            a->setCheckable(true);
            g->addAction(a);
        }
    };

    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    mnuFile = bar->addMenu(tr("ﾌｧｲﾙ(&F)"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFile_copy = action(mnuFile, "mnuFile_copy", tr("ﾌｧｲﾙｺﾋﾟｰ(&C)"));
    mnuFile_move = action(mnuFile, "mnuFile_move", tr("ﾌｧｲﾙ移動(&M)"));
    mnuFile_delete = action(mnuFile, "mnuFile_delete", tr("ﾌｧｲﾙ削除(&D)"));
    separator(mnuFile, "mnuFile_separate1");
    mnuFile_del_reg = action(mnuFile, "mnuFile_del_reg", tr("ﾚｼﾞｽﾄﾘ情報の削除(&R)"));
    separator(mnuFile, "mnuFile_separate2");
    mnuFile_exit = action(mnuFile, "mnuFile_exit", tr("終了(&X)"));

    mnuView = bar->addMenu(tr("表示(&V)"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuView_read = action(mnuView, "mnuView_read", tr("読込み(&R)"));
    mnuView_read->setShortcut(QKeySequence(Qt::Key_F5));
    mnuView_cancel = action(mnuView, "mnuView_cancel", tr("中止(&C)"));
    mnuView_style = mnuView->addMenu(tr("表示形式(&S)"));
    mnuView_style->setObjectName(QStringLiteral("mnuView_style"));
    mnuView_style_icon = action(mnuView_style, "mnuView_style_icon", tr("サムネイル(&S)"));
    mnuView_style_report = action(mnuView_style, "mnuView_style_report", tr("画像情報一覧(&I)"));
    radio({mnuView_style_icon, mnuView_style_report}, this);
    mnuView_style_icon->setChecked(true);
    mnuView_sort = mnuView->addMenu(tr("並び替え(&S)"));
    mnuView_sort->setObjectName(QStringLiteral("mnuView_sort"));
    mnuView_sort_name = action(mnuView_sort, "mnuView_sort_name", tr("名前順(&N)"));
    mnuView_sort_type = action(mnuView_sort, "mnuView_sort_type", tr("種類順(&T)"));
    mnuView_sort_size = action(mnuView_sort, "mnuView_sort_size", tr("サイズ順(&S)"));
    mnuView_sort_date = action(mnuView_sort, "mnuView_sort_date", tr("日時順(&D)"));
    radio({mnuView_sort_name, mnuView_sort_type, mnuView_sort_size, mnuView_sort_date}, this);
    mnuView_sort_name->setChecked(true);
    separator(mnuView_sort, "mnuView_sort_separater1");
    mnuView_sort_up = action(mnuView_sort, "mnuView_sort_up", tr("昇順(&U)"));
    mnuView_sort_down = action(mnuView_sort, "mnuView_sort_down", tr("降順(&D)"));
    radio({mnuView_sort_up, mnuView_sort_down}, this);
    mnuView_sort_up->setChecked(true);
    separator(mnuView, "mnuView_separate1");
    mnuView_view = action(mnuView, "mnuView_view", tr("ﾋﾞｭｰｱ表示(&V)"));

    mnuOption = bar->addMenu(tr("ｵﾌﾟｼｮﾝ(&O)"));
    mnuOption->setObjectName(QStringLiteral("mnuOption"));
    mnuOption_tools = action(mnuOption, "mnuOption_tools", tr("外部ﾂｰﾙの設定(&T)"));

    mnuHelp = bar->addMenu(tr("ﾍﾙﾌﾟ(&H)"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelp_about = action(mnuHelp, "mnuHelp_about", tr("ﾊﾞｰｼﾞｮﾝ情報(&A)"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    popMnu_view = action(PopupMenu1, "popMnu_view", tr("ﾋﾞｭｰｱ表示"));
    popMnu_reflesh = action(PopupMenu1, "popMnu_reflesh", tr("ﾘﾌﾚｯｼｭ"));
    separator(PopupMenu1, "popMnu_separate3");
    popMnu_imagecopy = action(PopupMenu1, "popMnu_imagecopy", tr("画像ｺﾋﾟｰ"));
    separator(PopupMenu1, "popMnu_separate1");
    popMnu_copy = action(PopupMenu1, "popMnu_copy", tr("ﾌｧｲﾙｺﾋﾟｰ"));
    popMnu_move = action(PopupMenu1, "popMnu_move", tr("ﾌｧｲﾙ移動"));
    popMnu_delete = action(PopupMenu1, "popMnu_delete", tr("ﾌｧｲﾙ削除"));
    separator(PopupMenu1, "popMnu_separate2");
}

void TMainWindow::bindHandlers()
{
    // Menu entries and the tool buttons that do the same thing share one
    // handler; each runs as one command guarded by the standard error box.
    auto bind = [this](QAction *a, void (TMainWindow::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    };
    auto bindButton = [this](QToolButton *b, void (TMainWindow::*handler)()) {
        connect(b, &QToolButton::clicked, this, [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    };

    bind(mnuFile_copy, &TMainWindow::popMnu_copyClick);
    bind(mnuFile_move, &TMainWindow::popMnu_moveClick);
    bind(mnuFile_delete, &TMainWindow::popMnu_deleteClick);
    bind(mnuFile_del_reg, &TMainWindow::mnuFile_del_regClick);
    bind(mnuFile_exit, &TMainWindow::mnuFile_exitClick);
    bind(mnuView_read, &TMainWindow::mnuView_readClick);
    bind(mnuView_cancel, &TMainWindow::mnuView_cancelClick);
    bind(mnuView_style_icon, &TMainWindow::mnuView_style_iconClick);
    bind(mnuView_style_report, &TMainWindow::mnuView_style_reportClick);
    bind(mnuView_sort_name, &TMainWindow::mnuView_sort_nameClick);
    bind(mnuView_sort_type, &TMainWindow::mnuView_sort_typeClick);
    bind(mnuView_sort_size, &TMainWindow::mnuView_sort_sizeClick);
    bind(mnuView_sort_date, &TMainWindow::mnuView_sort_dateClick);
    bind(mnuView_sort_up, &TMainWindow::mnuView_sort_upClick);
    bind(mnuView_sort_down, &TMainWindow::mnuView_sort_downClick);
    bind(mnuView_view, &TMainWindow::popMnu_viewClick);
    bind(mnuOption_tools, &TMainWindow::mnuOption_toolsClick);
    bind(mnuHelp_about, &TMainWindow::mnuHelp_aboutClick);

    bind(popMnu_view, &TMainWindow::popMnu_viewClick);
    bind(popMnu_reflesh, &TMainWindow::popMnu_refleshClick);
    bind(popMnu_imagecopy, &TMainWindow::popMnu_imagecopyClick);
    bind(popMnu_copy, &TMainWindow::popMnu_copyClick);
    bind(popMnu_move, &TMainWindow::popMnu_moveClick);
    bind(popMnu_delete, &TMainWindow::popMnu_deleteClick);

    bindButton(sbRead, &TMainWindow::mnuView_readClick);
    bindButton(sbStop, &TMainWindow::mnuView_cancelClick);
    bindButton(sbIcon, &TMainWindow::mnuView_style_iconClick);
    bindButton(sbReport, &TMainWindow::mnuView_style_reportClick);
    bindButton(sbSortByName, &TMainWindow::mnuView_sort_nameClick);
    bindButton(sbSortByType, &TMainWindow::mnuView_sort_typeClick);
    bindButton(sbSortBySize, &TMainWindow::mnuView_sort_sizeClick);
    bindButton(sbSortByDate, &TMainWindow::mnuView_sort_dateClick);
    bindButton(sbUpSort, &TMainWindow::mnuView_sort_upClick);
    bindButton(sbDownSort, &TMainWindow::mnuView_sort_downClick);

    connect(FolderTree1, &TFolderTree::changed, this, [this] { RunCommand([this] { FolderTree1Change(); }); });
    FolderTree1->setChangingHandler([this] { return FolderTree1Changing(); });
    connect(DriveComboEx1, &TDriveComboEx::changed, this, [this] { RunCommand([this] { DriveComboEx1Change(); }); });

    connect(ListView1, &FileListView::itemChanged, this, &TMainWindow::ListView1Change);
    connect(ListView1, &FileListView::doubleClicked, this, [this] { RunCommand([this] { ListView1DblClick(); }); });
    connect(ListView1, &FileListView::mouseReleased, this, &TMainWindow::ListView1MouseUp);
    connect(ListView1, &FileListView::keyReleased, this, [this](QKeyEvent *e) { RunCommand([this, e] { ListView1KeyUp(e); }); });
    connect(ListView1, &FileListView::dragStarted, this,
            [this] { RunCommand([this] { ListView1StartDrag(); }); });
    connect(Timer1, &QTimer::timeout, this, [this] { RunCommand([this] { Timer1Timer(); }); });
}

// --- type selector ---------------------------------------------------------

void TMainWindow::BuildTypeList()
{
    // A new or changed module is loaded and asked; a Windows module's first
    // start makes the Wine prefix, which takes many seconds.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TypeListBuilder::Result result = TypeListBuilder::build(*Spi1, m_pluginFolder);
    QApplication::restoreOverrideCursor();
    m_jpegPluginFound = result.jpegPluginFound;
    ComboBox1->clear();
    for (const ImageTypeEntry &entry : result.entries)
        ComboBox1->addItem(entry.text, entry.pluginName);
    ComboBox1->setCurrentIndex(ComboBox1->count() - 1);
}

ImageTypeList TMainWindow::TypeEntries() const
{
    ImageTypeList entries;
    entries.reserve(ComboBox1->count());
    for (int i = 0; i < ComboBox1->count(); ++i)
        entries.append({ComboBox1->itemText(i), ComboBox1->itemData(i).toString()});
    return entries;
}

// --- status bar -------------------------------------------------------------

void TMainWindow::SetStatusPanel(int index, const QString &text)
{
    if (index >= 0 && index < 6)
        StatusPanels[size_t(index)]->setText(text);
}

QString TMainWindow::StatusPanelText(int index) const
{
    return index >= 0 && index < 6 ? StatusPanels[size_t(index)]->text() : QString();
}

void TMainWindow::ClearStatusPanels()
{
    for (StatusPanel *panel : StatusPanels)
        panel->clear();
}

QString TMainWindow::ItemFullPath(const QString &caption) const
{
    return FileNames::joinPath(FolderTree1->GetFolderPath(), caption);
}

QStringList TMainWindow::SelectedFullPaths() const
{
    QStringList paths;
    for (int row : ListView1->selectedRows())
        paths.append(ItemFullPath(ListView1->model()->caption(row)));
    return paths;
}

// --- handlers of the window itself -----------------------------------------

void TMainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainWindow::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    // 646 x 480 is the window's outer size. A window system that draws a
    // frame reports it only after the window is shown (the frame's move
    // comes with it): the client area then gets what the frame leaves, once.
    const QSize frame = frameGeometry().size() - size();
    if (m_outerSizeKept || !isVisible() || frame.width() < 0 || frame.height() < 0 || frame == QSize(0, 0))
        return;
    m_outerSizeKept = true;
    if (isMaximized() || isFullScreen() || size() != QSize(OuterWidth, OuterHeight))
        return;
    resize(QSize(OuterWidth, OuterHeight) - frame);
    if (QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - QPoint(OuterWidth / 2, OuterHeight / 2));
}

void TMainWindow::FormResize()
{
    if (Bevel1)
        Bevel1->setGeometry(0, 0, frameGeometry().width(), 2);
    if (ListView1)
        ListView1->arrangeAlignTop();
}

void TMainWindow::mnuFile_exitClick()
{
    close();
}

void TMainWindow::closeEvent(QCloseEvent *event)
{
    // A close asked for during a long command (a reading, a refresh, ...)
    // takes effect when the command ends.
    if (m_guard->busy()) {
        // A file operation stops within one block and keeps every file
        // whole; the window closes when it has ended.
        m_fileCommands->cancel();
        m_closePending = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TMainWindow::FinishPendingClose()
{
    if (m_closePending && !m_guard->busy()) {
        m_closePending = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TMainWindow::mnuHelp_aboutClick()
{
    QMessageBox box(QMessageBox::NoIcon, tr("ﾊﾞｰｼﾞｮﾝ情報"), versionBoxText(), QMessageBox::Ok, this);
    box.exec();
}

bool TMainWindow::ContextMenuAllowed(Qt::MouseButton button) const
{
    return ListView1->hasSelectedRows() && button == Qt::RightButton && !sbRead->isChecked();
}

void TMainWindow::ListView1MouseUp(QMouseEvent *event)
{
    if (!event || !ContextMenuAllowed(event->button()))
        return;
    PopupMenu1->popup(event->globalPosition().toPoint());
}

} // namespace pelandor
