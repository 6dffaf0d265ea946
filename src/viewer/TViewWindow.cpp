#include "viewer/TViewWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>
#include <new>

#include "decode/Bitmap.h"
#include "platform/ErrorBoxText.h"
#include "platform/MessageSink.h"
#include "platform/NativeName.h"
#include "platform/PelandorError.h"
#include "platform/WallpaperSetter.h"
#include "viewer/ImageClipboard.h"
#include "viewer/ImageControl.h"
#include "viewer/ImageFileWriter.h"
#include "viewer/SaveSuggestion.h"
#include "viewer/ViewerPictureLoader.h"
#include "viewer/ViewerSizing.h"

namespace pelandor {

namespace {

constexpr int kDesignWidth = 450;
constexpr int kDesignHeight = 300;
// How long after showing a late frame report from the window manager still
// leads to a new fit.
constexpr int kFrameReportWindowMs = 2000;

const char *const kBmpFilter = QT_TRANSLATE_NOOP("pelandor::TViewWindow", "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)");
const char *const kJpegFilter = QT_TRANSLATE_NOOP("pelandor::TViewWindow", "JPEGﾌｧｲﾙ (*.jpg)");

int tagOf(const QAction *item)
{
    return item ? item->data().toInt() : 0;
}

} // namespace

TViewWindow::TViewWindow(QWidget *owner)
    : QWidget(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("ViewWindow"));
    setWindowTitle(QStringLiteral("ViewWindow"));
    // Closing frees the window; closing the last viewer never ends the
    // program, only the main window does.
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    if (owner)
        setFont(owner->font());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The window may become as small as the image control (the scroll area
    // would otherwise impose room for both scroll bars).
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(false);
    m_scrollArea->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    layout->addWidget(m_scrollArea);

    Image1 = new ImageControl;
    Image1->resize(0, 0);
    m_scrollArea->setWidget(Image1);
    connect(Image1, &ImageControl::doubleClicked, this, [this] { guarded([this] { Image1DblClick(); }); });
    connect(Image1, &ImageControl::ctrlDoubleClicked, this, &TViewWindow::toggleFullScreen);
    // The window takes the keys itself: the scroll area would use the
    // stepping keys for scrolling only.
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);

    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);

    createMenu();
    setMinimumSize(ViewerSizing::MinimumClientSize);
    resize(kDesignWidth, kDesignHeight);

    if (owner) {
        // Destroyed with the owner; closed when the owner is closed.
        connect(owner, &QObject::destroyed, this, [this] { delete this; });
        owner->installEventFilter(this);
    }
}

TViewWindow::~TViewWindow() = default;

