#include "viewer/ViewerPictureLoader.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>

#include "decode/ImageLoader.h"
#include "viewer/SingleImageDecoder.h"

namespace pelandor {

namespace {

// The viewers' own pool of one thread: decoding ahead never competes with
// itself, and the reading loop's threads are not touched.
QThreadPool &decodePool()
{
    static QThreadPool pool;
    static const bool once = [] {
        pool.setMaxThreadCount(1);
        return true;
    }();
    Q_UNUSED(once);
    return pool;
}

} // namespace

ViewerPictureLoader::ViewerPictureLoader(const QString &pluginFolder, MessageSink &messages,
                                         const ImageTypeList &types, bool jpegPluginFound, QObject *parent)
    : QObject(parent)
    , m_pluginFolder(pluginFolder)
    , m_messages(messages)
    , m_types(types)
    , m_jpegPluginFound(jpegPluginFound)
{
}

ViewerPictureLoader::~ViewerPictureLoader() = default;

bool ViewerPictureLoader::onWorker(const QString &path) const
{
    const std::optional<ImageTypeEntry> type = FindImageType(path, m_types);
    return type && type->pluginName.isEmpty() && IsBuiltInPattern(type->text);
}

QString ViewerPictureLoader::stampOf(const QString &path)
{
    const QFileInfo info(path);
    return QStringLiteral("%1 %2 %3")
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch())
        .arg(info.metadataChangeTime().toMSecsSinceEpoch());
}

std::unique_ptr<ViewerPictureLoader::Job> ViewerPictureLoader::start(const QString &path) const
{
    auto job = std::make_unique<Job>();
    job->path = path;
    job->stamp = stampOf(path);
    const QString pattern = FindImageType(path, m_types)->text;
    auto promise = std::make_shared<QPromise<Decoded>>();
    job->future = promise->future();
    promise->start();
    decodePool().start([promise, path, pattern, jpegPluginFound = m_jpegPluginFound] {
        // A picture nobody waits for any more (a step went elsewhere before
        // the worker came to it) is not decoded.
        if (promise->isCanceled()) {
            promise->finish();
            return;
        }
        Decoded decoded;
        try {
            PictureInfo record{};
            decoded.tryModule = LoadBuiltInImage(jpegPluginFound, decoded.picture, record, path, pattern)
                                == BuiltInOutcome::TryPlugin;
        } catch (...) {
            // Nothing may escape into the pool: the viewer shows an empty
            // picture, as for any file that failed to decode.
            decoded = Decoded();
        }
        promise->addResult(std::move(decoded));
        promise->finish();
    });
    return job;
}

Bitmap ViewerPictureLoader::decodeHere(const QString &path)
{
    SingleImageDecoder decoder(m_pluginFolder, m_messages, m_types, m_jpegPluginFound);
    return decoder.decode(path);
}

void ViewerPictureLoader::prefetch(const QString &path)
{
    if (path.isEmpty() || !onWorker(path) || (m_ahead && m_ahead->path == path))
        return;
    m_ahead = start(path);
}

void ViewerPictureLoader::load(const QString &path)
{
    delete m_watcher;
    m_watcher = nullptr;
    m_current.reset();
    if (!onWorker(path)) {
        const Bitmap picture = decodeHere(path);
        emit loaded(path, picture);
        return;
    }
    if (m_ahead && m_ahead->path == path && m_ahead->stamp == stampOf(path))
        m_current = std::move(m_ahead);
    else
        m_current = start(path);
    m_ahead.reset();
    if (m_current->future.isFinished()) {
        finish();
        return;
    }
    m_watcher = new QFutureWatcher<Decoded>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, &ViewerPictureLoader::finish);
    m_watcher->setFuture(m_current->future);
}

void ViewerPictureLoader::finish()
{
    if (!m_current)
        return;
    const std::unique_ptr<Job> job = std::move(m_current);
    if (m_watcher) {
        m_watcher->deleteLater();
        m_watcher = nullptr;
    }
    Decoded decoded = job->future.result();
    if (decoded.tryModule)
        decoded.picture = decodeHere(job->path);
    emit loaded(job->path, decoded.picture);
}

} // namespace pelandor
