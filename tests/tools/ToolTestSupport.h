// What the tool tests share: a message sink that keeps the messages, and a
// settings file in a temporary folder.
#pragma once

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "platform/MessageSink.h"

namespace pelandor {

class RecordingMessageSink : public MessageSink {
public:
    void showMessage(const QString &text) override { messages.append(text); }
    QStringList messages;
};

inline QByteArray readAllOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAllTo(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace pelandor
