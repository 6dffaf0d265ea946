// Shows the plug-in host's messages as modal boxes captioned "Pelandor"
// with an OK button, over the window that owns the sink.
#pragma once

#include <QObject>

#include "platform/MessageSink.h"

class QWidget;

namespace pelandor {

class MessageBoxSink : public QObject, public MessageSink {
    Q_OBJECT
public:
    explicit MessageBoxSink(QWidget *owner);
    void showMessage(const QString &text) override;

private:
    QWidget *m_owner;
};

} // namespace pelandor
