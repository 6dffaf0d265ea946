// Decodes the pictures a viewer steps to. Bitmap and JPEG files are decoded
// on a worker thread, so the window keeps painting and taking keys while a
// large photo decodes, and the file a step is likely to want next is decoded
// ahead while the current one is shown: a step after a pause finds its
// picture ready. Files of a module type are decoded on the GUI thread, as
// every module call is. A picture decoded ahead is used only when its file
// is still the one decoded (same size, modification and status change time).
#pragma once

#include <QFuture>
#include <QObject>
#include <QString>
#include <memory>

#include "decode/Bitmap.h"
#include "decode/ImageTypeEntry.h"

template <typename T> class QFutureWatcher;

namespace pelandor {

class MessageSink;

class ViewerPictureLoader : public QObject {
    Q_OBJECT

public:
    // `messages` must outlive the loader (module messages go there).
    ViewerPictureLoader(const QString &pluginFolder, MessageSink &messages, const ImageTypeList &types,
                        bool jpegPluginFound, QObject *parent = nullptr);
    ~ViewerPictureLoader() override;

    // Decodes `path` and then emits loaded() with it (at once for a module
    // type or a picture already decoded ahead). A load asked for while one
    // is under way replaces it.
    void load(const QString &path);
    // Starts decoding `path` ahead, for a later load(); a module type or an
    // empty path is not decoded ahead.
    void prefetch(const QString &path);

    bool busy() const { return m_current != nullptr; }

signals:
    void loaded(const QString &path, const pelandor::Bitmap &picture);

private:
    struct Decoded {
        Bitmap picture;
        bool tryModule = false; // the built-in route handed it on
    };
    struct Job {
        QString path;
        QString stamp;
        QFuture<Decoded> future;
        ~Job() { future.cancel(); }
    };

    bool onWorker(const QString &path) const;
    static QString stampOf(const QString &path);
    std::unique_ptr<Job> start(const QString &path) const;
    void finish();
    Bitmap decodeHere(const QString &path);

    QString m_pluginFolder;
    MessageSink &m_messages;
    ImageTypeList m_types;
    bool m_jpegPluginFound;
    std::unique_ptr<Job> m_current;
    std::unique_ptr<Job> m_ahead;
    QFutureWatcher<Decoded> *m_watcher = nullptr;
};

} // namespace pelandor