void TViewWindow::createMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));

    popMnu_exit = PopupMenu1->addAction(tr("閉じる"));
    popMnu_exit->setObjectName(QStringLiteral("popMnu_exit"));
    connect(popMnu_exit, &QAction::triggered, this, [this] { popMnu_exitClick(); });
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("popMnu_separate1"));

    ZoomGroup = new QActionGroup(this);
    ZoomGroup->setExclusive(true);
    popMnu_view25 = addZoomItem("popMnu_view25", 25, &TViewWindow::popMnu_view25Click);
    popMnu_view50 = addZoomItem("popMnu_view50", 50, &TViewWindow::popMnu_view50Click);
    popMnu_view75 = addZoomItem("popMnu_view75", 75, &TViewWindow::popMnu_view75Click);
    popMnu_view100 = addZoomItem("popMnu_view100", 100, &TViewWindow::popMnu_view100Click);
    popMnu_view150 = addZoomItem("popMnu_view150", 150, &TViewWindow::popMnu_view150Click);
    popMnu_view200 = addZoomItem("popMnu_view200", 200, &TViewWindow::popMnu_view200Click);
    popMnu_viewFit = PopupMenu1->addAction(QStringLiteral("Fit to window"));
    popMnu_viewFit->setObjectName(QStringLiteral("popMnu_viewFit"));
    popMnu_viewFit->setData(0);
    popMnu_viewFit->setCheckable(true);
    ZoomGroup->addAction(popMnu_viewFit);
    connect(popMnu_viewFit, &QAction::triggered, this, [this] { guarded([this] { popMnu_viewFitClick(); }); });
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("popMnu_separate2"));

    popMnu_savefile = PopupMenu1->addMenu(tr("ﾌｧｲﾙに保存"));
    popMnu_savefile->setObjectName(QStringLiteral("popMnu_savefile"));
    popMnu_savefile_bmp = popMnu_savefile->addAction(tr("BMP形式"));
    popMnu_savefile_bmp->setObjectName(QStringLiteral("popMnu_savefile_bmp"));
    popMnu_savefile_bmp->setData(0);
    popMnu_savefile_jpeg = popMnu_savefile->addAction(tr("JPEG形式"));
    popMnu_savefile_jpeg->setObjectName(QStringLiteral("popMnu_savefile_jpeg"));
    popMnu_savefile_jpeg->setData(1);

    popMnu_wallpaper = PopupMenu1->addMenu(tr("壁紙に設定"));
    popMnu_wallpaper->setObjectName(QStringLiteral("popMnu_wallpaper"));
    popMnu_wallpaper_tile = popMnu_wallpaper->addAction(tr("全体"));
    popMnu_wallpaper_tile->setObjectName(QStringLiteral("popMnu_wallpaper_tile"));
    popMnu_wallpaper_tile->setData(0);
    popMnu_wallpaper_center = popMnu_wallpaper->addAction(tr("中央"));
    popMnu_wallpaper_center->setObjectName(QStringLiteral("popMnu_wallpaper_center"));
    popMnu_wallpaper_center->setData(1);

    for (QAction *item : {popMnu_savefile_bmp, popMnu_savefile_jpeg})
        connect(item, &QAction::triggered, this, [this, item] { guarded([this, item] { SaveToFile(item); }); });
    for (QAction *item : {popMnu_wallpaper_tile, popMnu_wallpaper_center})
        connect(item, &QAction::triggered, this, [this, item] { guarded([this, item] { SaveAsWallpaper(item); }); });

    Image1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Image1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(Image1->mapToGlobal(pos)); });
}

QAction *TViewWindow::addZoomItem(const char *name, int percent, void (TViewWindow::*handler)())
{
    QAction *item = PopupMenu1->addAction(QStringLiteral("%1%").arg(percent));
    item->setObjectName(QLatin1String(name));
    item->setData(percent);
    item->setCheckable(true);
    ZoomGroup->addAction(item);
    connect(item, &QAction::triggered, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    return item;
}

void TViewWindow::setPicture(const Bitmap &picture)
{
    Image1->setPicture(picture);
    Image1->resize(picture.width(), picture.height());
    ImageHeight = picture.height();
    ImageWidth = picture.width();
}

void TViewWindow::setErrorHandler(std::function<void(QWidget *, const QString &)> handler)
{
    m_errorHandler = std::move(handler);
}

void TViewWindow::setMessageSink(MessageSink *messages)
{
    m_messages = messages;
}

template <typename F> void TViewWindow::guarded(F &&command)
{
    QString message;
    try {
        command();
        return;
    } catch (const PelandorError &e) {
        message = e.message();
    } catch (const std::bad_alloc &) {
        message = QStringLiteral("Out of memory");
    } catch (const std::exception &e) {
        message = QString::fromLocal8Bit(e.what());
    }
    if (m_errorHandler) {
        m_errorHandler(this, message);
    } else {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Pelandor"), errorBoxText(message), QMessageBox::Ok,
                        this);
        box.exec();
    }
}

