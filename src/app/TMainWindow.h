// The browser's main window: drive combo and folder tree on the left, type
// selector and tool buttons on top, the file list on the right, the status
// bar below. The window only connects things; the work is done by the
// classes of the other subsystems. Its handlers are split by concern over
// several source files (TMainWindow*.cpp).
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <memory>

#include "app/MainWindowServices.h"
#include "decode/ImageTypeEntry.h"
#include "tools/ToolList.h"
#include "fileops/FileCommandServices.h"

class QAction;
class QActionGroup;
class QButtonGroup;
class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QMenu;
class QMouseEvent;
class QSplitter;
class QStatusBar;
class QTimer;
class QToolButton;

namespace pelandor {

class CommandGuard;
class FileCommands;
class FileListView;
class FolderWatcher;
class MessageSink;
class StatusPanel;
class TDriveComboEx;
class TFolderTree;
class ThumbnailList;
class ReadingPass;
class TSpi;
class ToolCommands;

class TMainWindow : public QMainWindow {
    Q_OBJECT

public:
    // pluginFolder: where the import modules are looked for (the executable's
    // folder in the program; tests pass their own). services: the settings
    // file, tool starter and message sink (the program's own when empty).
    // Throws PelandorError when the external tools cannot be loaded.
    explicit TMainWindow(const QString &pluginFolder, MainWindowServices services = {}, QWidget *parent = nullptr);
    ~TMainWindow() override;

    static constexpr const char *VersionText = "1.60";
    // The window's outer size at the start, frame included.
    static constexpr int OuterWidth = 646;
    static constexpr int OuterHeight = 480;
    // The two lines of the version box.
    static QString versionBoxText();

    // --- read-only views of the window's state ---
    // True while a folder is being read.
    bool reading() const { return m_reading.active; }
    // True when the stop command was given during the current reading.
    bool cancelRequested() const { return m_reading.cancelRequested; }
    // True when an import module offers "*.JPG" (see TypeListBuilder).
    bool jpegPluginFound() const { return m_jpegPluginFound; }
    // The guard every event-pumping command holds (see CommandGuard.h).
    const CommandGuard &commandGuard() const { return *m_guard; }

    // --- the external tools (see ToolCommands) ---
    ToolCommands &toolCommands() const { return *m_toolCommands; }
    // The tools as last loaded from the settings store (while the tools
    // dialog is open: as edited there).
    const ToolList &tools() const;
    // Number of fixed items of PopupMenu1; the tool entries follow them.
    int fixedPopupItemCount() const;

    // --- helpers shared by the handlers ---
    // The entries of the type selector, in its order.
    ImageTypeList TypeEntries() const;
    void SetStatusPanel(int index, const QString &text);
    QString StatusPanelText(int index) const;
    void ClearStatusPanels();
    // Full path of a list item: the selected folder's path joined with the caption.
    QString ItemFullPath(const QString &caption) const;
    // Full paths of the selected items, in list order.
    QStringList SelectedFullPaths() const;
    // Where the plug-in host reports (a box over this window).
    MessageSink &Messages();
    // The folder the import modules are loaded from.
    const QString &PluginFolder() const;
    // Carries out a close that was asked for while a long command ran.
    void FinishPendingClose();
    // Runs one command; an error escaping it ends in the standard error box.
    template <typename F> void RunCommand(F &&command);
    // Opens the window on a folder given on the command line.
    void OpenFolder(const QString &path);
    // Opens the window on the folder or files given on the command line (see
    // FileArguments): for files, their folder is read with the first file's
    // type chosen, the files are selected, the first is scrolled into view
    // and each gets a viewer. A path that does not exist is reported.
    void OpenPaths(const QStringList &paths);
    // Opens one viewer per file, in the given order.
    void OpenViewers(const QStringList &paths);
    // True when the context menu may open for this release (the rule of
    // ListView1MouseUp: right button, a selection, the read button up).
    bool ContextMenuAllowed(Qt::MouseButton button) const;

    void BuildTypeList();
    void ResortByCheckedKey();

    // --- file operations and drag and drop (see FileCommands) ---
    FileCommands &fileCommands() const { return *m_fileCommands; }
    // True: the drag under way copies; false: it moves.
    bool DragCopyMode() const;
    // Appends the full path of every selected entry, in list order, and
    // returns the byte count of the source list (each path's bytes plus one).
    qsizetype MakeSelectedFileList(QStringList &list) const;
    // Starts one file operation (FO_MOVE, FO_COPY, FO_DELETE) on the
    // selected entries on a worker thread; true when it was refused. Entries
    // whose files leave their folder leave the list as the job reports them.
    bool ShellFileOperation(int operation, const QString &destination, quint16 flags, const QString &progressTitle);
    // The folder chooser, the question boxes and the key state the file
    // commands use (the standard ones unless replaced).
    void setFileCommandServices(FileCommandServices services);

