// The exception a command raises when it cannot go on (a file that cannot be
// written, a clipboard that cannot be opened). The main window catches it at
// the command boundary and shows it in the standard error box.
#pragma once

#include <QString>
#include <stdexcept>

namespace pelandor {

class PelandorError : public std::runtime_error {
public:
    explicit PelandorError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

} // namespace pelandor