void TViewWindow::showNotice(const QString &text)
{
    if (m_messages) {
        m_messages->showMessage(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Pelandor"), text, QMessageBox::Ok, this);
    box.exec();
}

// --- showing, fitting and zooming ------------------------------------------

void TViewWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TViewWindow::FormShow()
{
    // A picture that would not fit the work area at 100 % opens fitted to
    // the window, which is itself limited to the work area.
    const QScreen *screen = QGuiApplication::primaryScreen();
    m_fitMode = screen && !ViewerSizing::fitsWorkArea(QSize(ImageWidth, ImageHeight), frameExtra(),
                                                      screen->availableGeometry().size());
    (m_fitMode ? popMnu_viewFit : popMnu_view100)->setChecked(true);
    if (m_fitMode)
        Image1->resize(ImageWidth, ImageHeight);
    FitWindowToImage();
    m_refitPending = true;
    QTimer::singleShot(kFrameReportWindowMs, this, [this] { m_refitPending = false; });
}

QSize TViewWindow::frameExtra() const
{
    return frameGeometry().size() - geometry().size();
}

void TViewWindow::FitWindowToImage()
{
    if (isFullScreen()) {
        if (m_fitMode)
            fitImageToClient();
        return;
    }
    // The client area takes the image control's size, then the outer size is
    // limited to the primary screen's work area. In fit mode the window is
    // sized for the whole picture, the picture fitted into it, and the window
    // brought down to the fitted picture.
    const QSize imageSize = m_fitMode ? QSize(ImageWidth, ImageHeight) : Image1->size();
    resize(imageSize.expandedTo(ViewerSizing::MinimumClientSize));
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    m_fittedFrameExtra = frameExtra();
    const QSize client = ViewerSizing::fittedClientSize(imageSize, m_fittedFrameExtra,
                                                        screen->availableGeometry().size());
    if (client != imageSize)
        resize(client);
    if (m_fitMode) {
        const QSize fitted = ViewerSizing::fitSize(imageSize, client);
        Image1->resize(fitted);
        resize(fitted.expandedTo(ViewerSizing::MinimumClientSize));
    }
}

void TViewWindow::fitImageToClient()
{
    Image1->resize(ViewerSizing::fitSize(QSize(ImageWidth, ImageHeight), m_scrollArea->maximumViewportSize()));
}

void TViewWindow::refitOnceFrameKnown()
{
    if (m_refitPending && isVisible() && frameExtra() != m_fittedFrameExtra) {
        m_refitPending = false;
        FitWindowToImage();
    }
}

void TViewWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    refitOnceFrameKnown();
}

void TViewWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_fitMode)
        fitImageToClient();
    refitOnceFrameKnown();
}

void TViewWindow::ZoomImage(int percent)
{
    m_fitMode = false;
    Image1->resize(ViewerSizing::zoomedSize(QSize(ImageWidth, ImageHeight), percent));
    FitWindowToImage();
}

void TViewWindow::zoomCommand(QAction *item)
{
    ZoomImage(item->data().toInt());
    item->setChecked(true);
}

void TViewWindow::popMnu_view25Click() { zoomCommand(popMnu_view25); }
void TViewWindow::popMnu_view50Click() { zoomCommand(popMnu_view50); }
void TViewWindow::popMnu_view75Click() { zoomCommand(popMnu_view75); }
void TViewWindow::popMnu_view100Click() { zoomCommand(popMnu_view100); }
void TViewWindow::popMnu_view150Click() { zoomCommand(popMnu_view150); }
void TViewWindow::popMnu_view200Click() { zoomCommand(popMnu_view200); }

void TViewWindow::popMnu_viewFitClick()
{
    m_fitMode = true;
    popMnu_viewFit->setChecked(true);
    fitImageToClient();
}

void TViewWindow::stepZoom(int direction)
{
    const QList<QAction *> steps{popMnu_view25,  popMnu_view50,  popMnu_view75,
                                 popMnu_view100, popMnu_view150, popMnu_view200};
    // The present scale in per cent of the full size (fit mode: as fitted).
    const int current = m_fitMode && ImageWidth > 0 ? int(qint64(Image1->width()) * 100 / ImageWidth)
                        : ZoomGroup->checkedAction() ? ZoomGroup->checkedAction()->data().toInt()
                                                     : 100;
    QAction *chosen = nullptr;
    for (QAction *step : steps) {
        const int percent = step->data().toInt();
        if (direction > 0 && percent > current && !chosen)
            chosen = step;
        if (direction < 0 && percent < current)
            chosen = step;
    }
    if (!chosen) {
        QApplication::beep();
        return;
    }
    zoomCommand(chosen);
}

// --- stepping through the list ------------------------------------------------

void TViewWindow::setBrowsing(ViewerSequence *sequence, ViewerPictureLoader *loader)
{
    m_sequence = sequence;
    m_loader = loader;
    sequence->setParent(this);
    loader->setParent(this);
    connect(loader, &ViewerPictureLoader::loaded, this, &TViewWindow::pictureLoaded);
    // The file a step forward most likely wants is decoded while this one is looked at.
    loader->prefetch(sequence->peek(ViewerSequence::Step::Next));
}

