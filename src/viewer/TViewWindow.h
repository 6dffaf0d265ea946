// The viewer window: one image at full size in a sizeable top-level window
// with scroll bars as needed, six fixed zoom steps, and commands to save the
// image or make it the wallpaper. Each viewer is independent of the others
// and of the main window, which it never stays in front of; it is closed
// with the main window and freed when it closes.
#pragma once

#include <QSize>
#include <QWidget>
#include <functional>
#include <optional>

#include "viewer/ViewerSequence.h"

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
class ViewerPictureLoader;

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

    // Lets the viewer step through the main window's list: `sequence` says
    // where it stands and which file a step goes to, `loader` decodes it.
    // The viewer takes both (as its children).
    void setBrowsing(ViewerSequence *sequence, ViewerPictureLoader *loader);

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
    QAction *popMnu_viewFit = nullptr;
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
    // "Fit to window": the picture is shown as large as the client area
    // allows (never above 100 %), and follows the window's size.
    void popMnu_viewFitClick();
    bool fitMode() const { return m_fitMode; }

    // Goes to another file of the list (when browsing; otherwise, at the
    // ends of the list or while no file is there, it beeps). The picture is
    // shown only once decoded; steps asked for while one decodes are
    // counted, and the file they lead to is the next one decoded (the files
    // between are skipped, so a held key never makes the window lag).
    void stepTo(ViewerSequence::Step step);
    // Whether a step is under way (its picture still decoding, or steps
    // waiting for it).
    bool stepping() const;
    // The next larger (direction > 0) or smaller zoom step.
    void stepZoom(int direction);
    // Full screen on black, and back.
    void toggleFullScreen();
    // Copies the shown picture to the clipboard.
    void copyPicture();
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
    void keyPressEvent(QKeyEvent *event) override;
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
    void fitImageToClient();
    void pictureLoaded(const QString &path, const Bitmap &picture);
    // Scrolls by `action` of the bar when it can; false at its end or without one.
    bool scrollFirst(Qt::Orientation orientation, int action);
    void runPendingSteps();

    QScrollArea *m_scrollArea = nullptr;
    std::function<void(QWidget *, const QString &)> m_errorHandler;
    MessageSink *m_messages = nullptr;
    // The frame size the last fit assumed; the window manager reports the
    // real frame only after the window is mapped, and the fit is then redone
    // once.
    QSize m_fittedFrameExtra;
    bool m_refitPending = false;
    bool m_fitMode = false;
    ViewerSequence *m_sequence = nullptr;
    ViewerPictureLoader *m_loader = nullptr;
    // Steps asked for while a picture decoded: a jump to the first or last
    // file, then a number of steps forward (positive) or back.
    std::optional<ViewerSequence::Step> m_pendingJump;
    int m_pendingSteps = 0;
    bool m_forward = true;
};

} // namespace pelandor