    // Reads the tools from the settings store again and rebuilds their
    // entries at the end of the context menu.
    void ReloadTools();

public slots:
    // shell
    void FormResize();
    void mnuFile_exitClick();
    void mnuHelp_aboutClick();
    void ListView1MouseUp(QMouseEvent *event);
    // reading
    void FolderTree1Change();
    bool FolderTree1Changing();
    void DriveComboEx1Change();
    void mnuView_readClick();
    void mnuView_cancelClick();
    // Brings the list up to date with what changed in the shown folder since
    // it was read (refused while a long command runs: then done after it).
    void ApplyFolderChanges();
    // sorting, view style, status bar
    void mnuView_sort_nameClick();
    void mnuView_sort_typeClick();
    void mnuView_sort_sizeClick();
    void mnuView_sort_dateClick();
    void mnuView_sort_upClick();
    void mnuView_sort_downClick();
    void mnuView_style_iconClick();
    void mnuView_style_reportClick();
    void ListView1Change(int row);
    // viewer, refresh, image copy
    void ListView1DblClick();
    void popMnu_viewClick();
    void popMnu_refleshClick();
    void popMnu_imagecopyClick();
    // file operations and drag and drop
    void popMnu_copyClick();
    void popMnu_moveClick();
    void popMnu_deleteClick();
    // Deletes the selected files, for good or to the trash.
    void DeleteSelection(bool forGood);
    void ListView1KeyUp(QKeyEvent *event);
    void ListView1StartDrag();
    void ListView1EndDrag();
    void FolderTree1DragDrop();
    // The drag is over pos of the tree's viewport.
    void FolderTree1DragOver(const QPoint &pos);
    void DriveComboEx1DragDrop();
    void Timer1Timer();
    // external tools
    void mnuFile_del_regClick();
    void mnuOption_toolsClick();
    // The tool entry of tool number `toolIndex` was chosen.
    void ToolMenuItemClick(int toolIndex);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createMenus();
    void createToolButtons();
    void bindHandlers();
    void setUpFileOperations();
    void setUpToolCommands(MainWindowServices &services);
    void setUpLiveFolder();
    QToolButton *makeToolButton(const char *name, int x, const QString &tip, const QString &glyph);
    // Empties the list, its thumbnails and the status bar.
    void clearList();
    // Shows a short text in the status bar for a few seconds.
    void showStatusText(const QString &text);
    // Says that a command was refused because a long command runs: a beep
    // and a status text.
    void refuseWhileBusy();
    // Sorts by the key whose button is down.
    void sortByDownButton();
    // Hooks a reading pass to the window: each new row painted at once,
    // events handled after every file and a stop request honoured.
    void hookUpReading(ReadingPass &pass);

    // The controls, menus and timers; each carries its member name as its
    // objectName, which is how tests find them.
    QWidget *Panel1 = nullptr;
    QFrame *Bevel1 = nullptr;
    TDriveComboEx *DriveComboEx1 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QToolButton *sbRead = nullptr;
    QToolButton *sbStop = nullptr;
    QToolButton *sbIcon = nullptr;
    QToolButton *sbReport = nullptr;
    QToolButton *sbSortByName = nullptr;
    QToolButton *sbSortByType = nullptr;
    QToolButton *sbSortBySize = nullptr;
    QToolButton *sbSortByDate = nullptr;
    QToolButton *sbUpSort = nullptr;
    QToolButton *sbDownSort = nullptr;
    QWidget *Panel2 = nullptr;
    TFolderTree *FolderTree1 = nullptr;
    QSplitter *Splitter1 = nullptr;
    QWidget *Panel3 = nullptr;
    FileListView *ListView1 = nullptr;
    ThumbnailList *ImageList1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    std::array<StatusPanel *, 6> StatusPanels{};
    TSpi *Spi1 = nullptr;
    QTimer *Timer1 = nullptr;
    QMenu *PopupMenu1 = nullptr;

    // main menu
    QMenu *mnuFile = nullptr;
    QAction *mnuFile_copy = nullptr;
    QAction *mnuFile_move = nullptr;
    QAction *mnuFile_delete = nullptr;
    QAction *mnuFile_del_reg = nullptr;
    QAction *mnuFile_exit = nullptr;
    QMenu *mnuView = nullptr;
    QAction *mnuView_read = nullptr;
    QAction *mnuView_cancel = nullptr;
    QMenu *mnuView_style = nullptr;
    QAction *mnuView_style_icon = nullptr;
    QAction *mnuView_style_report = nullptr;
    QMenu *mnuView_sort = nullptr;
    QAction *mnuView_sort_name = nullptr;
    QAction *mnuView_sort_type = nullptr;
    QAction *mnuView_sort_size = nullptr;
    QAction *mnuView_sort_date = nullptr;
    QAction *mnuView_sort_up = nullptr;
    QAction *mnuView_sort_down = nullptr;
    QAction *mnuView_view = nullptr;
    QMenu *mnuOption = nullptr;
    QAction *mnuOption_tools = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuHelp_about = nullptr;

    // context menu
    QAction *popMnu_view = nullptr;
    QAction *popMnu_reflesh = nullptr;
    QAction *popMnu_imagecopy = nullptr;
    QAction *popMnu_copy = nullptr;
    QAction *popMnu_move = nullptr;
    QAction *popMnu_delete = nullptr;

    // The state of the reading loop: whether it runs and whether it was told to stop.
    struct ReadingState {
        bool active = false;
        bool cancelRequested = false;
    };

    QString m_pluginFolder;
    MessageSink *m_messages = nullptr;
    CommandGuard *m_guard = nullptr;
    ReadingState m_reading;
    bool m_jpegPluginFound = false;
    bool m_closePending = false;
    // The folder the list shows, watched for changes, and the type entries
    // and the entry it was read for.
    FolderWatcher *m_watcher = nullptr;
    QString m_shownFolder;
    ImageTypeList m_shownEntries;
    int m_shownType = -1;
    // When the shown folder's reading began: the thumbnail cache keeps the
    // cells used since, also for the updates of the same folder.
    qint64 m_cellsKeptSince = -1;

    // The external tools: their list, menu entries, dialog and store.
    ToolCommands *m_toolCommands = nullptr;
    // The outer size was made 646 x 480 once the window system told the
    // frame's size.
    bool m_outerSizeKept = false;
    // File operations and the drag of the selection.
    FileCommands *m_fileCommands = nullptr;
};

} // namespace pelandor

#include "app/ErrorBox.h"

template <typename F> void pelandor::TMainWindow::RunCommand(F &&command)
{
    runGuarded(this, std::forward<F>(command));
}
