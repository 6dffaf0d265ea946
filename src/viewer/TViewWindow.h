// The viewer window: one image at full size in a sizeable top-level window
// with scroll bars as needed, six fixed zoom steps, and commands to save the
// image or make it the wallpaper. Each viewer is independent of the others
// and of the main window, which it never stays in front of; it is closed
// with the main window and freed when it closes.
#pragma once

#include <QSize>
#include <QWidget>
#include <functional>

class QAction;
class QActionGroup;
class QCloseEvent;
class QFileDialog;
class QMenu;
class QScrollArea;

namespace pelandor {

class Bitmap;
class ImageControl;
class MessageSink;

class TViewWindow : public QWidget {
    Q_OBJECT

public:
    // `owner` (usually the main window) is not the Qt parent: a parented
    // window would be kept in front of it. The viewer closes when the owner
    // is closed and is destroyed with it.
    explicit TViewWindow(QWidget *owner = nullptr);
    ~TViewWindow() override;

    // The image the viewer shows: sets the image control and the full-size
    // ImageWidth and ImageHeight.
    void setPicture(const Bitmap &picture);

    // Where the standard error box of a failed command goes (a file that
    // cannot be written). Without one, a plain error box is shown.
    void setErrorHandler(std::function<void(QWidget *parent, const QString &message)> handler);
    // Where the viewer's own notices go (a desktop whose wallpaper cannot be
    // set). Without one, a plain box is shown.
    void setMessageSink(MessageSink *messages);

    // --- members ---
    ImageControl *Image1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QFileDialog *SaveDialog1 = nullptr;
    int ImageHeight = 0;
    int ImageWidth = 0;

    QAction *popMnu_exit = nullptr;
    QAction *popMnu_view25 = nullptr;
    QAction *popMnu_view50 = nullptr;
    QAction *popMnu_view75 = nullptr;
    QAction *popMnu_view100 = nullptr;
    QAction *popMnu_view150 = nullptr;
    QAction *popMnu_view200 = nullptr;
    QMenu *popMnu_savefile = nullptr;
    QAction *popMnu_savefile_bmp = nullptr;
    QAction *popMnu_savefile_jpeg = nullptr;
    QMenu *popMnu_wallpaper = nullptr;
    QAction *popMnu_wallpaper_tile = nullptr;
    QAction *popMnu_wallpaper_center = nullptr;
    QActionGroup *ZoomGroup = nullptr;

    // --- handlers and the operations they share ---
    void FormShow();
    // Answers every close request (menu, close button, system menu): the
    // window is freed, not hidden.
    void FormClose(QCloseEvent *event);
    void FitWindowToImage();
    void ZoomImage(int percent);
    void Image1DblClick();
    void popMnu_exitClick();
    void popMnu_view25Click();
    void popMnu_view50Click();
    void popMnu_view75Click();
    void popMnu_view100Click();
    void popMnu_view150Click();
    void popMnu_view200Click();
    // Tag 0 of the sender saves a bitmap file, any other tag a JPEG file.
    void SaveToFile(const QAction *sender);
    // Tag 0 of the sender tiles the wallpaper, any other tag centres it.
    void SaveAsWallpaper(const QAction *sender);

    // Sets up SaveDialog1 for the sender's tag as SaveToFile shows it.
    void prepareSaveDialog(int tag);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenu();
    QAction *addZoomItem(const char *name, int percent, void (TViewWindow::*handler)());
    void zoomCommand(QAction *item);
    QSize frameExtra() const;
    void refitOnceFrameKnown();
    // Runs a command; an error escaping it ends in the error box.
    template <typename F> void guarded(F &&command);
    void showNotice(const QString &text);

    QScrollArea *m_scrollArea = nullptr;
    std::function<void(QWidget *, const QString &)> m_errorHandler;
    MessageSink *m_messages = nullptr;
    // The frame size the last fit assumed; the window manager reports the
    // real frame only after the window is mapped, and the fit is then redone
    // once.
    QSize m_fittedFrameExtra;
    bool m_refitPending = false;
};

} // namespace pelandor
