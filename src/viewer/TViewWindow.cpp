#include "viewer/TViewWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>
#include <new>

#include "decode/Bitmap.h"
#include "platform/ErrorBoxText.h"
#include "platform/MessageSink.h"
#include "platform/PelandorError.h"
#include "platform/WallpaperSetter.h"
#include "viewer/ImageControl.h"
#include "viewer/ImageFileWriter.h"
#include "viewer/SaveSuggestion.h"
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
    popMnu_view100->setChecked(true);
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
    // The client area takes the image control's size, then the outer size is
    // limited to the primary screen's work area.
    const QSize imageSize = Image1->size();
    resize(imageSize.expandedTo(ViewerSizing::MinimumClientSize));
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    m_fittedFrameExtra = frameExtra();
    const QSize client = ViewerSizing::fittedClientSize(imageSize, m_fittedFrameExtra,
                                                        screen->availableGeometry().size());
    if (client != imageSize)
        resize(client);
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
    refitOnceFrameKnown();
}

void TViewWindow::ZoomImage(int percent)
{
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
