// Where core code reports a message for the user. The window build shows a
// modal box captioned "Pelandor"; the headless commands write to stderr.
#pragma once

#include <QString>

namespace pelandor {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const QString &text) = 0;
};

// Writes each message as one line to standard error.
class StderrMessageSink : public MessageSink {
public:
    void showMessage(const QString &text) override;
};

} // namespace pelandor