void TViewWindow::stepTo(ViewerSequence::Step step)
{
    using Step = ViewerSequence::Step;
    if (!m_sequence || !m_loader) {
        QApplication::beep();
        return;
    }
    if (m_loader->busy()) {
        if (step == Step::First || step == Step::Last) {
            m_pendingJump = step;
            m_pendingSteps = 0;
        } else {
            m_pendingSteps += step == Step::Next ? 1 : -1;
        }
        return;
    }
    const QString before = m_sequence->currentPath();
    const QString path = m_sequence->go(step);
    if (path.isEmpty() || path == before) {
        QApplication::beep();
        return;
    }
    m_forward = step == Step::Next || step == Step::First;
    m_loader->load(path);
}

void TViewWindow::runPendingSteps()
{
    using Step = ViewerSequence::Step;
    const QString before = m_sequence->currentPath();
    if (m_pendingJump) {
        m_sequence->go(*m_pendingJump);
        m_forward = *m_pendingJump == Step::First;
    }
    for (; m_pendingSteps != 0; m_pendingSteps += m_pendingSteps > 0 ? -1 : 1) {
        m_forward = m_pendingSteps > 0;
        if (m_sequence->go(m_forward ? Step::Next : Step::Previous).isEmpty()) {
            QApplication::beep(); // the steps ran past an end of the list
            break;
        }
    }
    m_pendingJump.reset();
    m_pendingSteps = 0;
    if (m_sequence->currentPath() != before)
        m_loader->load(m_sequence->currentPath());
}

bool TViewWindow::stepping() const
{
    return m_pendingJump.has_value() || m_pendingSteps != 0 || (m_loader && m_loader->busy());
}

void TViewWindow::pictureLoaded(const QString &path, const Bitmap &picture)
{
    if (!m_sequence || path != m_sequence->currentPath())
        return;
    // The zoom mode stays: fit mode fits the new picture into the window as
    // it is; a zoom step shows it at that step.
    Image1->setPicture(picture);
    ImageHeight = picture.height();
    ImageWidth = picture.width();
    if (m_fitMode) {
        fitImageToClient();
    } else {
        const QAction *checked = ZoomGroup->checkedAction();
        ZoomImage(checked ? checked->data().toInt() : 100);
    }
    m_scrollArea->horizontalScrollBar()->setValue(0);
    m_scrollArea->verticalScrollBar()->setValue(0);
    setWindowTitle(NativeName::display(path));
    if (m_pendingJump || m_pendingSteps != 0)
        runPendingSteps();
    else
        m_loader->prefetch(m_sequence->peek(m_forward ? ViewerSequence::Step::Next : ViewerSequence::Step::Previous));
}

bool TViewWindow::scrollFirst(Qt::Orientation orientation, int action)
{
    QScrollBar *bar = orientation == Qt::Vertical ? m_scrollArea->verticalScrollBar()
                                                   : m_scrollArea->horizontalScrollBar();
    if (!bar->isVisible() || bar->maximum() <= bar->minimum())
        return false;
    const bool forward = action == QAbstractSlider::SliderPageStepAdd || action == QAbstractSlider::SliderSingleStepAdd;
    if (forward ? bar->value() >= bar->maximum() : bar->value() <= bar->minimum())
        return false;
    bar->triggerAction(QAbstractSlider::SliderAction(action));
    return true;
}

void TViewWindow::keyPressEvent(QKeyEvent *event)
{
    using Step = ViewerSequence::Step;
    if (event->matches(QKeySequence::Copy)) {
        copyPicture();
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (mods != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Escape: close(); break;
    case Qt::Key_F11: toggleFullScreen(); break;
    case Qt::Key_F:
    case Qt::Key_Asterisk: guarded([this] { popMnu_viewFitClick(); }); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: guarded([this] { stepZoom(1); }); break;
    case Qt::Key_Minus: guarded([this] { stepZoom(-1); }); break;
    case Qt::Key_Space:
    case Qt::Key_PageDown:
        if (!scrollFirst(Qt::Vertical, QAbstractSlider::SliderPageStepAdd))
            stepTo(Step::Next);
        break;
    case Qt::Key_Backspace:
    case Qt::Key_PageUp:
        if (!scrollFirst(Qt::Vertical, QAbstractSlider::SliderPageStepSub))
            stepTo(Step::Previous);
        break;
    case Qt::Key_Right:
        if (!scrollFirst(Qt::Horizontal, QAbstractSlider::SliderSingleStepAdd))
            stepTo(Step::Next);
        break;
    case Qt::Key_Left:
        if (!scrollFirst(Qt::Horizontal, QAbstractSlider::SliderSingleStepSub))
            stepTo(Step::Previous);
        break;
    case Qt::Key_Home: stepTo(Step::First); break;
    case Qt::Key_End: stepTo(Step::Last); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void TViewWindow::toggleFullScreen()
{
    const bool entering = !isFullScreen();
    QPalette palette = m_scrollArea->viewport()->palette();
    palette.setColor(QPalette::Window, entering ? QColor(Qt::black) : this->palette().color(QPalette::Window));
    m_scrollArea->viewport()->setPalette(palette);
    m_scrollArea->viewport()->setAutoFillBackground(true);
    m_scrollArea->setAlignment(entering ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
    if (entering)
        showFullScreen();
    else
        showNormal();
}

void TViewWindow::copyPicture()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard || !ImageClipboard::copy(Image1->picture(), *clipboard))
        QApplication::beep();
}

void TViewWindow::Image1DblClick()
{
    FitWindowToImage();
}

// --- closing ----------------------------------------------------------------

void TViewWindow::popMnu_exitClick()
{
    close();
}

void TViewWindow::closeEvent(QCloseEvent *event)
{
    FormClose(event);
}

void TViewWindow::FormClose(QCloseEvent *event)
{
    // With WA_DeleteOnClose an accepted close frees the window and its image.
    setAttribute(Qt::WA_DeleteOnClose);
    event->accept();
}

bool TViewWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The owner was closed (a hide that the window system did not cause,
    // unlike minimising): close with it.
    if (event->type() == QEvent::Hide && !event->spontaneous() && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->isWindow())
        QTimer::singleShot(0, this, &QWidget::close);
    return QWidget::eventFilter(watched, event);
}

// --- saving -------------------------------------------------------------------

void TViewWindow::prepareSaveDialog(int tag)
{
    const SaveSuggestion suggestion = SaveSuggestion::fromCaption(windowTitle());
    if (tag == 0) {
        SaveDialog1->setNameFilter(tr(kBmpFilter));
        SaveDialog1->setDefaultSuffix(QStringLiteral("bmp"));
    } else {
        SaveDialog1->setNameFilter(tr(kJpegFilter));
        SaveDialog1->setDefaultSuffix(QStringLiteral("jpg"));
    }
    if (!suggestion.folder.isEmpty())
        SaveDialog1->setDirectory(suggestion.folder);
    SaveDialog1->selectFile(suggestion.name);
}

void TViewWindow::SaveToFile(const QAction *sender)
{
    const int tag = tagOf(sender);
    prepareSaveDialog(tag);
    if (SaveDialog1->exec() != QDialog::Accepted)
        return;
    const QString chosen = SaveDialog1->selectedFiles().value(0);
    if (chosen.isEmpty())
        return;
    if (tag == 0) {
        ImageFileWriter::write(Image1->picture(),
                               SaveSuggestion::withExtension(chosen, QStringLiteral("bmp"), {QStringLiteral("bmp")}),
                               ImageFileWriter::Format::Bmp);
    } else {
        ImageFileWriter::write(Image1->picture(),
                               SaveSuggestion::withExtension(chosen, QStringLiteral("jpg"),
                                                             {QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                                              QStringLiteral("jpe")}),
                               ImageFileWriter::Format::Jpeg);
    }
}

void TViewWindow::SaveAsWallpaper(const QAction *sender)
{
    const QString folder = WallpaperSetter::wallpaperFolder();
    if (!QDir().mkpath(folder))
        throw PelandorError(QStringLiteral("Cannot create folder \"%1\"").arg(folder));
    const QString path = WallpaperSetter::wallpaperFilePath();
    ImageFileWriter::write(Image1->picture(), path, ImageFileWriter::Format::Bmp);

    const auto style = tagOf(sender) == 0 ? WallpaperSetter::Style::Tiled : WallpaperSetter::Style::Centered;
    QString problem;
    bool applied = false;
    {
        // The desktop's setting program runs for up to a few seconds.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const struct CursorBack {
            ~CursorBack() { QGuiApplication::restoreOverrideCursor(); }
        } cursorBack;
        applied = WallpaperSetter::fromEnvironment().apply(path, style, &problem);
    }
    if (!applied)
        showNotice(problem);
}

} // namespace pelandor
